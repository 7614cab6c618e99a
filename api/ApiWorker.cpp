#include "api/ApiWorker.h"

#include "app/ControlIds.h"
#include "app/Shell.h"
#include "app/WindowParts.h"

#include <cstdarg>
#include <deque>
#include <mutex>
#include <objbase.h>
#include <oleauto.h>

#include "DisplayApi.h"

namespace {

struct ApiWork {
    UINT kind = 0;
    std::unique_ptr<ApplyRecord> record;
};

// The only state the two threads share; touched under its lock alone.
struct ApiWorkQueue {
    std::mutex lock;
    std::deque<ApiWork> pending;
    HWND window = nullptr;          // the worker's message-only window, once it exists
    HANDLE shutdownTaken = nullptr; // set when the worker takes the shutdown: all before it is done
    bool closed = false;            // the shutdown is queued or the worker has gone
};

ApiWorkQueue g_apiWork;

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
    if (work.kind == WM_APP_API_START) {
        StartApi(state.api, state.started);
    } else if (work.kind == WM_APP_API_APPLY) {
        // The started flag is not asked: an apply reaches even a component whose Start failed.
        if (state.api != nullptr && work.record != nullptr)
            ApplyToApi(state.api, *work.record);
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

// True when one of the handles is signalled within ms. Meanwhile only the
// messages sent to this thread's windows are answered; posted ones wait.
bool WaitAnsweringSentMessages(const HANDLE* handles, DWORD count, DWORD ms)
{
    const DWORD begun = GetTickCount();
    for (;;) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD elapsed = GetTickCount() - begun;
        const DWORD woken =
            MsgWaitForMultipleObjects(count, handles, FALSE, elapsed < ms ? ms - elapsed : 0, QS_SENDMESSAGE);
        if (woken < WAIT_OBJECT_0 + count)
            return true;
        if (woken != WAIT_OBJECT_0 + count)
            return false;
    }
}

// Only the shutdown stays, so that it comes right after the call in progress.
void DropQueuedWork()
{
    std::lock_guard<std::mutex> guard(g_apiWork.lock);
    std::erase_if(g_apiWork.pending, [](const ApiWork& work) { return work.kind != WM_APP_API_SHUTDOWN; });
}

} // namespace

bool QueueApiWork(UINT work, std::unique_ptr<ApplyRecord> record)
{
    // A worker that a component call ended leaves no word of it but its handle.
    if (g_workerThread == nullptr || WaitForSingleObject(g_workerThread, 0) != WAIT_TIMEOUT)
        return false;
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        if (g_apiWork.closed)
            return false;
        g_apiWork.pending.push_back(ApiWork{work, std::move(record)});
        g_apiWork.closed = work == WM_APP_API_SHUTDOWN;
        window = g_apiWork.window;
    }
    if (window != nullptr)
        PostMessageW(window, WM_APP_API_WORK, 0, 0);
    return true;
}

void StopApiWorker(DWORD queuedWorkMs, DWORD stopMs)
{
    if (g_workerThread == nullptr)
        return;
    HANDLE shutdownTaken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.shutdownTaken = shutdownTaken;
    }
    if (QueueApiWork(WM_APP_API_SHUTDOWN)) {
        const HANDLE reached[] = {shutdownTaken, g_workerThread};
        if (shutdownTaken == nullptr || !WaitAnsweringSentMessages(reached, 2, queuedWorkMs))
            DropQueuedWork();
    }
    // A component that hangs in Stop must not keep the program alive.
    WaitAnsweringSentMessages(&g_workerThread, 1, stopMs);
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.shutdownTaken = nullptr;
    }
    if (shutdownTaken != nullptr)
        CloseHandle(shutdownTaken);
    CloseHandle(g_workerThread);
    g_workerThread = nullptr;
    g_workerThreadId = 0;
}

DWORD WINAPI ApiWorkerThreadProc(LPVOID)
{
    // The window exists before the user-interface thread hears that the
    // worker is ready; work queued before then is taken by the first drain.
    WorkerState state;
    HWND window = CreateWorkerWindow(state);
    {
        std::lock_guard<std::mutex> guard(g_apiWork.lock);
        g_apiWork.window = window;
    }
    if (g_workerReadyEvent != nullptr)
        SetEvent(g_workerReadyEvent);

    // A component may run a message loop while it is being made; the work
    // woken meanwhile waits until there is an object to hand it to.
    state.draining = true;
    if (window == nullptr || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        ReportComponentUnavailable();
        CloseWorkQueue();
        if (window != nullptr)
            DestroyWindow(window);
        return 1;
    }
    if (FAILED(CoCreateInstance(CLSID_Cellvane, nullptr, CLSCTX_INPROC_SERVER, IID_DisplayApi,
                                reinterpret_cast<void**>(&state.api)))) {
        state.api = nullptr;
        ReportComponentUnavailable();
    }

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
