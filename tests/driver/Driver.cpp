#include "tests/driver/Driver.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace driver {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(bytes.substr(start, end - start - (end > start && bytes[end - 1] == '\r')));
    return lines;
}

std::string utf8(std::wstring_view text) {
    std::string out(text.size() * 3, '\0');
    const int size = static_cast<int>(text.size());
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), size * 3, 0, 0)));
    return out;
}

void pump(Millis duration) {
    for (const auto deadline = Clock::now() + duration; Clock::now() < deadline;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max<long long>(left, 0)) + 1, QS_ALLINPUT);
    }
}

bool waitUntil(const std::function<bool()>& condition, Millis timeout) {
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline; pump(20ms))
        if (condition()) return true;
    return condition();
}

std::wstring join(const std::wstring& folder, const std::wstring& name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L'\\' + name;
}

std::string readBytes(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeText(const std::wstring& path, std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes.append({static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)});
    if (!(std::ofstream(fs::path(path), std::ios::binary) << bytes)) throw std::runtime_error("cannot write a file");
}

void makeFolders(const std::wstring& path) {
    std::error_code ignored;
    fs::create_directories(path, ignored);
}

void removeTree(const std::wstring& path) {
    std::error_code error; // a program that just ended may hold a file a moment longer
    for (int attempt = 0; attempt < 20 && (fs::remove_all(path, error), fs::exists(path, error)); ++attempt) Sleep(50);
}

std::wstring languageCode() {
    wchar_t code[4] = {};
    GetLocaleInfoW(GetUserDefaultUILanguage(), LOCALE_SABBREVLANGNAME, code, 4);
    return code;
}

static std::vector<std::wstring> profileList(const std::function<DWORD(wchar_t*, DWORD)>& read) {
    std::vector<wchar_t> buffer(1 << 20); // more than any test writes
    std::vector<std::wstring> items;
    for (size_t at = 0, length = read(buffer.data(), 1 << 20); at < length && buffer[at]; at += items.back().size() + 1)
        items.emplace_back(&buffer[at]);
    return items;
}

Ini readIni(const std::wstring& path) {
    Ini file;
    const auto sections = [&](wchar_t* to, DWORD size) {
        return GetPrivateProfileSectionNamesW(to, size, path.c_str());
    };
    for (std::wstring& name : profileList(sections))
        file.emplace_back(name, profileList([&](wchar_t* to, DWORD size) {
                              return GetPrivateProfileSectionW(name.c_str(), to, size, path.c_str());
                          }));
    return file;
}

std::optional<std::wstring> iniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    wchar_t value[4096];
    GetPrivateProfileStringW(section, key, L"\x01", value, 4096, path.c_str());
    return std::wstring_view(value) == L"\x01" ? std::nullopt : std::optional<std::wstring>(value);
}

std::vector<HWND> windowsOf(DWORD pid, const wchar_t* className, bool visibleOnly) {
    std::vector<HWND> all;
    EnumWindows([](HWND w, LPARAM to) { return reinterpret_cast<std::vector<HWND>*>(to)->push_back(w), TRUE; },
                reinterpret_cast<LPARAM>(&all));
    std::erase_if(all, [&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner != pid || (className && classOf(window) != className) || (visibleOnly && !IsWindowVisible(window));
    });
    return all;
}

HWND waitForWindow(DWORD pid, const wchar_t* className, Millis timeout) {
    std::vector<HWND> found;
    waitUntil([&] { return !(found = windowsOf(pid, className)).empty(); }, timeout);
    return found.empty() ? nullptr : found.front();
}

std::wstring classOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return answered ? static_cast<LRESULT>(result) : -1;
}

// Asked by message, which crosses processes where GetWindowTextW does not.
static std::wstring askText(HWND window, UINT lengthMessage, UINT textMessage, WPARAM index) {
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(send(window, lengthMessage, index), 0)) + 1, L'\0');
    const LRESULT copied = send(window, textMessage, textMessage == WM_GETTEXT ? text.size() : index,
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

std::wstring textOf(HWND window) { return askText(window, WM_GETTEXTLENGTH, WM_GETTEXT, 0); }

std::vector<std::wstring> comboItems(HWND combo) {
    std::vector<std::wstring> items;
    for (LRESULT i = 0, count = send(combo, CB_GETCOUNT); i < count; ++i)
        items.push_back(askText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(i)));
    return items;
}

