// Program-wide state of the application shell, written on the
// user-interface thread only. The worker reads g_workerReadyEvent and
// g_hwndMain, both set before it starts.
#pragma once

#include <windows.h>

extern HANDLE g_singleInstanceMutex;
extern HWND g_hwndMain;
extern HANDLE g_workerThread;
extern DWORD g_workerThreadId;
extern HANDLE g_workerReadyEvent;

// Alt+Ctrl+T, registered for MainWindow at start-up.
constexpr int kHotKeyId = 1;
