// Resource strings and the one message box through which the program
// reports errors and warnings.
#pragma once

#include <windows.h>
#include <string>

// The string table entry, or the empty text when it is missing.
std::wstring LoadResourceString(UINT id);

// A modal box with the program's name as caption; returns the button
// pressed, which only a question needs.
int ShowResourceMessage(HWND owner, UINT id, UINT flags);
