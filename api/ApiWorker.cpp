#include "api/ApiWorker.h"

#include "api/ApplyRecord.h"
#include "app/ControlIds.h"
#include "app/Shell.h"

#include <cstdarg>
#include <objbase.h>
#include <oleauto.h>

#include "DisplayApi.h"

namespace {

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
    DebugLine(L"Lumibrel: EnableContractedBrailleInput(%d) elapsed=%lu ms\n",
              record.useContractedBrailleInput ? 1 : 0, GetTickCount() - t);

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
    DebugLine(L"Lumibrel: SetBrailleLinePadding(%d) elapsed=%lu ms\n", record.brailleLinePadding,
              GetTickCount() - t);

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

// Records still queued when the loop ends belong to this thread; without
// this they would leak.
void DeleteQueuedRecords()
{
    MSG message = {};
    while (PeekMessageW(&message, nullptr, WM_APP_API_APPLY, WM_APP_API_APPLY, PM_REMOVE))
        if (message.hwnd == nullptr)
            delete reinterpret_cast<ApplyRecord*>(message.lParam);
}

} // namespace

DWORD WINAPI ApiWorkerThreadProc(LPVOID)
{
    MSG message = {};
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    if (g_workerReadyEvent != nullptr)
        SetEvent(g_workerReadyEvent);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        ReportComponentUnavailable();
        DeleteQueuedRecords();
        return 1;
    }

    DisplayApi* api = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Cellvane, nullptr, CLSCTX_INPROC_SERVER, IID_DisplayApi,
                                reinterpret_cast<void**>(&api)))) {
        api = nullptr;
        ReportComponentUnavailable();
    }
    bool started = false;

    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (message.hwnd != nullptr) {
            // A window that COM or the component made on this thread.
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        if (message.message == WM_APP_API_START) {
            StartApi(api, started);
        } else if (message.message == WM_APP_API_APPLY) {
            ApplyRecord* record = reinterpret_cast<ApplyRecord*>(message.lParam);
            if (api != nullptr && record != nullptr)
                ApplyToApi(api, *record);
            delete record;
        } else if (message.message == WM_APP_API_SHUTDOWN) {
            if (api != nullptr) {
                api->SetEnabled(0);
                api->Stop();
            }
            break;
        } else if (message.message == WM_APP_API_REFRESH) {
            if (api != nullptr && started)
                api->RefreshFocusedControl();
        }
    }

    DeleteQueuedRecords();
    if (api != nullptr) {
        api->Release();
        api = nullptr;
    }
    CoUninitialize();
    return 0;
}
