// Plumbing shared by the program's three windows: their classes, their
// controls and layout, and the per-opening state a dialog keeps in its user
// data.
#pragma once

#include "app/LayoutRules.h"

#include <windows.h>
#include <span>
#include <string>
#include <vector>

// Class style 0, arrow cursor, window-coloured background, no icon or menu.
bool RegisterAppWindowClass(const wchar_t* className, WNDPROC procedure);

// A child control of parent with extended style 0 and id as its menu
// value, of no size yet: PlaceControls gives it its place.
HWND CreateChildControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id);

// The child that each row of the layout places: the children, in creation
// order, take the rows with their ids in the same order. A control that
// could not be made leaves its row null.
std::vector<HWND> ChildrenOfLayout(HWND window, std::span<const ControlPlace> layout);

// Moves the children to their rows, scaled.
void PlaceControls(HWND window, std::span<const ControlPlace> layout, LayoutScale scale);

// Places the controls widened where their texts, in the window's font, need
// more room than the layout gives (a translation may), and gives the window
// its outer size at 96 dpi, as much wider as they grew.
void PlaceControlsForTexts(HWND window, std::span<const ControlPlace> layout, LayoutScale scale, SIZE windowSize);

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

// Waits until one of the handles is signalled or the deadline (a tick
// count) has passed, answering meanwhile the messages sent to this thread's
// windows and painting them; input and posted messages wait. A sent message
// may start a wait of its own, which may move the deadline: it is read again
// once that has returned.
void WaitAnsweringSentMessages(const HANDLE* handles, DWORD count, const DWORD& deadline);

// WM_NCCREATE of a dialog: keeps the creation parameter in the user data.
void KeepCreationState(HWND window, LPARAM createStruct);

template <typename State> State* CreationState(HWND window)
{
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
