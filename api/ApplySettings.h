#pragma once

#include <windows.h>

// Turns the main window's state into one snapshot for the API worker:
// stores the four check-box settings that changed, then queues the record.
// True when the record was queued; failures show their own message.
bool ApplySettings(HWND owner);
