// The simulated display component: an in-process, apartment-threaded COM
// server that does what its environment variables say and journals every
// call, so that tests and demos can see what the program asked of the
// display. The rules live in SimConfig; this file is the COM plumbing.

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <functional>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "DisplayApi.h"
#include "SimConfig.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStore.h"

namespace {

// Live objects and class factories, plus LockServer locks: the DLL may be
// unloaded only when both are zero.
LONG g_liveObjects = 0;
LONG g_serverLocks = 0;

HMODULE ThisModule()
{
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

std::optional<std::wstring> ReadVariable(const char* asciiName)
{
    std::wstring name;
    for (const char* c = asciiName; *c; ++c)
        name.push_back(static_cast<wchar_t>(*c));
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return std::nullopt;
        return std::wstring();
    }
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

SimConfig ReadConfigFromEnvironment()
{
    SimEnvironment environment;
    environment.journal = ReadVariable(kSimJournalVariable);
    environment.create = ReadVariable(kSimCreateVariable);
    environment.startHr = ReadVariable(kSimStartHrVariable);
    environment.hybrid = ReadVariable(kSimHybridVariable);
    environment.hybridModeHr = ReadVariable(kSimHybridModeHrVariable);
    environment.delay = ReadVariable(kSimDelayVariable);
    environment.fail = ReadVariable(kSimFailVariable);
    environment.exitThread = ReadVariable(kSimExitThreadVariable);
    environment.persist = ReadVariable(kSimPersistVariable);
    environment.pump = ReadVariable(kSimPumpVariable);
    environment.readWindow = ReadVariable(kSimReadWindowVariable);
    environment.view = ReadVariable(kSimViewVariable);
    return ReadSimConfig(environment);
}

// Opened for appending and shared with readers, so that a test can follow
// the journal while the program runs.
HANDLE OpenJournal(const std::wstring& path)
{
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One WriteFile per line and no buffering of our own: a reader never sees
// half a line, and sees each line as soon as the call has made it.
void WriteJournalLine(HANDLE journal, const std::string& line)
{
    if (journal == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(journal, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void WriteConfigErrors(HANDLE journal, const SimConfig& config)
{
    for (const std::string& variable : config.configErrors) {
        WriteJournalLine(journal, SimConfigErrorLine(variable));
    }
}

std::string Decimal(LONG value)
{
    return std::to_string(value);
}

// The real component keeps the tables and the multiline choice itself, in
// the file the program shares with it (found by the program's own rule), where
// the program reads them at its next start, through the platform's writer.
// Unless it keeps everything, only a value that differs from what the file
// holds, or from its default, is written.
void KeepSetting(SimKeeping keeping, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                 const std::wstring& value)
{
    const std::wstring path = GetSettingsFilePath();
    if (path.empty() || (keeping != SimKeepEverything && ReadSettingText(path, section, key, fallback) == value))
        return;
    if (EnsureSettingsFolder(path))
        WritePrivateProfileStringW(section, key, value.c_str(), path.c_str());
}

// As COM does while a call of another apartment waits: every message of the
// calling thread is dispatched, thread messages too, which reach no window
// and so are lost. A quit is posted again afterwards, as COM does.
void PumpMessages(DWORD ms)
{
    const DWORD begun = GetTickCount();
    bool quit = false;
    WPARAM quitCode = 0;
    for (DWORD elapsed = 0; elapsed < ms; elapsed = GetTickCount() - begun) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const DWORD now = GetTickCount() - begun;
        if (now < ms)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - now, QS_ALLINPUT);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found)
{
    DWORD process = 0;
    wchar_t name[64] = {};
    GetWindowThreadProcessId(window, &process);
    GetClassNameW(window, name, 64);
    if (process != GetCurrentProcessId() || lstrcmpW(name, L"LumibrelMainWindow") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// As a component that follows the focus does: the program's main window is
// read by a message sent to its thread, which waits until that thread
// answers. The journal line, written once it has, shows the text read.
void ReadMainWindow(HANDLE journal)
{
    HWND window = nullptr;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&window));
    wchar_t text[256] = {};
    if (window)
        SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    WriteJournalLine(journal, SimCallLine("ReadWindow", window ? SimQuoted(text) : "", window ? S_OK : E_FAIL,
                                          GetCurrentThreadId()));
}

constexpr wchar_t kViewClass[] = L"CellvaneBrailleView";

// The on-screen braille view of a component that draws it itself: a plain
// top-level window of its own class, made on the calling thread.
HWND OpenBrailleView()
{
    WNDCLASSEXW viewClass = {};
    viewClass.cbSize = sizeof(viewClass);
    viewClass.lpfnWndProc = DefWindowProcW;
    viewClass.hInstance = ThisModule();
    viewClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    viewClass.lpszClassName = kViewClass;
    RegisterClassExW(&viewClass);
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kViewClass, L"Braille", WS_POPUP | WS_BORDER, 0, 0, 400,
                           40, nullptr, nullptr, ThisModule(), nullptr);
}

class SimDisplay final : public DisplayApi {
public:
    explicit SimDisplay(SimConfig config) : config_(std::move(config))
    {
        InterlockedIncrement(&g_liveObjects);
        journal_ = OpenJournal(config_.journalPath);
        WriteJournalLine(journal_, SimEventLine("Created", GetCurrentThreadId()));
        WriteConfigErrors(journal_, config_);
        // A component may run a message loop while it is being made, too,
        // and take its time.
        if (DWORD pump = SimPumpFor(config_, "Created"))
            PumpMessages(pump);
        // Only when named: a delay for "*" slows the methods, not the making.
        if (const auto made = config_.delaysMs.find("Created"); made != config_.delaysMs.end())
            Sleep(made->second);
    }

    ~SimDisplay()
    {
        if (view_ != nullptr)
            DestroyWindow(view_);
        if (typeInfo_)
            typeInfo_->Release();
        if (journal_ != INVALID_HANDLE_VALUE)
            CloseHandle(journal_);
        InterlockedDecrement(&g_liveObjects);
    }

    SimDisplay(const SimDisplay&) = delete;
    SimDisplay& operator=(const SimDisplay&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_DisplayApi)) {
            *object = static_cast<DisplayApi*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            WriteJournalLine(journal_, SimEventLine("Released", GetCurrentThreadId()));
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch, answered from the type library embedded in this DLL.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = TypeInfo() ? 1 : 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) override
    {
        if (!typeInfo)
            return E_POINTER;
        *typeInfo = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        if (!TypeInfo())
            return E_NOTIMPL;
        typeInfo_->AddRef();
        *typeInfo = typeInfo_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (!TypeInfo())
            return E_NOTIMPL;
        return DispGetIDsOfNames(typeInfo_, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* badArgument) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (!TypeInfo())
            return E_NOTIMPL;
        return DispInvoke(static_cast<DisplayApi*>(this), typeInfo_, id, flags, params, result, exception, badArgument);
    }

    // DisplayApi
    HRESULT STDMETHODCALLTYPE Start(LONG reserved) override
    {
        return Finish("Start", Decimal(reserved), config_.startHr);
    }

    HRESULT STDMETHODCALLTYPE Stop() override { return Finish("Stop", "", S_OK); }

    HRESULT STDMETHODCALLTYPE SetBrailleTables(BSTR literaryTable, BSTR mathTable, BSTR computerTable) override
    {
        return Finish("SetBrailleTables", Quoted(literaryTable) + "," + Quoted(mathTable) + "," + Quoted(computerTable),
                      S_OK, [&] {
                          KeepSetting(config_.persist, L"Liblouis", L"LiteraryTable", kDefaultLiteraryTable,
                                      Text(literaryTable));
                          KeepSetting(config_.persist, L"Liblouis", L"ComputerBrailleTable", kDefaultComputerTable,
                                      Text(computerTable));
                          KeepSetting(config_.persist, L"Liblouis", L"MathTable", kDefaultMathTable, Text(mathTable));
                      });
    }

    HRESULT STDMETHODCALLTYPE DisplayLiteraryBraille(LONG flag) override
    {
        return Finish("DisplayLiteraryBraille", Decimal(flag), S_OK);
    }

    HRESULT STDMETHODCALLTYPE SetBrailleLinePadding(LONG padding) override
    {
        return Finish("SetBrailleLinePadding", Decimal(padding), S_OK, [&] {
            KeepSetting(config_.persist, L"Settings", L"BrailleLinePadding", kDefaultLinePadding,
                        std::to_wstring(padding));
        });
    }

    HRESULT STDMETHODCALLTYPE ForceSixDotBraille(VARIANT_BOOL on) override
    {
        return Finish("ForceSixDotBraille", Decimal(on), S_OK, [&] {
            KeepSetting(config_.persist, L"Settings", L"ForceSixDotBraille", kDefaultSixDot, on ? L"1" : L"0");
        });
    }

    // Writes both values or neither; the journal shows what the caller's
    // variables hold afterwards.
    HRESULT STDMETHODCALLTYPE QueryHybridSupport(LONG* first, LONG* second) override
    {
        HRESULT hr = S_OK;
        if (!first || !second) {
            hr = E_POINTER;
        } else if (config_.hybridFails || SimFails(config_, "QueryHybridSupport")) {
            hr = E_FAIL;
        } else {
            *first = config_.hybridFirst;
            *second = config_.hybridSecond;
        }
        std::string args = (first ? Decimal(*first) : "null") + "," + (second ? Decimal(*second) : "null");
        return Finish("QueryHybridSupport", args, hr);
    }

    HRESULT STDMETHODCALLTYPE RefreshFocusedControl() override { return Finish("RefreshFocusedControl", "", S_OK); }

    HRESULT STDMETHODCALLTYPE SetEnabled(LONG flag) override { return Finish("SetEnabled", Decimal(flag), S_OK); }

    HRESULT STDMETHODCALLTYPE ShowBrailleOnScreen(VARIANT_BOOL on) override
    {
        if (config_.opensView && on && view_ == nullptr)
            view_ = OpenBrailleView();
        if (view_ != nullptr)
            ShowWindow(view_, on ? SW_SHOWNOACTIVATE : SW_HIDE);
        return Finish("ShowBrailleOnScreen", Decimal(on), S_OK);
    }

    HRESULT STDMETHODCALLTYPE SetHybridPrintAndBrailleMode(VARIANT_BOOL on) override
    {
        return Finish("SetHybridPrintAndBrailleMode", Decimal(on), config_.hybridModeHr);
    }

    HRESULT STDMETHODCALLTYPE EnableContractedBrailleInput(VARIANT_BOOL on) override
    {
        return Finish("EnableContractedBrailleInput", Decimal(on), S_OK);
    }

    // Slots the program never calls; a call that lands here shows up in the journal.
#define SIM_RESERVED_METHOD(n)                                                                                         \
    HRESULT STDMETHODCALLTYPE Reserved##n() override                                                                   \
    {                                                                                                                  \
        return Finish("Reserved" #n, "", E_NOTIMPL);                                                                   \
    }
    SIM_RESERVED_METHOD(8)
    SIM_RESERVED_METHOD(14)
    SIM_RESERVED_METHOD(16)
    SIM_RESERVED_METHOD(17)
    SIM_RESERVED_METHOD(18)
    SIM_RESERVED_METHOD(19)
    SIM_RESERVED_METHOD(20)
    SIM_RESERVED_METHOD(21)
    SIM_RESERVED_METHOD(22)
    SIM_RESERVED_METHOD(23)
    SIM_RESERVED_METHOD(24)
    SIM_RESERVED_METHOD(25)
    SIM_RESERVED_METHOD(26)
    SIM_RESERVED_METHOD(27)
    SIM_RESERVED_METHOD(28)
    SIM_RESERVED_METHOD(29)
    SIM_RESERVED_METHOD(30)
    SIM_RESERVED_METHOD(31)
    SIM_RESERVED_METHOD(32)
    SIM_RESERVED_METHOD(34)
#undef SIM_RESERVED_METHOD

private:
    // The message loop, the window read and the delay come before the journal
    // line, so that a reader who sees the line knows the call is about to return.
    // What a call keeps is in the file before its line is in the journal. A
    // call named by CELLVANE_SIM_EXIT_THREAD ends the caller's thread after
    // its line, as a component that takes its caller down would.
    HRESULT Finish(const char* method, const std::string& args, HRESULT hr, const std::function<void()>& keep = nullptr)
    {
        if (DWORD pump = SimPumpFor(config_, method))
            PumpMessages(pump);
        if (SimReadsWindow(config_, method))
            ReadMainWindow(journal_);
        DWORD delay = SimDelayFor(config_, method);
        if (delay > 0)
            Sleep(delay);
        if (SimFails(config_, method))
            hr = E_FAIL;
        if (SUCCEEDED(hr) && keep && config_.persist != SimKeepNothing)
            keep();
        WriteJournalLine(journal_, SimCallLine(method, args, hr, GetCurrentThreadId()));
        if (config_.exitThreadMethod == method)
            ExitThread(0);
        return hr;
    }

    static std::wstring Text(BSTR text)
    {
        return std::wstring(text, SysStringLen(text));
    }
    static std::string Quoted(BSTR text)
    {
        return SimQuoted(Text(text));
    }

    // Loaded on first use from this DLL's own file, with nothing registered.
    ITypeInfo* TypeInfo()
    {
        if (typeInfo_ || typeInfoFailed_)
            return typeInfo_;
        typeInfoFailed_ = true;
        std::wstring path(MAX_PATH, L'\0');
        while (true) {
            DWORD length = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
            if (length == 0)
                return nullptr;
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            if (path.size() >= 32768)
                return nullptr;
            path.resize(path.size() * 2);
        }
        ITypeLib* library = nullptr;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library)) || !library)
            return nullptr;
        HRESULT hr = library->GetTypeInfoOfGuid(IID_DisplayApi, &typeInfo_);
        library->Release();
        if (FAILED(hr)) {
            typeInfo_ = nullptr;
            return nullptr;
        }
        typeInfoFailed_ = false;
        return typeInfo_;
    }

    LONG references_ = 1;
    SimConfig config_;
    HWND view_ = nullptr;
    HANDLE journal_ = INVALID_HANDLE_VALUE;
    ITypeInfo* typeInfo_ = nullptr;
    bool typeInfoFailed_ = false;
};

class SimClassFactory final : public IClassFactory {
public:
    SimClassFactory() { InterlockedIncrement(&g_liveObjects); }
    ~SimClassFactory() { InterlockedDecrement(&g_liveObjects); }

    SimClassFactory(const SimClassFactory&) = delete;
    SimClassFactory& operator=(const SimClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        SimConfig config = ReadConfigFromEnvironment();
        if (config.createFails) {
            HANDLE journal = OpenJournal(config.journalPath);
            WriteJournalLine(journal, SimCallLine("CreateInstance", "", E_FAIL, GetCurrentThreadId()));
            WriteConfigErrors(journal, config);
            if (journal != INVALID_HANDLE_VALUE)
                CloseHandle(journal);
            return E_FAIL;
        }
        SimDisplay* display = new (std::nothrow) SimDisplay(std::move(config));
        if (!display)
            return E_OUTOFMEMORY;
        HRESULT hr = display->QueryInterface(riid, object);
        display->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock) {
            InterlockedIncrement(&g_serverLocks);
        } else {
            InterlockedDecrement(&g_serverLocks);
        }
        return S_OK;
    }

private:
    LONG references_ = 1;
};

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Cellvane))
        return CLASS_E_CLASSNOTAVAILABLE;
    SimClassFactory* factory = new (std::nothrow) SimClassFactory();
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}
