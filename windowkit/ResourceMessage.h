// Resource strings and the one message box through which the program
// reports errors and warnings.
#pragma once

#include <windows.h>
#include <string>

// The string table entry, or the empty text when it is missing.
std::wstring LoadResourceString(UINT id);

// Whether the texts loaded are of a right-to-left language, whose windows
// are mirrored.
bool ReadsRightToLeft();

// WS_EX_LAYOUTRTL in a right-to-left language, else 0: each of the
// program's windows asks for it. The process's default layout would mirror
// every window made in the process, the display component's too.
DWORD MirroredStyle();

// A modal box with the program's name as caption, read right to left in a
// right-to-left language; returns the button pressed, which only a question
// needs.
int ShowMessageBox(HWND owner, const std::wstring& text, UINT flags);

// The same with the string table entry as its text.
int ShowResourceMessage(HWND owner, UINT id, UINT flags);
