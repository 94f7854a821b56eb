#pragma once
// Owners of Windows handles: one type per kind, movable, not copyable,
// closing what they hold on every way out. The raw handle is only reached
// through get(), never by silent conversion.
#include <windows.h>

#include <utility>

namespace kavrel {

template <typename Traits>
class UniqueResource {
public:
    using Raw = typename Traits::Raw;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Raw raw) noexcept : raw_(raw) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : raw_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    // The handle, still owned by this object.
    Raw get() const noexcept { return raw_; }
    // True when a usable handle is held.
    explicit operator bool() const noexcept { return Traits::IsValid(raw_); }
    // Gives the handle up without closing it.
    Raw release() noexcept { return std::exchange(raw_, Traits::Empty()); }
    // Closes the held handle and takes another.
    void reset(Raw raw = Traits::Empty()) noexcept {
        Raw old = std::exchange(raw_, raw);
        if (Traits::IsValid(old)) Traits::Close(old);
    }
    // Closes the held handle and gives the place for a call that hands out
    // its new handle through a pointer (RegOpenKeyEx, GetSecurityInfo...).
    Raw* put() noexcept {
        reset();
        return &raw_;
    }

private:
    Raw raw_ = Traits::Empty();
};

struct KernelHandleTraits {
    using Raw = HANDLE;
    static Raw Empty() noexcept { return nullptr; }
    // CreateFile reports failure with INVALID_HANDLE_VALUE, most others with null.
    static bool IsValid(Raw h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Raw h) noexcept { ::CloseHandle(h); }
};

struct RegistryKeyTraits {
    using Raw = HKEY;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::RegCloseKey(h); }
};

struct FindHandleTraits {
    using Raw = HANDLE;
    static Raw Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Raw h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Raw h) noexcept { ::FindClose(h); }
};

struct ModuleTraits {
    using Raw = HMODULE;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::FreeLibrary(h); }
};

struct FontTraits {
    using Raw = HFONT;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::DeleteObject(h); }
};

struct WindowStationTraits {
    using Raw = HWINSTA;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::CloseWindowStation(h); }
};

struct DesktopTraits {
    using Raw = HDESK;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::CloseDesktop(h); }
};

struct LocalMemoryTraits {
    using Raw = HLOCAL;
    static Raw Empty() noexcept { return nullptr; }
    static bool IsValid(Raw h) noexcept { return h != nullptr; }
    static void Close(Raw h) noexcept { ::LocalFree(h); }
};

// A kernel object: file, process, thread, mapping, event.
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// An opened registry key (never one of the predefined roots).
using UniqueHKey = UniqueResource<RegistryKeyTraits>;
// A FindFirstFile enumeration.
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
// A module loaded with LoadLibrary.
using UniqueModule = UniqueResource<ModuleTraits>;
// A font made with CreateFontIndirect; no window may still use it when it goes.
using UniqueFont = UniqueResource<FontTraits>;
// A window station made or opened by this process (never the process's own
// from GetProcessWindowStation, which must not be closed).
using UniqueWindowStation = UniqueResource<WindowStationTraits>;
// A desktop made or opened by this process (never one from GetThreadDesktop).
using UniqueDesktop = UniqueResource<DesktopTraits>;
// Memory that the system allocated for the caller with LocalAlloc
// (FormatMessage's buffer, a security descriptor).
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

}  // namespace kavrel