void choose(HWND combo, int index) {
    send(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
    send(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool checked(HWND box) { return send(box, BM_GETCHECK) == BST_CHECKED; }

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool click(HWND button, Millis timeout) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) != 0;
}

void postClick(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void keys(std::initializer_list<WORD> chord) {
    std::vector<INPUT> inputs(chord.size() * 2);
    for (size_t i = 0; i < inputs.size(); ++i) { // all down, then up in reverse
        const WORD key = std::data(chord)[i < chord.size() ? i : inputs.size() - 1 - i];
        const bool extended = (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE;
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = key, inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        inputs[i].ki.dwFlags = (i < chord.size() ? 0 : KEYEVENTF_KEYUP) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pump(60ms); // the program's thread takes the keys before anybody looks
}

bool toFront(HWND window) {
    return waitUntil(
        [&] { // only the process with the last input may move the foreground: a key nobody acts on
            if (GetForegroundWindow() != window && !SetForegroundWindow(window))
                keys({VK_F24}), SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        },
        5s);
}

// Icons are per process under Wine: the box's icon is told by drawing each
// system icon (IDI_ERROR 32513 to IDI_INFORMATION 32516, in the order of Icon)
// on the box's own background and comparing it with the screen.
static Icon iconOf(HWND box) {
    RECT at{};
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c)) GetWindowRect(c, &at);
    const int size = GetSystemMetrics(SM_CXICON);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, size, size));
    SelectObject(dc, GetStockObject(DC_BRUSH));
    int best = -1;
    waitUntil(
        [&] { // a box just shown may not be painted yet
            for (int kind = 0, most = size * size * 9 / 10; at.right > at.left && kind < 4; ++kind) {
                SetDCBrushColor(dc, GetPixel(screen, at.left, at.top));
                PatBlt(dc, 0, 0, size, size, PATCOPY);
                DrawIconEx(dc, 0, 0, LoadIconW(nullptr, MAKEINTRESOURCEW(32513 + kind)), size, size, 0, nullptr,
                           DI_NORMAL);
                int same = 0;
                for (int i = 0; i < size * size; ++i)
                    same += GetPixel(dc, i % size, i / size) == GetPixel(screen, at.left + i % size, at.top + i / size);
                if (same > most) most = same, best = kind;
            }
            return best >= 0;
        },
        2s);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return static_cast<Icon>(best + 1);
}

std::optional<Box> waitForBox(DWORD pid, Millis timeout) {
    HWND box = waitForWindow(pid, L"#32770", timeout);
    if (!box) return std::nullopt;
    // Windows and Wine both give the message text the static id 0xFFFF.
    return Box{box, GetWindow(box, GW_OWNER), textOf(box), textOf(GetDlgItem(box, 0xFFFF)), iconOf(box)};
}

bool answer(const Box& box, int button) {
    postClick(GetDlgItem(box.window, button));
    return waitUntil([&] { return !IsWindow(box.window); }, 5s);
}

Process::~Process() {
    kill();
    CloseHandle(info.hThread), CloseHandle(info.hProcess);
}

std::optional<DWORD> Process::waitForExit(Millis timeout) const {
    DWORD code = 0;
    const bool ended = WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
    return ended && GetExitCodeProcess(info.hProcess, &code) ? std::optional(code) : std::nullopt;
}

bool Process::kill() {
    const bool ran = WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
    if (ran) TerminateProcess(info.hProcess, 0xDEAD), WaitForSingleObject(info.hProcess, 10000);
    return ran;
}

std::unique_ptr<Process> startProcess(const std::wstring& exe, const Env& env, const std::wstring& folder, WORD show) {
    Env saved; // the child inherits this environment, changed for the moment
    for (const auto& [name, value] : env) {
        std::wstring old(32767, L'\0');
        old.resize(GetEnvironmentVariableW(name.c_str(), old.data(), 32767));
        saved.emplace(saved.begin(), name, old.empty() ? std::nullopt : std::optional(old));
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup, startup.dwFlags = STARTF_USESHOWWINDOW, startup.wShowWindow = show;
    auto process = std::make_unique<Process>();
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process->info);
    for (const auto& [name, value] : saved) SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    if (!started) throw std::runtime_error("cannot start " + utf8(exe));
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
    ~DebugListener() {
        SetEvent(stop);
        thread.join();
        UnmapViewOfFile(view);
        for (HANDLE handle : {buffer, ready, data, stop}) CloseHandle(handle);
    }
    std::vector<std::pair<DWORD, std::string>> all() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
};

