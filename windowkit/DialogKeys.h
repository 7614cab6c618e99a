// Dialog behaviour for plain top-level windows: Enter and Escape become
// button commands, and dialogs run in a modal loop of their own.
#pragma once

#include <windows.h>
#include <string_view>

// True when the message was Enter or Escape aimed at window and has been
// turned into the command of okId, cancelId or the focused push button.
bool HandleDialogKeys(const MSG& message, HWND window, int okId, int cancelId);

// Keys and access keys compared as the platform's profile functions and
// dialog manager compare them: ordinal, letter case folded in every script.
bool SameKeyIgnoringCase(std::wstring_view a, std::wstring_view b);

// True when the message was Alt with a letter (WM_SYSCHAR) aimed at window
// and a control of window has that access key: done as the dialog manager
// does, a label's key focusing the control after it and a button's pressing
// it. The letters are compared as the program compares keys, beyond A to Z
// too: a dialog manager that folds only A to Z would miss "&Übernehmen".
bool HandleAccessKey(const MSG& message, HWND window);

// The window is a control of the "Button" class.
bool IsButtonWindow(HWND window);

// The button is a check box or a radio button, of any kind: one that shows
// a state rather than acting.
bool IsToggleButton(HWND button);

// WM_NEXTDLGCTL for a plain window: the dialog manager sends it when a
// label's access key is pressed (Alt+U, Alt+L), and only a dialog-class
// window acts on it by itself. Moves the focus as a dialog would.
void MoveDialogFocus(HWND window, WPARAM wParam, LPARAM lParam);

// Ends a modal dialog as EndDialog does: the owner is enabled before the
// dialog goes, so that the platform hands the activation back to the owner
// instead of to whatever enabled window, of any program, comes next.
void EndModalDialog(HWND owner, HWND dialog);

// The messages every modal dialog answers alike, for its window procedure to
// offer first; true when the message is answered (the procedure returns 0).
// The close box ends the dialog; the dialog manager's focus moves (Tab, the
// arrows, a label's access key) land; the focused control is kept when the
// dialog is left and given back when it is activated again; and a dialog
// destroyed from a sent message wakes the modal loop.
bool HandleModalDialogMessage(HWND dialog, HWND owner, HWND& lastFocus, UINT message, WPARAM wParam, LPARAM lParam);

// Disables owner and pumps the thread's messages until dialog is destroyed.
// A quit message ends the loop too: the dialog is then destroyed, and the
// quit is posted again once the owner is back, so the program still ends.
void RunModalLoop(HWND owner, HWND dialog, int okId, int cancelId);
