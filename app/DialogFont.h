#pragma once

#include "app/LayoutRules.h"

#include <windows.h>

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
