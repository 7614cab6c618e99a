#pragma once

#include <windows.h>

// Gives every child of window the user's message-box font. Without it the
// controls draw in the large system font, which the fixed layout clips
// ("Multiline Braille:", "Computer Table:").
void UseMessageFont(HWND window);

// Frees the font at the end of the program.
void ReleaseMessageFont();
