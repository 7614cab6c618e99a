// Process entry: one instance per user, the main window, the API worker,
// the global hot key and the main message loop.

#include "api/ApiWorker.h"
#include "api/ApplySettings.h"
#include "app/CommandLine.h"
#include "app/ControlIds.h"
#include "app/DialogKeys.h"
#include "app/ProgramFolder.h"
#include "app/ResourceMessage.h"
#include "app/Shell.h"
#include "app/WindowParts.h"
#include "mainwindow/MainWindow.h"
#include "resources/resource.h"

#include <commctrl.h>

HANDLE g_singleInstanceMutex = nullptr;
HWND g_hwndMain = nullptr;
HANDLE g_workerThread = nullptr;
HANDLE g_workerReadyEvent = nullptr;
HANDLE g_endingAnnouncement = nullptr;

namespace {

constexpr DWORD kWorkerReadyWaitMs = 5000;
constexpr DWORD kIdleWakeMs = 50;
// A start while the running instance ends waits no longer than its Exit may
// take, and looks again this often.
constexpr DWORD kEndingInstanceWaitMs = kQueuedWorkWaitMs + kWorkerShutdownWaitMs + 5000;
constexpr DWORD kEndingInstancePollMs = 100;

enum ExitCode {
    ExitNormal = 0,
    ExitNoMutexOrClass = 1,
    ExitNoMainWindow = 2,
    ExitNoWorker = 3,
};

// Another instance holds the mutex: ask it to show itself.
void ShowRunningInstance()
{
    HWND running = FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr);
    if (running != nullptr) {
        DWORD processId = 0;
        GetWindowThreadProcessId(running, &processId);
        if (processId != 0)
            AllowSetForegroundWindow(processId);
        PostMessageW(running, WM_APP_SHOW_SETTINGS, 0, 0);
    }
}

// The running instance has announced its end (Exit waits for the
// component). Then this one waits for it to go, no longer than its Exit may
// take, and takes its place: true once g_singleInstanceMutex is a new one.
// Against an instance that runs on it is false at once.
bool TakeOverFromEndingInstance()
{
    const DWORD begun = GetTickCount();
    for (;;) {
        CloseHandle(g_singleInstanceMutex);
        g_singleInstanceMutex = CreateMutexW(nullptr, FALSE, LUMIBREL_MUTEX_NAME);
        if (g_singleInstanceMutex == nullptr)
            return false;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return true;
        HANDLE ending = OpenEventW(SYNCHRONIZE, FALSE, LUMIBREL_ENDING_EVENT_NAME);
        if (ending == nullptr)
            return false;
        CloseHandle(ending);
        if (GetTickCount() - begun >= kEndingInstanceWaitMs)
            return false;
        Sleep(kEndingInstancePollMs);
    }
}

// Returns false when the worker could not be made; the message is shown.
// The window does not wait for the worker: its work waits in the queue until
// the worker takes it, and a worker not up within 5 s is reported by the
// window's timer.
bool StartApiWorker(HWND window)
{
    g_workerReadyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_workerReadyEvent == nullptr) {
        ShowResourceMessage(window, IDS_ERR_WORKER_EVENT, MB_ICONERROR);
        return false;
    }
    g_workerThread = CreateThread(nullptr, 0, ApiWorkerThreadProc, nullptr, 0, nullptr);
    if (g_workerThread == nullptr) {
        CloseHandle(g_workerReadyEvent);
        g_workerReadyEvent = nullptr;
        ShowResourceMessage(window, IDS_ERR_WORKER_THREAD, MB_ICONERROR);
        return false;
    }
    SetTimer(window, kWorkerReadyTimerId, kWorkerReadyWaitMs, nullptr);
    QueueApiWork(WM_APP_API_START);
    return true;
}

int RunMainLoop(HWND window)
{
    MSG message = {};
    for (;;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return static_cast<int>(message.wParam);
            if (HandleDialogKeys(message, window, IDC_OK, IDC_CANCEL) || HandleAccessKey(message, window))
                continue;
            if (IsDialogMessageW(window, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, kIdleWakeMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

} // namespace

void AnnounceEnding()
{
    if (g_endingAnnouncement == nullptr)
        g_endingAnnouncement = CreateEventW(nullptr, TRUE, TRUE, LUMIBREL_ENDING_EVENT_NAME);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int showCommand)
{
    const std::wstring folder = GetProgramFolder();
    if (!folder.empty())
        SetCurrentDirectoryW(folder.c_str());

    const bool signIn = arguments != nullptr && IsSignInStart(arguments);
    g_singleInstanceMutex = CreateMutexW(nullptr, FALSE, LUMIBREL_MUTEX_NAME);
    if (g_singleInstanceMutex == nullptr)
        return ExitNoMutexOrClass;
    if (GetLastError() == ERROR_ALREADY_EXISTS && !TakeOverFromEndingInstance()) {
        if (!signIn) // the one running needs no window at sign-in
            ShowRunningInstance();
        if (g_singleInstanceMutex != nullptr)
            CloseHandle(g_singleInstanceMutex);
        g_singleInstanceMutex = nullptr;
        return ExitNormal;
    }

    // In a right-to-left language every window is mirrored, as such
    // programs are: controls laid out from the right, labels right-aligned,
    // lists opening leftwards, Tab still in reading order.
    if (ReadsRightToLeft())
        SetProcessDefaultLayout(LAYOUT_RTL);

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    if (!RegisterAppWindowClass(LUMIBREL_MAIN_WINDOW_CLASS, MainWindowProc)) {
        ShowResourceMessage(nullptr, IDS_ERR_REGISTER_CLASS, MB_ICONERROR);
        return ExitNoMutexOrClass;
    }

    const std::wstring title = LoadResourceString(IDS_APP_TITLE);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, LUMIBREL_MAIN_WINDOW_CLASS, title.c_str(),
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 520, 285, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        ShowResourceMessage(nullptr, IDS_ERR_CREATE_WINDOW, MB_ICONERROR);
        return ExitNoMainWindow;
    }
    g_hwndMain = window;
    // Ended by an installer (its files replaced) or by a crash, the program
    // is started again as at sign-in, so that the display does not stay dark.
    RegisterApplicationRestart(kSignInArgument, RESTART_NO_REBOOT);

    if (!StartApiWorker(window)) {
        DestroyWindow(window);
        return ExitNoWorker;
    }

    if (!RegisterHotKey(window, kHotKeyId, MOD_ALT | MOD_CONTROL, 'T'))
        ShowResourceMessage(window, IDS_WARN_HOTKEY, MB_ICONWARNING);

    ApplySettings(window);

    // Started at sign-in, the display comes up and the window waits, hidden,
    // for the hot key or a start from the Start menu. No UpdateWindow: the
    // first turn of the main loop paints the window, and a message sent to it
    // meanwhile need not wait for the paint.
    if (!signIn) {
        ShowWindow(window, showCommand);
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        BringWindowToTop(window);
        FocusFirstControl();
    }

    const int exitCode = RunMainLoop(window);
    // However the loop ended (Exit, a quit from elsewhere, the one a dialog's
    // loop posts again), the window goes, and its WM_DESTROY ends the worker.
    if (IsWindow(window))
        DestroyWindow(window);
    // Only now, with the mutex closed, may a start that waits for this one go on.
    if (g_endingAnnouncement != nullptr)
        CloseHandle(g_endingAnnouncement);
    return exitCode;
}
