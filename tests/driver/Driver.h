// Starts the built Lumibrel.exe with the simulated display component and
// watches it from outside, as a user or the component would: windows, message
// boxes, keys, debug output, the component's journal, the settings file.
// Shared by the tests, the benchmark and the demo. Every wait is bounded.
#pragma once

#include "windowkit/ControlIds.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace driver {
using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
inline constexpr Millis kTimeout = 15s; // only a broken program makes anybody wait this long
inline constexpr wchar_t kMessageBoxClass[] = L"#32770";
inline constexpr int kMessageBoxTextId = 0xFFFF; // as Windows and Wine both number a box's text

inline std::string utf8(std::wstring_view text)
{
    const std::u8string units = fs::path(text).u8string();
    return {units.begin(), units.end()};
}

inline void pump(Millis duration)
{
    for (const auto deadline = Clock::now() + duration; Clock::now() < deadline;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Pumps this thread meanwhile.
inline bool waitUntil(const std::function<bool()>& condition, Millis timeout = kTimeout)
{
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline; pump(20ms))
        if (condition())
            return true;
    return condition();
}

inline std::vector<std::string> splitLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(bytes.substr(start, end - start - (end > start && bytes[end - 1] == '\r')));
    return lines;
}

inline std::wstring join(const std::wstring& folder, const std::wstring& name)
{
    return folder.ends_with(L'\\') ? folder + name : folder + L'\\' + name;
}

inline std::string readBytes(const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// UTF-16 with a byte order mark.
inline void writeText(const std::wstring& path, std::wstring_view text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text)
        bytes.append({static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)});
    if (!(std::ofstream(fs::path(path), std::ios::binary) << bytes))
        throw std::runtime_error("cannot write a file");
}

inline void makeFolders(const std::wstring& path)
{
    std::error_code ignored;
    fs::create_directories(path, ignored);
}

inline void removeTree(const std::wstring& path)
{
    std::error_code error; // a program that just ended may hold a file a moment longer
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::remove_all(path, error);
        if (!fs::exists(path, error))
            return;
        Sleep(50);
    }
}

// The UI language as the platform names it ("ENU").
inline std::wstring languageCode()
{
    wchar_t code[4] = {};
    GetLocaleInfoW(GetUserDefaultUILanguage(), LOCALE_SABBREVLANGNAME, code, 4);
    return code;
}

inline std::vector<std::wstring> profileList(const wchar_t* units, DWORD length)
{ // zero-separated
    std::vector<std::wstring> items;
    for (DWORD at = 0; at < length && units[at]; at += static_cast<DWORD>(items.back().size()) + 1)
        items.emplace_back(&units[at]);
    return items;
}

// An INI file as the platform's reader gives it: sections and their lines.
using Ini = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;
inline Ini readIni(const std::wstring& path)
{
    std::vector<wchar_t> units(1 << 20); // more than any test writes
    wchar_t* const to = units.data();
    Ini file;
    for (std::wstring& name : profileList(to, GetPrivateProfileSectionNamesW(to, 1 << 20, path.c_str())))
        file.emplace_back(name, profileList(to, GetPrivateProfileSectionW(name.c_str(), to, 1 << 20, path.c_str())));
    return file;
}

inline std::optional<std::wstring> iniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[4096];
    GetPrivateProfileStringW(section, key, L"\x01", value, 4096, path.c_str());
    return std::wstring_view(value) == L"\x01" ? std::nullopt : std::optional<std::wstring>(value);
}

inline std::vector<HWND> windowsOf(DWORD pid, const wchar_t* className = nullptr, bool visibleOnly = true)
{
    std::vector<HWND> all;
    const auto collect = [](HWND window, LPARAM to) {
        reinterpret_cast<std::vector<HWND>*>(to)->push_back(window);
        return TRUE;
    };
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    std::erase_if(all, [&](HWND window) {
        DWORD owner = 0;
        wchar_t name[256] = L"";
        GetWindowThreadProcessId(window, &owner);
        GetClassNameW(window, name, 256);
        return owner != pid || (className && wcscmp(name, className)) || (visibleOnly && !IsWindowVisible(window));
    });
    return all;
}

inline HWND waitForWindow(DWORD pid, const wchar_t* className, Millis timeout = kTimeout, bool visibleOnly = true)
{
    std::vector<HWND> found;
    waitUntil([&] { return !(found = windowsOf(pid, className, visibleOnly)).empty(); }, timeout);
    return found.empty() ? nullptr : found.front();
}

// -1 from a hung window.
inline LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return answered ? static_cast<LRESULT>(result) : -1;
}

