// The one thread that talks to the display component. It owns a
// single-threaded apartment and the component's object, and takes its work
// as thread messages (WM_APP_API_START, _APPLY, _REFRESH, _SHUTDOWN).
#pragma once

#include <windows.h>

DWORD WINAPI ApiWorkerThreadProc(LPVOID);
