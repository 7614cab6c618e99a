// Plumbing shared by the program's three windows: their classes, their
// controls, and the per-opening state a dialog keeps in its user data.
#pragma once

#include <windows.h>
#include <string>

// Class style 0, arrow cursor, window-coloured background, no icon or menu.
bool RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure);

// A child control of parent with extended style 0, id as its menu value.
HWND CreateChildControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                        int width, int height, int id);

// WM_NCCREATE of a dialog: keeps the creation parameter in the user data.
void KeepCreationState(HWND window, LPARAM createStruct);

template <typename State>
State* CreationState(HWND window)
{
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
