// Plumbing shared by the program's three windows: their classes, their
// controls and layout, and the per-opening state a dialog keeps in its user
// data.
#pragma once

#include "app/LayoutRules.h"

#include <windows.h>
#include <span>
#include <string>

// Class style 0, arrow cursor, window-coloured background, no icon or menu.
bool RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure);

// Where a control lies in its window's client area, at 96 dpi.
struct ControlPlace {
    int id;
    int x;
    int y;
    int width;
    int height;
};

// A child control of parent with extended style 0 and id as its menu
// value, of no size yet: PlaceControls gives it its place.
HWND CreateChildControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id);

// Moves the children, in creation order, to the layout's rows in the same
// order, scaled. A control that could not be made leaves its row unused.
void PlaceControls(HWND window, std::span<const ControlPlace> layout, LayoutScale scale);

// Gives the window that outer size, but no larger than the work area of its
// monitor, and moves it onto that area where it reaches past it.
void FitWindow(HWND window, int width, int height);

// Where a dialog of that outer size is first made: centred over its owner,
// so that it is born on the owner's monitor and takes that monitor's scale.
POINT CentredOverOwner(HWND owner, int width, int height);

// Moves the window, its size kept, centred over its owner and inside the
// work area of the owner's monitor.
void CentreOverOwner(HWND window);

// The messages every window answers alike for its looks: labels and check
// boxes on the window's own colours, a move to a monitor of another scale
// (the suggested rectangle, then layOut), and a change of the text size
// (layOut). True when it took the message.
bool HandleWindowLook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void (*layOut)(HWND), LRESULT& result);

// WM_NCCREATE of a dialog: keeps the creation parameter in the user data.
void KeepCreationState(HWND window, LPARAM createStruct);

template <typename State> State* CreationState(HWND window)
{
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
