// Program-wide state of the application shell, written on the
// user-interface thread only. The worker reads g_hwndMain, set before it
// starts, and sets a handle of its own to g_workerReadyEvent's event.
#pragma once

#include <windows.h>

extern HANDLE g_singleInstanceMutex;
extern HWND g_hwndMain;
extern HANDLE g_workerThread;
extern HANDLE g_workerReadyEvent;

// Alt+Ctrl+T, registered for MainWindow at start-up.
constexpr int kHotKeyId = 1;

// MainWindow's timer that looks, once, whether the worker came up in time.
constexpr UINT_PTR kWorkerReadyTimerId = 1;

// Tells a start made from now on that this instance is ending, and which
// process it is, so that the start waits for the process to end instead of
// asking it to show itself. Held until the process ends.
void AnnounceEnding();
