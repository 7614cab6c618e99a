// Process entry: one instance per user, the main window, the API worker,
// the global hot key and the main message loop.

#include "api/ApiWorker.h"
#include "api/ApplySettings.h"
#include "mainwindow/MainWindow.h"
#include "process/CommandLine.h"
#include "process/ProgramFolder.h"
#include "process/Shell.h"
#include "resources/resource.h"
#include "windowkit/ControlIds.h"
#include "windowkit/DialogKeys.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/WindowParts.h"

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
// A start that took over has its window within this time, and is looked
// for this often.
constexpr DWORD kNewInstanceWaitMs = 10000;
constexpr DWORD kEndingInstancePollMs = 100;

enum ExitCode {
    ExitNormal = 0,
    ExitNoMutexOrClass = 1,
    ExitNoMainWindow = 2,
    ExitNoWorker = 3,
};

// Another instance holds the mutex: ask it to show itself. One that has
// just taken the place of an ending instance may not have its window yet,
// and is waited for.
void ShowRunningInstance(bool justStarted)
{
    HWND running = FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr);
    for (DWORD waited = 0; running == nullptr && justStarted && waited < kNewInstanceWaitMs;
         waited += kEndingInstancePollMs) {
        Sleep(kEndingInstancePollMs);
        running = FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr);
    }
    if (running != nullptr) {
        DWORD processId = 0;
        GetWindowThreadProcessId(running, &processId);
        if (processId != 0)
            AllowSetForegroundWindow(processId);
        PostMessageW(running, WM_APP_SHOW_SETTINGS, 0, 0);
    }
}

// The process that has announced its end, to wait on; null when none has.
// `announced` says whether one had, even if it is gone already.
HANDLE EndingProcess(bool& announced)
{
    HANDLE announcement = OpenFileMappingW(FILE_MAP_READ, FALSE, LUMIBREL_ENDING_NAME);
    announced = announcement != nullptr;
    if (announcement == nullptr)
        return nullptr;
    DWORD processId = 0;
    if (const void* view = MapViewOfFile(announcement, FILE_MAP_READ, 0, 0, sizeof processId)) {
        processId = *static_cast<const DWORD*>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(announcement);
    return processId != 0 ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
}

enum TakeOver {
    TookOver,        // g_singleInstanceMutex is a new one: this start runs
    RunsOn,          // the running instance is not ending, or not in time
    AnotherTookOver, // another start waited too, and was first
};

// The running instance may have announced its end (Exit waits for the
// component). Then this start waits for that process to end, no longer than
// its Exit may take, and takes its place: so two copies never hold the
// component at once. While it waits it holds no handle to the mutex, which
// would keep the mutex alive after the ending one has gone; of several
// starts that waited, the first to make the mutex anew runs.
TakeOver TakeOverFromEndingInstance()
{
    bool announced = false;
    HANDLE ending = EndingProcess(announced);
    if (!announced)
        return RunsOn;
    CloseHandle(g_singleInstanceMutex);
    g_singleInstanceMutex = nullptr;
    if (ending != nullptr) {
        const bool ended = WaitForSingleObject(ending, kEndingInstanceWaitMs) == WAIT_OBJECT_0;
        CloseHandle(ending);
        if (!ended)
            return RunsOn;
    }
    g_singleInstanceMutex = CreateMutexW(nullptr, FALSE, LUMIBREL_MUTEX_NAME);
    if (g_singleInstanceMutex == nullptr)
        return RunsOn;
    return GetLastError() == ERROR_ALREADY_EXISTS ? AnotherTookOver : TookOver;
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
    // The worker sets the event once its component is made, which may be
    // after this thread has stopped waiting for it: it gets a handle of its own.
    HANDLE workersEvent = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), g_workerReadyEvent, GetCurrentProcess(), &workersEvent, 0, FALSE,
                        DUPLICATE_SAME_ACCESS))
        g_workerThread = CreateThread(nullptr, 0, ApiWorkerThreadProc, workersEvent, 0, nullptr);
    if (g_workerThread == nullptr) {
        if (workersEvent != nullptr)
            CloseHandle(workersEvent);
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
    if (g_endingAnnouncement != nullptr)
        return;
    const DWORD processId = GetCurrentProcessId();
    g_endingAnnouncement =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof processId, LUMIBREL_ENDING_NAME);
    if (g_endingAnnouncement == nullptr)
        return;
    if (void* view = MapViewOfFile(g_endingAnnouncement, FILE_MAP_WRITE, 0, 0, sizeof processId)) {
        *static_cast<DWORD*>(view) = processId;
        UnmapViewOfFile(view);
    }
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
    const TakeOver takeOver = GetLastError() == ERROR_ALREADY_EXISTS ? TakeOverFromEndingInstance() : TookOver;
    if (takeOver != TookOver) {
        if (!signIn) // the one running needs no window at sign-in
            ShowRunningInstance(takeOver == AnotherTookOver);
        if (g_singleInstanceMutex != nullptr)
            CloseHandle(g_singleInstanceMutex);
        g_singleInstanceMutex = nullptr;
        return ExitNormal;
    }

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    if (!RegisterAppWindowClass(LUMIBREL_MAIN_WINDOW_CLASS, MainWindowProc)) {
        ShowResourceMessage(nullptr, IDS_ERR_REGISTER_CLASS, MB_ICONERROR);
        return ExitNoMutexOrClass;
    }

    const std::wstring title = LoadResourceString(IDS_APP_TITLE);
    // In a right-to-left language the window is mirrored, as such programs
    // are: controls laid out from the right, labels right-aligned, lists
    // opening leftwards, Tab still in reading order. Only our own windows
    // are: the component's braille view reads left to right in any language.
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT | MirroredStyle(), LUMIBREL_MAIN_WINDOW_CLASS, title.c_str(),
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

    ApplyLoadedSettings(window);

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
    if (g_endingAnnouncement != nullptr)
        CloseHandle(g_endingAnnouncement);
    return exitCode;
}
