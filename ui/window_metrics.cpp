#include "ui/window_metrics.h"

namespace kavrel {

// The screen's resolution, which a DPI-aware program is told as it is.
std::int32_t SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    if (!screen) return kBaseDpi;
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

// The system's message font (the one of message boxes), as the user set it,
// already at the system's resolution for a DPI-aware program; none when the
// system does not say. The structure's size is that of Windows XP (no
// iPaddedBorderWidth), which every later Windows accepts.
UniqueFont MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
    return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

// The line height and average character width of the font (the System font
// when there is none), measured on the screen.
TextMetricsPx MeasureText(HFONT font) {
    TextMetricsPx measured;
    HDC screen = ::GetDC(nullptr);
    if (!screen) return measured;
    HGDIOBJ before = font ? ::SelectObject(screen, font) : nullptr;
    TEXTMETRICW text{};
    if (::GetTextMetricsW(screen, &text)) {
        measured.lineHeight = static_cast<std::int32_t>(text.tmHeight + text.tmExternalLeading);
        measured.averageCharWidth = static_cast<std::int32_t>(text.tmAveCharWidth);
    }
    if (before) ::SelectObject(screen, before);
    ::ReleaseDC(nullptr, screen);
    return measured;
}

// What the window's frame adds around its client area, from the styles the
// window really has: the system adds a title bar (WS_CAPTION) to an
// overlapped window, which the styles it was created with do not show.
FrameInsets FrameOf(HWND window) {
    RECT rect{};
    const auto style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE));
    if (!::AdjustWindowRectEx(&rect, style, FALSE, exStyle)) return {};
    return FrameInsets{-rect.left, -rect.top, rect.right, rect.bottom};
}

}  // namespace kavrel
