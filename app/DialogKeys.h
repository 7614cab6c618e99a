// Dialog behaviour for plain top-level windows: Enter and Escape become
// button commands, and dialogs run in a modal loop of their own.
#pragma once

#include <windows.h>

// True when the message was Enter or Escape aimed at window and has been
// turned into the command of okId, cancelId or the focused push button.
bool HandleDialogKeys(const MSG& message, HWND window, int okId, int cancelId);

// The window is a control of the "Button" class.
bool IsButtonWindow(HWND window);

// WM_NEXTDLGCTL for a plain window: the dialog manager sends it when a
// label's access key is pressed (Alt+U, Alt+L), and only a dialog-class
// window acts on it by itself. Moves the focus as a dialog would.
void MoveDialogFocus(HWND window, WPARAM wParam, LPARAM lParam);

// For a dialog's WM_DESTROY. A dialog destroyed from a sent message (an
// assistive tool pressing OK) posts nothing, so RunModalLoop would sleep on
// in GetMessageW with the owner disabled; a posted message wakes it, as
// EndDialog does for template dialogs.
void WakeModalLoop(HWND owner);

// Ends a modal dialog as EndDialog does: the owner is enabled before the
// dialog goes, so that the platform hands the activation back to the owner
// instead of to whatever enabled window, of any program, comes next.
void EndModalDialog(HWND owner, HWND dialog);

// For a dialog's WM_ACTIVATE: keeps the focused control when the dialog is
// left, and gives the focus back to it (or to the first control) when the
// dialog is activated again, rather than to the frame.
void KeepDialogFocus(HWND dialog, WPARAM activation, HWND& lastFocus);

// Disables owner and pumps the thread's messages until dialog is destroyed.
// A quit message ends the loop too: the dialog is then destroyed, and the
// quit is posted again once the owner is back, so the program still ends.
void RunModalLoop(HWND owner, HWND dialog, int okId, int cancelId);