Session::Session(const std::wstring& binFolder) {
    static int serial = 0;
    root_ = (fs::temp_directory_path() / L"lumibrel-").wstring() + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++serial);
    makeFolders(programFile(languageCode()));
    makeFolders(localAppData());
    for (const wchar_t* name : {L"Lumibrel.exe", L"Cellvane.dll"})
        if (!CopyFileW(join(binFolder, name).c_str(), programFile(name).c_str(), FALSE))
            throw std::runtime_error("cannot copy the program");
    debug_ = std::make_unique<DebugListener>();
    if (!debug_->view) throw std::runtime_error("cannot listen to debug output");
}

Session::~Session() {
    processes_.clear(), other_.reset(), debug_.reset();
    removeTree(root_);
}

void Session::writeLanguageFile(std::wstring_view text) const {
    writeText(programFile(languageCode() + L"\\Cellvane.ini"), text);
}

void Session::writeSettings(std::wstring_view text) const {
    removeTree(join(localAppData(), L"Cellvane"));
    makeFolders(settingsFolder());
    writeText(settingsPath(), text);
}

Process& Session::start(Env env, WORD show) {
    env.insert(env.begin(), {{L"LOCALAPPDATA", localAppData()}, {L"CELLVANE_SIM_JOURNAL", journalPath()}});
    return *processes_.emplace_back(startProcess(programFile(L"Lumibrel.exe"), env, root_, show));
}

HWND Session::mainWindow(const Process& program, size_t count) const {
    HWND window = waitForWindow(program.pid(), LUMIBREL_MAIN_WINDOW_CLASS);
    return window && waitUntil([&] { return applies(program) >= count; }) ? window : nullptr;
}

HWND Session::createdWindow(const Process& program, Millis timeout) const {
    std::vector<HWND> found;
    waitUntil([&] { return !(found = windowsOf(program.pid(), LUMIBREL_MAIN_WINDOW_CLASS, false)).empty(); }, timeout);
    return found.empty() ? nullptr : found.front();
}

std::vector<std::string> Session::debugLines(const Process& program) const {
    std::vector<std::string> lines;
    for (auto& [pid, line] : debug_->all())
        if (pid == program.pid()) lines.push_back(std::move(line));
    return lines;
}

size_t Session::applies(const Process& program) const {
    return static_cast<size_t>(std::ranges::count_if(
        debugLines(program), [](const std::string& line) { return line.starts_with("Lumibrel: WM_APP_API_APPLY"); }));
}

bool Session::waitForApplies(const Process& program, size_t count) const {
    size_t seen = 0;
    waitUntil([&] { return (seen = applies(program)) >= count; });
    return seen == count;
}

std::vector<std::string> Session::journal() const { return splitLines(readBytes(journalPath())); }

std::optional<DWORD> Session::exit(Process& program, Millis timeout) {
    HWND window = createdWindow(program, 5s);
    if (window) postClick(GetDlgItem(window, IDC_EXIT));
    std::optional<DWORD> code;
    waitUntil(
        [&] {
            for (HWND box : windowsOf(program.pid(), L"#32770"))
                postClick(GetDlgItem(box, IDYES) ? GetDlgItem(box, IDYES) : GetDlgItem(box, IDOK));
            return (code = program.waitForExit(0ms)).has_value();
        },
        window ? timeout : 0ms);
    if (!code) program.kill();
    return code;
}

HWND Session::otherProgramInFront() {
    if (!other_) other_ = startProcess(L"C:\\windows\\system32\\notepad.exe");
    HWND window = waitForWindow(other_->pid(), L"Notepad", 10s);
    return window && toFront(window) ? window : nullptr;
}

std::string Session::dump() const {
    std::string text = "Debug output:\n";
    for (const auto& [pid, line] : debug_->all()) text += std::to_string(pid) + "> " + line + "\n";
    return text + "Journal:\n" + readBytes(journalPath());
}

} // namespace driver
