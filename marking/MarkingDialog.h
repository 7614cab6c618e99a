#pragma once

#include <windows.h>

// The modal dialog that chooses which text attributes are marked with dots
// 7 and 8. On OK the changed choices go into the settings file's
// "BrailleMarking" section; nothing is sent to the display component.
bool ShowMarkingDialog(HWND owner);
