#include "ui/taskbar_progress.h"

#include <exception>

namespace kavrel {

namespace {

// The shell's taskbar list object (CLSID_TaskbarList), named here rather
// than taken from uuid.lib.
constexpr CLSID kTaskbarListClass = {0x56fdf344, 0xfd6d, 0x11d0, {0x95, 0x8a, 0x00, 0x60, 0x97, 0xc9, 0xa0, 0x90}};

TBPFLAG FlagOf(TaskbarState state) {
    switch (state) {
        case TaskbarState::Normal: return TBPF_NORMAL;
        case TaskbarState::Error: return TBPF_ERROR;
        case TaskbarState::NoProgress: break;
    }
    return TBPF_NOPROGRESS;
}

}  // namespace

UINT TaskbarProgress::ButtonCreatedMessage() noexcept { return ::RegisterWindowMessageA("TaskbarButtonCreated"); }

void TaskbarProgress::LetButtonCreatedThrough(HWND window) noexcept {
    const UINT message = ButtonCreatedMessage();
    if (!message) return;
    // Declared by the headers only for Windows 7 and later, which the
    // installer does not ask for: MSGFLT_ALLOW is 1.
    constexpr DWORD kAllow = 1;
    using ChangeFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const auto change = user32 ? reinterpret_cast<ChangeFilterFn>(reinterpret_cast<void*>(
                                     ::GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                               : nullptr;
    if (change) change(window, message, kAllow, nullptr);
}

void TaskbarProgress::ButtonCreated(HWND window, const TaskbarView& view) noexcept {
    try {
        if (!tried_) {
            // Tried once: a system without the interface never gets it later.
            tried_ = true;
            // Without it the button shows no progress, which nobody needs told.
            Result<ComRuntime> loaded = LoadComRuntime();
            if (!loaded.HasValue()) return;
            runtime_ = std::move(loaded.value());
            apartment_ = std::make_unique<ComApartment>(*runtime_);
            if (!apartment_->Usable()) return;
            ComPtr<ITaskbarList3> list;
            if (FAILED(runtime_->coCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER,
                                                  __uuidof(ITaskbarList3), list.putVoid())) ||
                !list || FAILED(list->HrInit()))
                return;
            list_ = std::move(list);
        }
        Show(window, view);
    } catch (const std::exception&) {
        // No memory for the runtime: the button shows no progress.
    }
}

void TaskbarProgress::Show(HWND window, const TaskbarView& view) noexcept {
    if (!list_) return;
    list_->SetProgressState(window, FlagOf(view.state));
    if (view.state != TaskbarState::NoProgress)
        list_->SetProgressValue(window, static_cast<ULONGLONG>(view.position), 100);
}

}  // namespace kavrel
