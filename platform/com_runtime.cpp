#include "platform/com_runtime.h"

#include <utility>

#include "platform/system_library.h"

namespace kavrel {

Result<ComRuntime> LoadComRuntime() {
    // The record is made at the failing call, with the error it left, before
    // the loaded DLL is freed again.
    const auto failed = [](const char* what, CodeLocation where = CodeLocation::Here()) {
        return Result<ComRuntime>(WindowsFailure(what, ::GetLastError(), {}, where));
    };
    ComRuntime runtime;
    runtime.ole32 = LoadSystemLibrary("ole32.dll");
    if (!runtime.ole32) return failed("ole32.dll not loaded");
    runtime.oleaut32 = LoadSystemLibrary("oleaut32.dll");
    if (!runtime.oleaut32) return failed("oleaut32.dll not loaded");
    runtime.coInitializeEx = SystemFunction<decltype(runtime.coInitializeEx)>(runtime.ole32, "CoInitializeEx");
    runtime.coUninitialize = SystemFunction<decltype(runtime.coUninitialize)>(runtime.ole32, "CoUninitialize");
    runtime.coCreateInstance = SystemFunction<decltype(runtime.coCreateInstance)>(runtime.ole32, "CoCreateInstance");
    runtime.sysAllocStringLen =
        SystemFunction<decltype(runtime.sysAllocStringLen)>(runtime.oleaut32, "SysAllocStringLen");
    runtime.sysFreeString = SystemFunction<decltype(runtime.sysFreeString)>(runtime.oleaut32, "SysFreeString");
    if (!runtime.coInitializeEx || !runtime.coUninitialize || !runtime.coCreateInstance ||
        !runtime.sysAllocStringLen || !runtime.sysFreeString)
        // A look-up that finds nothing leaves ERROR_PROC_NOT_FOUND, which one
        // that finds its function does not clear.
        return failed("a function of ole32.dll or oleaut32.dll is missing");
    return runtime;
}

ComApartment::ComApartment(const ComRuntime& runtime) noexcept : runtime_(runtime) {
    answer_ = runtime_.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised in this model; that call is balanced too.
    mustUninitialize_ = SUCCEEDED(answer_);
    // Initialised multithreaded by someone else: usable, and theirs to end.
    usable_ = mustUninitialize_ || answer_ == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
    if (mustUninitialize_) runtime_.coUninitialize();
}

UniqueBstr::UniqueBstr(const ComRuntime& runtime, std::wstring_view text) : runtime_(&runtime) {
    text_ = runtime_->sysAllocStringLen(text.empty() ? L"" : text.data(), static_cast<UINT>(text.size()));
}

UniqueBstr::~UniqueBstr() {
    if (text_) runtime_->sysFreeString(text_);
}

UniqueBstr::UniqueBstr(UniqueBstr&& other) noexcept
    : runtime_(other.runtime_), text_(std::exchange(other.text_, nullptr)) {}

UniqueBstr& UniqueBstr::operator=(UniqueBstr&& other) noexcept {
    if (this != &other) {
        if (text_) runtime_->sysFreeString(text_);
        runtime_ = other.runtime_;
        text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
}

}  // namespace kavrel
