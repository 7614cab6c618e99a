// The least a Win32 program can be: one window, one control, a message loop.
// Lumibrel's start-up time and memory are read against it, so that what the
// platform itself costs (under Wine, most of it) is not counted as ours.
//
// Built a second time with BARE_WITH_COM_AND_CONTROLS, it is the floor under
// Lumibrel: the window the user sees, built the plainest way, with what
// Lumibrel cannot do without. Common controls 6 by its manifest; COM on a
// second thread, started the way Lumibrel starts its worker; and Lumibrel's
// main window: its frame, its thirteen controls with their classes, styles
// and US English texts, in the user's message font, at their places at
// 96 dpi, the combo box filled. Whatever Lumibrel costs beyond that floor is
// its own: its settings, its layout for other texts and scales, its worker,
// its component.

#include <windows.h>
#ifdef BARE_WITH_COM_AND_CONTROLS
#include <commctrl.h>
#include <objbase.h>

#include <iterator>
#endif

namespace {

#ifndef BARE_WITH_COM_AND_CONTROLS
constexpr DWORD kWindowExStyle = 0;
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
#else
// Lumibrel's frame, which sets the client area its controls are placed in.
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr DWORD kCheckBox = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kPushButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kCombo = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int id;
    int x;
    int y;
    int width;
    int height;
};

// Lumibrel's main window in its creation order, which is its tab order, with
// its ids, so that the two answer a driver alike. A copy, not a link: the
// floor must not pay for any of Lumibrel's code. Places at 96 dpi, where the
// benchmark runs and where the English texts fit them as designed; the combo
// box's height holds its dropped list.
constexpr Control kControls[] = {
    {L"BUTTON", L"&Display Literary Braille", kCheckBox, 1004, 12, 22, 220, 24},
    {L"BUTTON", L"&Contracted Braille Input", kCheckBox, 1005, 12, 50, 220, 24},
    {L"BUTTON", L"&Set Tables...", kPushButton, 1007, 12, 78, 130, 26},
    {L"BUTTON", L"&Marking...", kPushButton, 1008, 12, 108, 130, 26},
    {L"STATIC", L"M&ultiline Braille:", kLabel, -1, 150, 112, 120, 20},
    {L"ComboBox", L"", kCombo, 1015, 270, 108, 230, 400},
    {L"BUTTON", L"&Hybrid Print and Braille Mode", kCheckBox, 1014, 12, 138, 260, 24},
    {L"BUTTON", L"Show Braille &Visualizer", kCheckBox, 1006, 12, 166, 220, 24},
    {L"BUTTON", L"Appl&y", kPushButton, 1009, 230, 206, 80, 26},
    {L"BUTTON", L"OK", kDefaultButton, 1010, 320, 206, 80, 26},
    {L"BUTTON", L"Cancel", kPushButton, 1011, 410, 206, 80, 26},
    {L"BUTTON", L"&About...", kPushButton, 1012, 50, 206, 80, 26},
    {L"BUTTON", L"E&xit", kPushButton, 1013, 140, 206, 80, 26},
};
constexpr int kComboRow = 5;
constexpr const wchar_t* kComboItems[] = {L"Auto", L"Max lines (force six dot Braille)", L"Double Line Spacing"};

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

// Without a message font every control would draw in the system font, which
// is not the window Lumibrel shows. Null when there is none: the controls
// then keep theirs.
HFONT CreateMessageFont()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return nullptr;
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The control that takes the focus first; null when a control could not be made.
HWND CreateControls(HWND window, HINSTANCE instance, HFONT font)
{
    HWND children[std::size(kControls)] = {};
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const Control& control = kControls[i];
        children[i] = CreateWindowExW(0, control.className, control.text, control.style, control.x, control.y,
                                      control.width, control.height, window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        if (children[i] == nullptr)
            return nullptr;
        if (font != nullptr)
            SendMessageW(children[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    for (const wchar_t* item : kComboItems)
        SendMessageW(children[kComboRow], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(children[kComboRow], CB_SETCURSEL, 0, 0);
    // What Lumibrel shows without a settings file: literary braille on.
    SendMessageW(children[0], BM_SETCHECK, BST_CHECKED, 0);
    return children[0];
}
#endif

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
#ifdef BARE_WITH_COM_AND_CONTROLS
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // The label and the check boxes on the window's colour, as Lumibrel
        // paints them, not in grey boxes.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
#endif
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
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
    HWND window = CreateWindowExW(kWindowExStyle, windowClass.lpszClassName, L"Bare window", kWindowStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 520, 285, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
#ifdef BARE_WITH_COM_AND_CONTROLS
    HFONT font = CreateMessageFont();
    HWND first = CreateControls(window, instance, font);
    if (first == nullptr)
        return 2;
    DWORD threadId = 0;
    g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ComThreadProc, nullptr, 0, &threadId);
    if (g_ready == nullptr || thread == nullptr || WaitForSingleObject(g_ready, 5000) != WAIT_OBJECT_0)
        return 3;
    // Shown with the focus on the first control, as Lumibrel is; and, as
    // there, no UpdateWindow: the loop's first turn paints, so that both are
    // timed to the same point and neither pays for its paint first.
    ShowWindow(window, showCommand);
    SetFocus(first);
#else
    CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 10, 80, 24, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
#endif
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
#ifdef BARE_WITH_COM_AND_CONTROLS
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    if (font != nullptr)
        DeleteObject(font);
#endif
    return static_cast<int>(message.wParam);
}
