#pragma once

#include <windows.h>

// What became of an apply. Failures have shown their own message.
enum ApplyResult {
    ApplyQueued,    // stored, and queued for the API worker
    ApplyNotSaved,  // the settings file does not hold the settings
    ApplyNotHanded, // stored, but the worker could not take them
};

// Turns the main window's state into one snapshot for the API worker:
// stores the four check-box settings that changed, then queues the record.
ApplyResult ApplySettings(HWND owner);
