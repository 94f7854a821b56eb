// Exits 0 once the desktop shell serves its windows collection with the
// desktop in it, 1 when it does not within 15 s. Wine's desktop shell
// registers that collection as it starts; one that started before the
// prefix's COM services could take the registration serves none for the
// rest of its session, and every start through it is refused.
#include <windows.h>

#include <exdisp.h>
#include <shlobj.h>

#include <optional>

#include "platform/com_ptr.h"
#include "platform/com_runtime.h"

namespace {

bool ServesTheDesktop(const kavrel::ComRuntime& com) {
    constexpr CLSID kShellWindows = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
    kavrel::ComPtr<IShellWindows> windows;
    if (FAILED(com.coCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                    windows.putVoid())) ||
        !windows)
        return false;
    VARIANT desktopLocation{};
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    VARIANT noRoot{};
    long desktopWindow = 0;
    kavrel::ComPtr<IDispatch> desktop;
    return windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                 desktop.put()) == S_OK &&
           desktop;
}

}  // namespace

int main() {
    const kavrel::Result<kavrel::ComRuntime> com = kavrel::LoadComRuntime();
    if (!com.HasValue()) return 1;
    kavrel::ComApartment apartment(com.value());
    for (int look = 0; look < 75; ++look) {
        if (ServesTheDesktop(com.value())) return 0;
        ::Sleep(200);
    }
    return 1;
}
