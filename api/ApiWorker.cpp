#include "api/ApiWorker.h"

#include "process/Shell.h"
#include "settings/SettingsStore.h"
#include "windowkit/ControlIds.h"
#include "windowkit/WindowParts.h"

#include <algorithm>
#include <cstdarg>
#include <deque>
#include <mutex>
#include <objbase.h>
#include <oleauto.h>

#include "DisplayApi.h"

namespace {

// A task is work of its own, run between two component calls.
constexpr UINT kTaskWork = 0;

struct ApiWork {
    UINT kind = 0;
    std::unique_ptr<ApplyRecord> record;
    std::function<void()> task;
    unsigned long serial = 0;
};

// The only state the two threads share; touched under its lock alone.
struct ApiWorkQueue {
    std::mutex lock;
    std::deque<ApiWork> pending;
    HWND window = nullptr;          // the worker's message-only window, once it exists
    HANDLE shutdownTaken = nullptr; // set when the worker takes the shutdown: all before it is done
    bool closed = false;            // the shutdown is queued or the worker has gone
    unsigned long lastSerial = 0;
};

// Never destroyed: a worker still inside a component call when the process
// ends (its stop timed out) may yet take from it, after the program's own
// statics are gone.
ApiWorkQueue& g_apiWork = *new ApiWorkQueue;

// A shutdown under way, as the user-interface thread alone sees it. Ticks
// are absolute; a later, shorter shutdown brings them forward.
struct ShutdownWait {
    bool underWay = false;
    HANDLE taken = nullptr;
    DWORD queuedDeadline = 0;
    DWORD stopMs = 0;
    bool stopping = false;
    DWORD stopDeadline = 0;
};

ShutdownWait g_shutdown;

// The worker thread's own state, kept in its window's user data.
struct WorkerState {
    DisplayApi* api = nullptr;
    bool started = false;
    bool draining = false;
    bool leaving = false;
};

void DebugLine(const wchar_t* format, ...)
{
    wchar_t line[256] = {};
    va_list args;
    va_start(args, format);
    wvsprintfW(line, format, args);
    va_end(args);
    OutputDebugStringW(line);
}

VARIANT_BOOL ToVariantBool(bool value)
{
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

void StartApi(DisplayApi* api, bool& started)
{
    if (api == nullptr || started)
        return;
    if (api->Start(0) != S_OK)
        return;
    // The component needs a moment after Start before it answers reliably.
    Sleep(500);
    started = true;

    bool hybridAvailable = true;
    LONG first = 0;
    LONG second = 0;
    const HRESULT hr = api->QueryHybridSupport(&first, &second);
    if (SUCCEEDED(hr) && first == 0 && second == 0)
        hybridAvailable = false;

    api->SetEnabled(-1);
    api->RefreshFocusedControl();
    if (g_hwndMain != nullptr)
        PostMessageW(g_hwndMain, WM_APP_API_STARTED, hybridAvailable ? 1 : 0, 0);
}

void ApplyToApi(DisplayApi* api, const ApplyRecord& record)
{
    const DWORD t0 = GetTickCount();
    DWORD t = GetTickCount();
    api->DisplayLiteraryBraille(record.displayLiteraryBraille ? -1 : 0);
    DebugLine(L"Lumibrel: DisplayLiteraryBraille(%d) elapsed=%lu ms\n", record.displayLiteraryBraille ? 1 : 0,
              GetTickCount() - t);

    t = GetTickCount();
    api->EnableContractedBrailleInput(ToVariantBool(record.useContractedBrailleInput));
    DebugLine(L"Lumibrel: EnableContractedBrailleInput(%d) elapsed=%lu ms\n", record.useContractedBrailleInput ? 1 : 0,
              GetTickCount() - t);

    t = GetTickCount();
    api->ShowBrailleOnScreen(ToVariantBool(record.showBrailleVisualizer));
    DebugLine(L"Lumibrel: ShowBrailleOnScreen(%d) elapsed=%lu ms\n", record.showBrailleVisualizer ? 1 : 0,
              GetTickCount() - t);

    t = GetTickCount();
    api->ForceSixDotBraille(ToVariantBool(record.forceSixDotBraille));
    DebugLine(L"Lumibrel: ForceSixDotBraille(%d) elapsed=%lu ms\n", record.forceSixDotBraille ? 1 : 0,
              GetTickCount() - t);

    t = GetTickCount();
    api->SetBrailleLinePadding(record.brailleLinePadding);
    DebugLine(L"Lumibrel: SetBrailleLinePadding(%d) elapsed=%lu ms\n", record.brailleLinePadding, GetTickCount() - t);

    const HRESULT hybridHr = api->SetHybridPrintAndBrailleMode(ToVariantBool(record.hybridPrintAndBrailleMode));
    DebugLine(L"Lumibrel: SetHybridPrintAndBrailleMode(%d) hr=0x%08X\n", record.hybridPrintAndBrailleMode ? 1 : 0,
              static_cast<unsigned>(hybridHr));

    if (record.tablesChanged) {
        // The component copies what it keeps; the strings are ours to free.
        BSTR literary = SysAllocString(record.literaryTable.c_str());
        BSTR math = SysAllocString(record.mathTable.c_str());
        BSTR computer = SysAllocString(record.computerTable.c_str());
        api->SetBrailleTables(literary, math, computer);
        SysFreeString(literary);
        SysFreeString(math);
        SysFreeString(computer);
    }

    DebugLine(L"Lumibrel: WM_APP_API_APPLY total elapsed=%lu ms\n", GetTickCount() - t0);
}

void SetReady(HANDLE readyEvent)
{
    if (readyEvent != nullptr) {
        SetEvent(readyEvent);
        CloseHandle(readyEvent);
    }
}

// Told on the window's thread: a missing or broken component looks like
// success everywhere else.
void ReportComponentUnavailable()
{
    if (g_hwndMain != nullptr)
        PostMessageW(g_hwndMain, WM_APP_API_UNAVAILABLE, 0, 0);
}

bool TakeWork(ApiWork& work)
{
    std::lock_guard<std::mutex> guard(g_apiWork.lock);
    if (g_apiWork.pending.empty())
        return false;
    work = std::move(g_apiWork.pending.front());
    g_apiWork.pending.pop_front();
    if (work.kind == WM_APP_API_SHUTDOWN && g_apiWork.shutdownTaken != nullptr)
        SetEvent(g_apiWork.shutdownTaken);
    return true;
}

void DoWork(WorkerState& state, const ApiWork& work)
{
    if (work.kind == kTaskWork) {
        if (work.task)
            work.task();
    } else if (work.kind == WM_APP_API_START) {
        StartApi(state.api, state.started);
    } else if (work.kind == WM_APP_API_APPLY) {
        // The started flag is not asked: an apply reaches even a component whose Start failed.
        if (state.api != nullptr && work.record != nullptr) {
            // The component may keep what it is handed in the file we share,
            // through the platform's writer: a file it begins, or an ANSI one,
            // would turn a name outside the code page into question marks.
            // No component call runs now, so none can be writing the file.
            std::vector<std::wstring> names;
            if (work.record->tablesChanged)
                names = {work.record->literaryTable, work.record->mathTable, work.record->computerTable};
            // A file that cannot be readied (held open without delete
            // sharing, or read-only) takes the name in question marks, and
            // the next start no longer finds the table: the user is told.
            // The display gets its settings all the same.
            if (!PrepareSettingsFile(work.record->settingsPath, names) && g_hwndMain != nullptr)
                PostMessageW(g_hwndMain, WM_APP_NAME_NOT_KEPT, 0, 0);
            ApplyToApi(state.api, *work.record);
        }
    } else if (work.kind == WM_APP_API_REFRESH) {
        if (state.api != nullptr && state.started)
            state.api->RefreshFocusedControl();
    } else if (work.kind == WM_APP_API_SHUTDOWN) {
        if (state.api != nullptr) {
            state.api->SetEnabled(0);
            state.api->Stop();
        }
        state.leaving = true;
    }
}

// Reached again from inside a component call, through a message loop the
// component runs, it returns at once: the component is never re-entered,
// and the drain in progress takes what came meanwhile once the call is over.
void DrainWork(WorkerState& state)
{
    if (state.draining)
        return;
    state.draining = true;
    ApiWork work;
    while (!state.leaving && TakeWork(work))
        DoWork(state, work);
    state.draining = false;
}

LRESULT CALLBACK ApiWorkerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        KeepCreationState(window, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    WorkerState* state = CreationState<WorkerState>(window);
    if (message == WM_APP_API_WORK && state != nullptr) {
        DrainWork(*state);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateWorkerWindow(WorkerState& state)
{
    RegisterAppWindowClass(LUMIBREL_API_WORKER_CLASS, ApiWorkerWindowProc);
    return CreateWindowExW(0, LUMIBREL_API_WORKER_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), &state);
}

// What is still queued when the worker leaves goes with it, records and all.
void CloseWorkQueue()
{
    std::lock_guard<std::mutex> guard(g_apiWork.lock);
    g_apiWork.closed = true;
    g_apiWork.window = nullptr;
    g_apiWork.pending.clear();
}

bool Signalled(HANDLE handle)
{
    return handle != nullptr && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

bool WorkerEnded()
{
    return g_workerThread == nullptr || WaitForSingleObject(g_workerThread, 0) != WAIT_TIMEOUT;
}

bool Passed(DWORD deadline)
{
    return static_cast<LONG>(GetTickCount() - deadline) >= 0;
}

DWORD Earlier(DWORD deadline, DWORD other)
{
    return static_cast<LONG>(other - deadline) < 0 ? other : deadline;
}

// Only the shutdown stays, so that it comes right after the call in progress.
void DropQueuedWork()
{
    std::lock_guard<std::mutex> guard(g_apiWork.lock);
    std::erase_if(g_apiWork.pending, [](const ApiWork& work) { return work.kind != WM_APP_API_SHUTDOWN; });
}

// Queues the work, at the back or ahead of all, and wakes the worker; its
// serial, or 0 when the queue is closed. The shutdown closes the queue.
unsigned long PushWork(ApiWork work, bool ahead)
{
    HWND window = nullptr;
    unsigned long serial = 0;
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        if (g_apiWork.closed)
            return 0;
        serial = work.serial = ++g_apiWork.lastSerial;
        g_apiWork.closed = work.kind == WM_APP_API_SHUTDOWN;
        if (ahead)
            g_apiWork.pending.push_front(std::move(work));
        else
            g_apiWork.pending.push_back(std::move(work));
        window = g_apiWork.window;
    }
    if (window != nullptr)
        PostMessageW(window, WM_APP_API_WORK, 0, 0);
    return serial;
}

// The waiting of the shutdown under way, until the worker has ended or the
// bounds have passed. The bounds are read afresh after every wake, since a
// shutdown started by a sent message may have brought them forward.
void AwaitWorkerEnd()
{
    while (!WorkerEnded()) {
        if (!g_shutdown.stopping) {
            const bool taken = Signalled(g_shutdown.taken);
            if (taken || Passed(g_shutdown.queuedDeadline)) {
                if (!taken)
                    DropQueuedWork();
                g_shutdown.stopping = true;
                g_shutdown.stopDeadline = GetTickCount() + g_shutdown.stopMs;
                continue;
            }
            const HANDLE reached[] = {g_workerThread, g_shutdown.taken};
            WaitAnsweringSentMessages(reached, g_shutdown.taken != nullptr ? 2 : 1, g_shutdown.queuedDeadline);
        } else {
            if (Passed(g_shutdown.stopDeadline))
                return; // a component that hangs in Stop must not keep the program alive
            WaitAnsweringSentMessages(&g_workerThread, 1, g_shutdown.stopDeadline);
        }
    }
}

} // namespace

bool QueueApiWork(UINT work, std::unique_ptr<ApplyRecord> record)
{
    // A worker that a component call ended leaves no word of it but its handle.
    if (WorkerEnded())
        return false;
    const unsigned long serial = PushWork(ApiWork{work, std::move(record), nullptr, 0}, false);
    if (serial == 0)
        return false;
    // Ended between the first look and the push: what it never took is not
    // handed over. What it took before it ended was.
    if (!WorkerEnded())
        return true;
    std::lock_guard<std::mutex> guard(g_apiWork.lock);
    return std::erase_if(g_apiWork.pending, [&](const ApiWork& queued) { return queued.serial == serial; }) == 0;
}

bool RunBetweenComponentCalls(const std::function<void()>& task, DWORD waitMs)
{
    // Whichever side lets go last closes the event: a late run still sets it.
    struct Done {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ~Done()
        {
            if (event != nullptr)
                CloseHandle(event);
        }
    };
    const auto done = std::make_shared<Done>();
    const auto run = [task, done] {
        task();
        SetEvent(done->event);
    };
    if (done->event == nullptr || WorkerEnded() || PushWork(ApiWork{kTaskWork, nullptr, run, 0}, true) == 0) {
        task();
        return true;
    }
    const DWORD deadline = GetTickCount() + waitMs;
    const HANDLE waits[] = {done->event, g_workerThread};
    while (!Signalled(done->event) && !WorkerEnded() && !Passed(deadline))
        WaitAnsweringSentMessages(waits, 2, deadline);
    return Signalled(done->event);
}

void StopApiWorker(DWORD queuedWorkMs, DWORD stopMs)
{
    if (g_workerThread == nullptr)
        return;
    const DWORD now = GetTickCount();
    if (g_shutdown.underWay) {
        g_shutdown.queuedDeadline = Earlier(g_shutdown.queuedDeadline, now + queuedWorkMs);
        g_shutdown.stopMs = std::min(g_shutdown.stopMs, stopMs);
        if (g_shutdown.stopping)
            g_shutdown.stopDeadline = Earlier(g_shutdown.stopDeadline, now + stopMs);
        AwaitWorkerEnd();
        return;
    }
    g_shutdown = ShutdownWait{true, CreateEventW(nullptr, TRUE, FALSE, nullptr), now + queuedWorkMs, stopMs};
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.shutdownTaken = g_shutdown.taken;
    }
    if (!QueueApiWork(WM_APP_API_SHUTDOWN))
        DropQueuedWork();
    AwaitWorkerEnd();
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.shutdownTaken = nullptr;
    }
    if (g_shutdown.taken != nullptr)
        CloseHandle(g_shutdown.taken);
    g_shutdown = ShutdownWait{};
    CloseHandle(g_workerThread);
    g_workerThread = nullptr;
}

