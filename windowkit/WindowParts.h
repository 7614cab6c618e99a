// Plumbing shared by the program's three windows: their classes, their
// controls and layout, and the per-opening state a dialog keeps in its user
// data.
#pragma once

#include "windowkit/LayoutRules.h"

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

// WM_NCCREATE of a window made with a record as its creation parameter:
// keeps the record in the user data.
void KeepCreationState(HWND window, LPARAM createStruct);

template <typename State> State* CreationState(HWND window)
{
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// What every modal dialog's per-opening record holds for the kit: its owner,
// and its control that had the focus when the user left it. A dialog's own
// record derives from it, and is its creation parameter as a
// ModalDialogState*.
struct ModalDialogState {
    HWND owner = nullptr;
    HWND lastFocus = nullptr;
};

// The dialog's own record, kept at WM_NCCREATE; null before.
template <typename State> State* ModalDialogStateOf(HWND dialog)
{
    return static_cast<State*>(CreationState<ModalDialogState>(dialog));
}

// What a modal dialog does of its own when it is made and laid out again.
struct ModalDialogParts {
    void (*create)(HWND dialog); // builds its controls at WM_CREATE
    void (*layOut)(HWND dialog); // for another scale or text size
};

// The opening of every modal dialog's window procedure: keeps the record at
// WM_NCCREATE; at WM_CREATE builds the controls and centres the dialog over
// its owner; and answers what each dialog answers alike, the keyboard and
// the ending (HandleModalDialogMessage) and the window's looks
// (HandleWindowLook). True when it answered the message, with the result to
// return; else `state` is the dialog's record.
bool AnswerModalDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, ModalDialogParts parts,
                              ModalDialogState*& state, LRESULT& result);

template <typename State>
bool AnswerModalDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, ModalDialogParts parts,
                              State*& state, LRESULT& result)
{
    ModalDialogState* kept = nullptr;
    const bool answered = AnswerModalDialogMessage(dialog, message, wParam, lParam, parts, kept, result);
    state = static_cast<State*>(kept);
    return answered;
}
