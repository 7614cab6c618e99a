#pragma once

#include "windowkit/LayoutRules.h"

#include <windows.h>
#include <span>
#include <vector>

// The window's dots per inch: its monitor's where the system tells windows
// apart, else the screen's.
UINT WindowDpi(HWND window);

// Gives every child of window the user's message font for dpi, replacing
// (and deleting) the one the window had, and returns the layout scale that
// goes with it. Without it the controls draw in the large system font, which
// the layout clips ("Multiline Braille:", "Computer Table:").
LayoutScale UseMessageFont(HWND window, UINT dpi);

// Deletes the window's font; at WM_NCDESTROY, when the children are gone.
void ReleaseMessageFont(HWND window);

// For each row of the layout, the width at 96 dpi that its control's text
// needs in the control's font, with the control's own parts (a check box's
// box, a push button's edges, a combo box's arrow); a combo box's widest item
// counts. 0 for a row without a control.
std::vector<int> TextWidthsNeeded(HWND window, std::span<const ControlPlace> layout, LayoutScale scale);
