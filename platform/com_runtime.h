#pragma once
// COM for the one operation that needs it (starting the application through
// the desktop shell). ole32.dll and oleaut32.dll are loaded from the system
// folder by full path when that operation runs, like version.dll, and are not
// imported: a run that never starts the application never loads them.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "platform/unique_handle.h"

namespace kavrel {

// The two DLLs and the functions of them that the installer calls.
struct ComRuntime {
    UniqueModule ole32;
    UniqueModule oleaut32;
    HRESULT(WINAPI* coInitializeEx)(LPVOID, DWORD) = nullptr;
    void(WINAPI* coUninitialize)() = nullptr;
    HRESULT(WINAPI* coCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = nullptr;
    BSTR(WINAPI* sysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
    void(WINAPI* sysFreeString)(BSTR) = nullptr;
};

// Both DLLs with every function, or the record of the load or look-up that
// failed.
Result<ComRuntime> LoadComRuntime();

// COM initialised on this thread, apartment-threaded, for the life of the
// object; uninitialised when it goes if this object's call initialised it.
// Every interface obtained inside must be released before it goes.
class ComApartment {
public:
    explicit ComApartment(const ComRuntime& runtime) noexcept;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // True when COM can be used on this thread: initialised here, or already
    // initialised by someone else (then in whatever model they chose).
    bool Usable() const noexcept { return usable_; }
    // What CoInitializeEx answered: the reason of an apartment that is not usable.
    HRESULT Answer() const noexcept { return answer_; }

private:
    const ComRuntime& runtime_;
    HRESULT answer_ = E_UNEXPECTED;
    bool usable_ = false;
    bool mustUninitialize_ = false;
};

// A BSTR, freed through the runtime when it goes; movable, not copyable.
class UniqueBstr {
public:
    // A BSTR holding `text`; empty (no BSTR) when the allocation fails. An
    // empty `text` gives a BSTR of length 0, not a null one.
    UniqueBstr(const ComRuntime& runtime, std::wstring_view text);
    ~UniqueBstr();
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept;
    UniqueBstr& operator=(UniqueBstr&& other) noexcept;

    // The BSTR, still owned by this object.
    BSTR get() const noexcept { return text_; }
    // True when a BSTR is held.
    explicit operator bool() const noexcept { return text_ != nullptr; }

private:
    const ComRuntime* runtime_;
    BSTR text_ = nullptr;
};

}  // namespace kavrel
