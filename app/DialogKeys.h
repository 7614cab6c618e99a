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

// Disables owner and pumps the thread's messages until dialog is destroyed.
// A quit message ends the loop too: the dialog is then destroyed, and the
// quit is posted again once the owner is back, so the program still ends.
void RunModalLoop(HWND owner, HWND dialog, int okId, int cancelId);