DWORD WINAPI ApiWorkerThreadProc(LPVOID readyEvent)
{
    // Work queued before the window exists is taken by the first drain.
    WorkerState state;
    HWND window = CreateWorkerWindow(state);
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.window = window;
    }

    // A component may run a message loop while it is being made; the work
    // woken meanwhile waits until there is an object to hand it to.
    state.draining = true;
    if (window == nullptr || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        ReportComponentUnavailable();
        CloseWorkQueue();
        if (window != nullptr)
            DestroyWindow(window);
        SetReady(static_cast<HANDLE>(readyEvent));
        return 1;
    }
    if (FAILED(CoCreateInstance(CLSID_Cellvane, nullptr, CLSCTX_INPROC_SERVER, IID_DisplayApi,
                                reinterpret_cast<void**>(&state.api)))) {
        state.api = nullptr;
        ReportComponentUnavailable();
    }
    // Ready once the component is made, or known missing: a component that
    // takes longer than the window waits for it is what the user is told of.
    SetReady(static_cast<HANDLE>(readyEvent));

    state.draining = false;
    DrainWork(state);
    MSG message = {};
    while (!state.leaving) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        // Only the queued shutdown ends the worker, not a quit from elsewhere;
        // and a thread message is nobody's work.
        if (got == 0 || message.hwnd == nullptr)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    CloseWorkQueue();
    DestroyWindow(window);
    if (state.api != nullptr) {
        state.api->Release();
        state.api = nullptr;
    }
    CoUninitialize();
    return 0;
}