// Asked by message, which crosses processes where GetWindowTextW does not.
inline std::wstring askText(HWND window, UINT lengthMessage, UINT textMessage, WPARAM index)
{
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(send(window, lengthMessage, index), 0)) + 1, L'\0');
    const LRESULT copied = send(window, textMessage, textMessage == WM_GETTEXT ? text.size() : index,
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

inline std::wstring textOf(HWND window)
{
    return askText(window, WM_GETTEXTLENGTH, WM_GETTEXT, 0);
}

inline std::vector<std::wstring> comboItems(HWND combo)
{
    std::vector<std::wstring> items;
    for (LRESULT i = 0, count = send(combo, CB_GETCOUNT); i < count; ++i)
        items.push_back(askText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(i)));
    return items;
}

// As a user's pick: the parent hears CBN_SELCHANGE.
inline void choose(HWND combo, int index)
{
    send(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
    send(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

inline bool checked(HWND box)
{
    return send(box, BM_GETCHECK) == BST_CHECKED;
}

// The keyboard focus on that window's thread.
inline HWND focusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// False while a modal window it opened runs.
inline bool click(HWND button, Millis timeout = 5s)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) != 0;
}

inline void postClick(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

// Pressed together, to the foreground window. The keys are queued in order;
// whoever reads their effect waits for it.
inline void keys(const std::vector<WORD>& chord)
{
    std::vector<INPUT> inputs(chord.size() * 2);
    for (size_t i = 0; i < inputs.size(); ++i) { // all down, then up in reverse
        const WORD key = chord[i < chord.size() ? i : inputs.size() - 1 - i];
        const bool extended = (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE;
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = key;
        inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        inputs[i].ki.dwFlags = (i < chord.size() ? 0 : KEYEVENTF_KEYUP) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Alt with the key that types letter on the keyboard in use. A letter no
// key of it types (an umlaut on a US keyboard) comes as what Alt with that
// key of the user's keyboard brings to the focused window: its WM_SYSCHAR.
inline void altKey(wchar_t letter)
{
    wchar_t lower[2] = {letter, L'\0'};
    wchar_t upper[2] = {letter, L'\0'};
    CharLowerW(lower);
    CharUpperW(upper);
    const SHORT key = VkKeyScanW(lower[0]);
    // Wine offers the base letter's key for an accented one, which types another letter.
    if (key != -1 && HIBYTE(key) == 0 && MapVirtualKeyW(LOBYTE(key), MAPVK_VK_TO_CHAR) == upper[0]) {
        keys({VK_MENU, LOBYTE(key)});
        return;
    }
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), nullptr), &thread);
    constexpr LPARAM kAltDown = 1 | (1 << 29); // one press, with Alt
    PostMessageW(thread.hwndFocus, WM_SYSCHAR, lower[0], kAltDown);
}

inline bool toFront(HWND window)
{
    const auto inFront = [&] {
        if (GetForegroundWindow() == window)
            return true;
        keys({VK_F24}); // only the process with the last input may move the foreground: a key nobody acts on
        SetForegroundWindow(window);
        return false;
    };
    return waitUntil(inFront, 5s);
}

struct Box {
    HWND window = nullptr, owner = nullptr;
    std::wstring caption, text;
};

inline std::optional<Box> waitForBox(DWORD pid, Millis timeout = kTimeout)
{
    HWND box = waitForWindow(pid, kMessageBoxClass, timeout);
    if (!box)
        return std::nullopt;
    return Box{box, GetWindow(box, GW_OWNER), textOf(box), textOf(GetDlgItem(box, kMessageBoxTextId))};
}

inline bool gone(HWND window)
{
    return waitUntil([&] { return !IsWindow(window); }, 5s);
}

// Presses IDOK, IDYES or IDNO and waits for the box to go.
inline bool answer(const Box& box, int button)
{
    postClick(GetDlgItem(box.window, button));
    return gone(box.window);
}

struct Process { // ends the process, if it still runs, when it goes
    PROCESS_INFORMATION info{};
    Process() = default;
    Process(const Process&) = delete;
    ~Process()
    {
        kill();
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DWORD pid() const { return info.dwProcessId; }
    std::optional<DWORD> waitForExit(Millis timeout = kTimeout) const
    {
        DWORD code = 0;
        const bool ended = WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
        return ended && GetExitCodeProcess(info.hProcess, &code) ? std::optional(code) : std::nullopt;
    }
    bool kill()
    { // whether it still ran
        const bool ran = WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
        if (ran) {
            TerminateProcess(info.hProcess, 0xDEAD);
            WaitForSingleObject(info.hProcess, 10000);
        }
        return ran;
    }
};

// Every process a test starts belongs to this job, which ends them all when
// the test's process goes, also when it is killed for hanging: a Lumibrel
// left behind would hold the single-instance mutex for every later test.
inline HANDLE testJob()
{
    static const HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// An environment variable of this process; empty when it is not set.
inline std::wstring environmentValue(const std::wstring& name)
{
    std::wstring value(32767, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), 32767));
    return value;
}

using Env = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>; // nullopt removes
// exe alone, or a whole command line as the system keeps one (exe empty).
inline std::unique_ptr<Process> startProcess(const std::wstring& exe, const Env& env = {},
                                             const std::wstring& folder = {}, WORD show = SW_SHOWDEFAULT,
                                             std::wstring commandLine = {})
{
    Env saved; // the child inherits this environment, changed for the moment
    for (const auto& [name, value] : env) {
        const std::wstring old = environmentValue(name);
        saved.emplace(saved.begin(), name, old.empty() ? std::nullopt : std::optional(old));
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    if (commandLine.empty())
        commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    auto process = std::make_unique<Process>();
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !process->info.hProcess; ++attempt) {
        if (attempt > 0)
            Sleep(500); // a loaded Wine now and then fails a start
        if (!CreateProcessW(exe.empty() ? nullptr : exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process->info))
            error = GetLastError();
    }
    for (const auto& [name, value] : saved)
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    if (!process->info.hProcess)
        throw std::runtime_error("cannot start " + utf8(commandLine) + ": " + std::to_string(error));
    AssignProcessToJobObject(testJob(), process->info.hProcess); // it starts nothing of its own meanwhile
    return process;
}

// Other processes' OutputDebugString through DBWIN_BUFFER; one listener at a
// time in a Wine prefix.
struct DebugListener {
    HANDLE buffer = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    const char* view = buffer ? static_cast<const char*>(MapViewOfFile(buffer, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    HANDLE ready = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
    HANDLE data = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::mutex mutex;
    std::vector<std::pair<DWORD, std::string>> lines;
    std::thread thread{[this] {
        SetEvent(ready); // it may outlive an earlier listener in a stale state
        const HANDLE waits[] = {stop, data};
        for (DWORD woken; view && (woken = WaitForMultipleObjects(2, waits, FALSE, 1000)) != WAIT_OBJECT_0;) {
            DWORD pid = 0;
            memcpy(&pid, view, sizeof pid);
            if (woken == WAIT_OBJECT_0 + 1 && pid != GetCurrentProcessId()) {
                std::string text(view + sizeof pid, strnlen(view + sizeof pid, 4096 - sizeof pid));
                std::lock_guard<std::mutex> lock(mutex);
                for (std::string& line : splitLines(text + (text.ends_with('\n') ? "" : "\n")))
                    lines.emplace_back(pid, std::move(line));
            }
            SetEvent(ready); // after an idle second too: a writer killed mid-line would block the rest
        }
    }};
    ~DebugListener()
    {
        SetEvent(stop);
        thread.join();
        UnmapViewOfFile(view);
        for (HANDLE handle : {buffer, ready, data, stop})
            CloseHandle(handle);
    }
    std::vector<std::pair<DWORD, std::string>> all()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
};

// One run of the program: a fresh program folder with Lumibrel.exe and the
// component from `binFolder`, its own LOCALAPPDATA, journal and debug listener.
class Session {
public:
    explicit Session(const std::wstring& binFolder)
    {
        static int serial = 0;
        root_ = (fs::temp_directory_path() / L"lumibrel-").wstring() + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++serial);
        makeFolders(programFile(languageCode()));
        makeFolders(localAppData());
        for (const wchar_t* name : {L"Lumibrel.exe", L"Cellvane.dll"})
            if (!CopyFileW(join(binFolder, name).c_str(), programFile(name).c_str(), FALSE))
                throw std::runtime_error("cannot copy the program");
        debug_ = std::make_unique<DebugListener>();
        if (!debug_->view)
            throw std::runtime_error("cannot listen to debug output");
    }
    ~Session()
    {
        processes_.clear();
        other_.reset();
        debug_.reset();
        removeTree(root_);
    }
    std::wstring file(const std::wstring& name) const { return join(root_, name); }
    std::wstring programFile(const std::wstring& name) const { return join(file(L"Program"), name); }
    std::wstring localAppData() const { return file(L"LocalAppData"); }
    std::wstring settingsFolder() const { return join(localAppData(), L"Cellvane\\" + languageCode()); }
    std::wstring settingsPath() const { return join(settingsFolder(), L"Cellvane.ini"); }
    std::wstring journalPath() const { return file(L"journal.txt"); }
    void writeSettings(std::wstring_view text) const
    {
        removeTree(join(localAppData(), L"Cellvane"));
        makeFolders(settingsFolder());
        writeText(settingsPath(), text);
    }
    void writeLanguageFile(std::wstring_view text) const
    {
        writeText(programFile(languageCode() + L"\\Cellvane.ini"), text);
    }

    // From another folder; the session's copy, or what the command line names.
    Process& start(Env env = {}, WORD show = SW_SHOWDEFAULT, const std::wstring& commandLine = {})
    {
        env.insert(env.begin(), {{L"LOCALAPPDATA", localAppData()}, {L"CELLVANE_SIM_JOURNAL", journalPath()}});
        const std::wstring exe = commandLine.empty() ? programFile(L"Lumibrel.exe") : L"";
        return *processes_.emplace_back(startProcess(exe, env, root_, show, commandLine));
    }
    // Shown, once `count` applies are reported.
    HWND mainWindow(const Process& program, size_t count = 1) const
    {
        HWND window = waitForWindow(program.pid(), LUMIBREL_MAIN_WINDOW_CLASS);
        return window && waitUntil([&] { return applies(program) >= count; }) ? window : nullptr;
    }
    // The main window, shown or not.
    HWND createdWindow(const Process& program, Millis timeout = kTimeout) const
    {
        return waitForWindow(program.pid(), LUMIBREL_MAIN_WINDOW_CLASS, timeout, false);
    }
    std::vector<std::string> debugLines(const Process& program) const
    {
        std::vector<std::string> lines;
        for (auto& [pid, line] : debug_->all())
            if (pid == program.pid())
                lines.push_back(std::move(line));
        return lines;
    }
    size_t applies(const Process& program) const
    {
        const auto isApply = [](const std::string& line) { return line.starts_with("Lumibrel: WM_APP_API_APPLY"); };
        return static_cast<size_t>(std::ranges::count_if(debugLines(program), isApply));
    }
    // Exactly `count` once `count` came.
    bool waitForApplies(const Process& program, size_t count) const
    {
        size_t seen = 0;
        waitUntil([&] { return (seen = applies(program)) >= count; });
        return seen == count;
    }
    std::vector<std::string> journal() const { return splitLines(readBytes(journalPath())); }
    struct Ended {
        std::optional<DWORD> code;       // nullopt: it did not end and was killed
        std::vector<std::wstring> boxes; // the texts of the boxes answered on the way
    };
    // Clicks Exit, answering Yes or OK to any box, and waits; kills a program that does not end.
    Ended exit(Process& program, Millis timeout = kTimeout)
    {
        Ended ended;
        std::vector<HWND> answered;
        const auto hasEnded = [&] {
            for (HWND box : windowsOf(program.pid(), kMessageBoxClass)) {
                if (std::ranges::count(answered, box))
                    continue;
                answered.push_back(box);
                ended.boxes.push_back(textOf(GetDlgItem(box, kMessageBoxTextId)));
                postClick(GetDlgItem(box, IDYES) ? GetDlgItem(box, IDYES) : GetDlgItem(box, IDOK));
            }
            return program.waitForExit(0ms).has_value();
        };
        HWND window = createdWindow(program, 5s);
        if (window) {
            postClick(GetDlgItem(window, IDC_EXIT));
            waitUntil(hasEnded, timeout);
        }
        if (!program.kill())
            ended.code = program.waitForExit(0ms);
        return ended;
    }
    // Notepad, where the user works meanwhile.
    HWND otherProgramInFront()
    {
        if (!other_)
            other_ = startProcess(L"C:\\windows\\system32\\notepad.exe");
        HWND window = waitForWindow(other_->pid(), L"Notepad", 10s);
        return window && toFront(window) ? window : nullptr;
    }
    // Debug output and journal, for a failure message.
    std::string dump() const
    {
        std::string text = "Debug output:\n";
        for (const auto& [pid, line] : debug_->all())
            text += std::to_string(pid) + "> " + line + "\n";
        return text + "Journal:\n" + readBytes(journalPath());
    }

private:
    std::wstring root_;
    std::unique_ptr<DebugListener> debug_;
    std::vector<std::unique_ptr<Process>> processes_;
    std::unique_ptr<Process> other_;
};

} // namespace driver
