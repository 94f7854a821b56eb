#include "platform/private_namespace.h"

#include <windows.h>

#include "platform/system_library.h"

namespace kavrel {

namespace {

using CreateBoundaryDescriptorFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidToBoundaryDescriptorFn = BOOL(WINAPI*)(HANDLE*, PSID);
using DeleteBoundaryDescriptorFn = VOID(WINAPI*)(HANDLE);
using CreatePrivateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenPrivateNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);

// The boundary descriptor, deleted on every way out.
class Boundary {
public:
    Boundary(HANDLE handle, DeleteBoundaryDescriptorFn remove) : handle_(handle), remove_(remove) {}
    Boundary(const Boundary&) = delete;
    Boundary& operator=(const Boundary&) = delete;
    ~Boundary() {
        if (handle_) remove_(handle_);
    }
    HANDLE* put() { return &handle_; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
    DeleteBoundaryDescriptorFn remove_;
};

// The record of a call that failed, with the error it left; read before
// anything else can change the thread's last error.
Failure NamespaceFailure(DWORD error, CodeLocation where = CodeLocation::Here()) {
    return WindowsFailure("the administrators' namespace was refused", error, {}, where);
}

}  // namespace

AdministratorsNamespace OpenAdministratorsNamespace(std::string_view asciiAlias) {
    AdministratorsNamespace result;
    const std::wstring alias(asciiAlias.begin(), asciiAlias.end());
    // Windows Vista and later; looked up at run time, and each step stops at
    // the first failure: in Wine the descriptor cannot be created, and adding
    // a SID to one ends the process.
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel) return result;
    auto createBoundary = ModuleFunction<CreateBoundaryDescriptorFn>(kernel, "CreateBoundaryDescriptorW");
    auto addSid = ModuleFunction<AddSidToBoundaryDescriptorFn>(kernel, "AddSIDToBoundaryDescriptor");
    auto deleteBoundary = ModuleFunction<DeleteBoundaryDescriptorFn>(kernel, "DeleteBoundaryDescriptor");
    auto createNamespace = ModuleFunction<CreatePrivateNamespaceFn>(kernel, "CreatePrivateNamespaceW");
    auto openNamespace = ModuleFunction<OpenPrivateNamespaceFn>(kernel, "OpenPrivateNamespaceW");
    if (!createBoundary || !addSid || !deleteBoundary || !createNamespace || !openNamespace) return result;

    result.outcome = NamespaceOutcome::BoundaryFailed;
    Boundary boundary(createBoundary(alias.c_str(), 0), deleteBoundary);
    if (!boundary.get()) {
        result.failure = NamespaceFailure(::GetLastError());
        return result;
    }
    // Only a process whose token holds the Administrators group may create
    // or open a namespace with this boundary.
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) {
        result.failure = NamespaceFailure(::GetLastError());
        return result;
    }
    if (!addSid(boundary.put(), sid)) {
        result.failure = NamespaceFailure(::GetLastError());
        return result;
    }
    for (int triesMade = 1;; ++triesMade) {
        // Its default security is the elevated token's: administrators and
        // the system only.
        HANDLE space = createNamespace(nullptr, boundary.get(), alias.c_str());
        const DWORD createError = space ? ERROR_SUCCESS : ::GetLastError();
        const bool created = space != nullptr;
        if (!created) result.failure = NamespaceFailure(createError);
        if (!created && OpensExistingNamespace(createError)) {
            space = openNamespace(boundary.get(), alias.c_str());
            if (!space) result.failure = NamespaceFailure(::GetLastError());
        }
        if (space) result.failure.reset();
        switch (NamespaceStepAfter(created, createError, space != nullptr, triesMade)) {
        case NamespaceStep::Made:
            // `space` is never closed, so held until the process ends: the
            // namespace goes with its last handle, and with it what a second
            // copy would have to find there.
            result.outcome = NamespaceOutcome::Made;
            result.prefix = std::string(asciiAlias) + "\\";
            return result;
        case NamespaceStep::TryAgain:
            ::Sleep(kNamespacePauseMs);
            break;
        case NamespaceStep::ExistsButUnopened:
            result.outcome = NamespaceOutcome::ExistsButUnopened;
            return result;
        case NamespaceStep::Refused:
            result.outcome = NamespaceOutcome::Refused;
            return result;
        }
    }
}

}  // namespace kavrel
