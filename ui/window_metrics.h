#pragma once
// What the system says about the screen, its fonts and a window's frame,
// for laying out the progress window at the user's text size and resolution.
#include <windows.h>

#include <cstdint>

#include "platform/unique_handle.h"
#include "ui/progress_rules.h"

namespace kavrel {

// The screen's resolution, which a DPI-aware program is told as it is.
std::int32_t SystemDpi();

// The system's message font (the one of message boxes), as the user set it,
// already at the system's resolution for a DPI-aware program; none when the
// system does not say.
UniqueFont MessageFont();

// The line height and average character width of the font (the System font
// when there is none), measured on the screen.
TextMetricsPx MeasureText(HFONT font);

// What the window's frame adds around its client area, from the styles the
// window really has.
FrameInsets FrameOf(HWND window);

}  // namespace kavrel
