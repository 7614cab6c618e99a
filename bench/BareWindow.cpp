// The least a Win32 program can be: one window, one control, a message loop.
// Lumibrel's start-up time and memory are read against it, so that what the
// platform itself costs (under Wine, most of it) is not counted as ours.
//
// Built a second time with BARE_WITH_COM_AND_CONTROLS, it also pays for what
// Lumibrel cannot do without: common controls 6 (by its manifest) and COM on
// a second thread, started the way Lumibrel starts its worker. Whatever
// Lumibrel costs beyond that floor is its own.

#include <windows.h>
#ifdef BARE_WITH_COM_AND_CONTROLS
#include <commctrl.h>
#include <objbase.h>
#endif

namespace {

#ifdef BARE_WITH_COM_AND_CONTROLS
HANDLE g_ready = nullptr;

DWORD WINAPI ComThreadProc(LPVOID)
{
    MSG message = {};
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(g_ready);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    // Tells the benchmark that COM is in, so that the memory it reads includes it.
    OutputDebugStringW(L"BareWindow: COM ready\n");
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    }
    CoUninitialize();
    return 0;
}
#endif

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
#ifdef BARE_WITH_COM_AND_CONTROLS
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"BareBenchWindow";
    if (!RegisterClassExW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 520, 285, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
    CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 80, 24, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), instance, nullptr);
#ifdef BARE_WITH_COM_AND_CONTROLS
    DWORD threadId = 0;
    g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ComThreadProc, nullptr, 0, &threadId);
    if (g_ready == nullptr || thread == nullptr || WaitForSingleObject(g_ready, 5000) != WAIT_OBJECT_0)
        return 3;
#endif
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
#ifdef BARE_WITH_COM_AND_CONTROLS
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
#endif
    return static_cast<int>(message.wParam);
}
