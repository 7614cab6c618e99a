#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

std::vector<std::string> splitLines(std::string_view bytes, bool keepIncompleteLast)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; start < bytes.size() && end != bytes.npos; start = end + 1) {
        end = bytes.find('\n', start);
        if (end == bytes.npos && !keepIncompleteLast) break;
        std::string line(bytes.substr(start, end - start));
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::string toUtf8(std::wstring_view text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

void pumpMessagesFor(Millis duration)
{
    for (const auto deadline = Clock::now() + duration;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}

bool waitUntil(const std::function<bool()>& condition, Millis timeout, Millis interval)
{
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline; pumpMessagesFor(interval)) {
        if (condition()) return true;
    }
    return condition();
}

// Files
std::wstring joinPath(const std::wstring& folder, const std::wstring& name)
{
    return folder.ends_with(L'\\') ? folder + name : folder + L'\\' + name;
}

std::string readFileBytes(const std::wstring& path)
{
    // The program or the component may be writing the file right now.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char chunk[16384];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return bytes;
}

void writeFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (!CloseHandle(file) || !ok || written != bytes.size()) fail("cannot write " + toUtf8(path));
}

std::string utf16(std::wstring_view text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes.append({static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)});
    return bytes;
}

void putFiles(const std::wstring& folder, const std::vector<std::wstring>& names)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : names) {
        if (name.ends_with(L'\\')) CreateDirectoryW(joinPath(folder, name).c_str(), nullptr);
        else writeFileBytes(joinPath(folder, name), "");
    }
}

void removeFolderTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(joinPath(path, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;   // no such folder
    for (bool more = true; more; more = FindNextFileW(search, &found)) {
        const std::wstring name = found.cFileName, entry = joinPath(path, name);
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeFolderTree(entry);
            continue;
        }
        SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A program that just ended may still hold the file a moment.
        for (int attempt = 0; attempt < 20 && !DeleteFileW(entry.c_str()); ++attempt) Sleep(50);
    }
    FindClose(search);
    for (int attempt = 0; attempt < 20 && !RemoveDirectoryW(path.c_str()); ++attempt) Sleep(50);
}

std::wstring languageCode()
{
    wchar_t code[4] = {};
    GetLocaleInfoW(GetUserDefaultUILanguage(), LOCALE_SABBREVLANGNAME, code, 4);
    return code;
}

// Processes
Process::~Process()
{
    kill();
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

std::optional<DWORD> Process::waitForExit(Millis timeout) const
{
    DWORD code = 0;
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(info_.hProcess, &code)) {
        return std::nullopt;
    }
    return code;
}

bool Process::kill()
{
    if (!running()) return false;
    TerminateProcess(info_.hProcess, 0xDEAD);
    WaitForSingleObject(info_.hProcess, 10000);
    return true;
}

std::unique_ptr<Process> startProcess(const std::wstring& exePath, const LaunchOptions& options,
                                      const std::wstring& workingFolder)
{
    // The child inherits this process's environment, changed for the moment.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved;
    for (const auto& [name, value] : options.environment) {
        std::wstring old(32767, L'\0');
        old.resize(GetEnvironmentVariableW(name.c_str(), old.data(), 32767));
        saved.emplace_back(name, old.empty() ? std::nullopt : std::optional(old));
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    std::wstring commandLine = L"\"" + exePath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info);
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
        SetEnvironmentVariableW(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
    if (!started) fail("cannot start " + toUtf8(exePath));
    return std::make_unique<Process>(info);
}

ExitWatch watchUntilExit(const Process& process, Millis timeout)
{
    ExitWatch watch;
    waitUntil(
        [&] {
            for (HWND window : topLevelWindows(process.pid(), nullptr, true)) {
                std::wstring seen = className(window) + L" \"" + windowText(window) + L"\"";
                if (std::ranges::find(watch.shownWindows, seen) == watch.shownWindows.end()) {
                    watch.shownWindows.push_back(std::move(seen));
                }
            }
            return !process.running();
        },
        timeout, 10ms);
    watch.exitCode = process.waitForExit(0ms);
    return watch;
}

// Debug output (OutputDebugString) of other processes, through DBWIN_BUFFER:
// one listener at a time per Wine prefix.
class DebugListener {
public:
    DebugListener();
    ~DebugListener()
    {
        SetEvent(stop_);
        thread_.join();
        UnmapViewOfFile(view_);
        for (HANDLE handle : {buffer_, bufferReady_, dataReady_, stop_}) CloseHandle(handle);
    }
    std::vector<std::string> linesOf(DWORD pid) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> result;
        for (const auto& [from, text] : lines_) {
            if (from == pid) result.push_back(text);
        }
        return result;
    }
    std::string dump() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string text;
        for (const auto& [pid, line] : lines_) text += std::to_string(pid) + "> " + line + "\n";
        return text.empty() ? "(no debug output)\n" : text;
    }

private:
    HANDLE buffer_ = nullptr, bufferReady_ = nullptr, dataReady_ = nullptr, stop_ = nullptr;
    const char* view_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::pair<DWORD, std::string>> lines_;
    std::thread thread_;
};

DebugListener::DebugListener()
{
    constexpr DWORD size = 4096;
    buffer_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, L"DBWIN_BUFFER");
    if (buffer_) view_ = static_cast<const char*>(MapViewOfFile(buffer_, FILE_MAP_READ, 0, 0, 0));
    bufferReady_ = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
    dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!view_ || !bufferReady_ || !dataReady_ || !stop_) fail("cannot listen to debug output (DBWIN_BUFFER)");
    // The event may outlive a previous listener in a stale state.
    SetEvent(bufferReady_);
    thread_ = std::thread([this] {
        const HANDLE waits[] = {stop_, dataReady_};
        for (DWORD woken; (woken = WaitForMultipleObjects(2, waits, FALSE, 1000)) != WAIT_OBJECT_0;) {
            DWORD pid = 0;
            memcpy(&pid, view_, sizeof pid);
            // GoogleTest reports this process's own failures there as well.
            if (woken == WAIT_OBJECT_0 + 1 && pid != GetCurrentProcessId()) {
                const std::string_view text(view_ + sizeof pid, strnlen(view_ + sizeof pid, size - sizeof pid));
                std::lock_guard<std::mutex> lock(mutex_);
                for (std::string& line : splitLines(text, true)) lines_.emplace_back(pid, std::move(line));
            }
            // After an idle second too: a writer killed between taking the
            // buffer and signalling its data would block every later writer.
            SetEvent(bufferReady_);
        }
    });
}

// Journal
std::vector<std::string> Journal::lines() const
{
    return splitLines(readFileBytes(path_), false);
}

std::vector<JournalCall> Journal::calls() const
{
    std::vector<JournalCall> result;
    for (const std::string& line : lines()) {
        // Arguments may hold quoted brackets: hr and tid are found from the end.
        const size_t open = line.find('(');
        if (open == std::string::npos || open == 0 || line.find(' ') < open) continue;
        JournalCall call{line.substr(0, open), {}, std::nullopt, 0};
        size_t end = line.size();
        if (const size_t at = line.rfind(" tid="); at != std::string::npos && at > open) {
            call.tid = static_cast<DWORD>(std::strtoul(line.c_str() + at + 5, nullptr, 10));
            end = at;
        }
        if (const size_t at = line.rfind(" hr=", end); at != std::string::npos && at > open) {
            call.hr = static_cast<HRESULT>(std::strtoul(line.substr(at + 4, end - at - 4).c_str(), nullptr, 16));
            end = at;
        }
        const size_t close = line.rfind(')', end);
        if (close == std::string::npos || close < open) continue;
        call.args = line.substr(open + 1, close - open - 1);
        result.push_back(std::move(call));
    }
    return result;
}

std::vector<std::string> Journal::methods() const
{
    std::vector<std::string> result;
    for (JournalCall& call : calls()) result.push_back(std::move(call.method));
    return result;
}

std::vector<JournalCall> Journal::callsTo(std::string_view method) const
{
    std::vector<JournalCall> result = calls();
    std::erase_if(result, [&](const JournalCall& call) { return call.method != method; });
    return result;
}

std::optional<JournalCall> Journal::waitForCall(const std::function<bool(const JournalCall&)>& match,
                                                Millis timeout) const
{
    std::optional<JournalCall> found;
    waitUntil(
        [&] {
            for (JournalCall& call : calls()) {
                if (match(call)) return (found = std::move(call)).has_value();
            }
            return false;
        },
        timeout);
    return found;
}

bool Journal::waitForCallCount(std::string_view method, size_t count, Millis timeout) const
{
    return waitUntil([&] { return callsTo(method).size() >= count; }, timeout);
}

std::string Journal::text() const
{
    const std::string bytes = readFileBytes(path_);
    return bytes.empty() ? "(journal empty or missing)\n" : bytes;
}

// Windows of another process
std::vector<HWND> topLevelWindows(DWORD pid, const wchar_t* wantedClass, bool visibleOnly)
{
    std::vector<HWND> found;
    EnumWindows(
        [](HWND window, LPARAM all) {
            reinterpret_cast<std::vector<HWND>*>(all)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    std::erase_if(found, [&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        return owner != pid || (wantedClass && className(window) != wantedClass) ||
               (visibleOnly && !IsWindowVisible(window));
    });
    return found;
}

HWND waitForWindow(DWORD pid, const wchar_t* wantedClass, Millis timeout)
{
    std::vector<HWND> found;
    waitUntil([&] { return !(found = topLevelWindows(pid, wantedClass, true)).empty(); }, timeout);
    return found.empty() ? nullptr : found.front();
}

std::wstring className(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

std::wstring askText(HWND window, UINT lengthMessage, UINT textMessage, WPARAM index)
{
    const LRESULT length = send(window, lengthMessage, index);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = send(window, textMessage, textMessage == WM_GETTEXT ? text.size() : index,
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return text;
}

HWND focusedWindowOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

::testing::AssertionResult waitForFocus(HWND control, Millis timeout)
{
    if (waitUntil([&] { return control && focusedWindowOf(control) == control; }, timeout)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "focus is on control " << controlId(focusedWindowOf(control))
                                         << ", not on " << controlId(control);
}

std::vector<std::wstring> comboItems(HWND combo)
{
    std::vector<std::wstring> items;
    for (int i = 0, count = comboCount(combo); i < count; ++i) items.push_back(comboItemText(combo, i));
    return items;
}

void chooseComboItem(HWND combo, int index)
{
    send(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
    send(GetParent(combo), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(controlId(combo)), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(combo));
}

bool chooseComboItem(HWND combo, const std::wstring& text)
{
    const std::vector<std::wstring> items = comboItems(combo);
    const auto found = std::ranges::find(items, text);
    if (found != items.end()) chooseComboItem(combo, static_cast<int>(found - items.begin()));
    return found != items.end();
}

bool click(HWND button, Millis timeout)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) != 0;
}

bool bringToFront(HWND window, Millis timeout)
{
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    return waitUntil(
        [&] {
            if (GetForegroundWindow() == window) return true;
            if (!SetForegroundWindow(window)) {
                // Only the process that had the last input may move the
                // foreground; a key of our own makes that us.
                pressKey(VK_MENU);
                SetForegroundWindow(window);
            }
            return false;
        },
        timeout, 50ms);
}

// Message boxes
std::ostream& operator<<(std::ostream& out, BoxIcon icon)
{
    const char* const names[] = {"no icon", "error icon", "warning icon", "information icon", "unrecognised icon"};
    return out << names[static_cast<int>(icon)];
}

namespace {

// The pixels (0xRRGGBB, row by row) of the picture that `draw` makes.
std::vector<uint32_t> picture(int width, int height, const std::function<void(HDC)>& draw)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, bitmap);
    draw(dc);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + width * height);
    DeleteDC(dc);
    DeleteObject(bitmap);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

// Wine keeps icons per process, so the box's icon is told by comparing what
// it shows on screen with each system icon drawn here.
BoxIcon messageBoxIcon(HWND box)
{
    HWND control = GetWindow(box, GW_CHILD);
    while (control &&
           (className(control) != L"Static" || (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)) {
        control = GetWindow(control, GW_HWNDNEXT);
    }
    if (!control || !IsWindowVisible(control) || send(control, STM_GETICON) == 0) return BoxIcon::None;

    RECT client;
    GetClientRect(control, &client);
    const int width = std::min<int>(client.right, GetSystemMetrics(SM_CXICON));
    const int height = std::min<int>(client.bottom, GetSystemMetrics(SM_CYICON));
    const auto drawn = [&](const wchar_t* icon, DWORD background) {
        return picture(width, height, [&](HDC dc) {
            PatBlt(dc, 0, 0, width, height, background);
            DrawIconEx(dc, 0, 0, LoadIconW(nullptr, icon), width, height, 0, nullptr, DI_NORMAL);
        });
    };
    const std::pair<BoxIcon, const wchar_t*> candidates[] = {
        {BoxIcon::Error, IDI_ERROR}, {BoxIcon::Warning, IDI_WARNING}, {BoxIcon::Information, IDI_INFORMATION}};
    BoxIcon best = BoxIcon::Unknown;
    double bestLikeness = 0.9;   // share of the icon's opaque pixels shown unchanged; less is another picture
    waitUntil(
        [&] {
            POINT origin{0, 0};
            ClientToScreen(control, &origin);
            const std::vector<uint32_t> screen = picture(width, height, [&](HDC dc) {
                HDC screenDc = GetDC(nullptr);
                BitBlt(dc, 0, 0, width, height, screenDc, origin.x, origin.y, SRCCOPY);
                ReleaseDC(nullptr, screenDc);
            });
            for (const auto& [kind, icon] : candidates) {
                // Opaque pixels come out alike on black and on white.
                const std::vector<uint32_t> onBlack = drawn(icon, BLACKNESS), onWhite = drawn(icon, WHITENESS);
                double opaque = 0, same = 0;
                for (size_t i = 0; i < screen.size(); ++i) {
                    opaque += onBlack[i] == onWhite[i];
                    same += onBlack[i] == onWhite[i] && onBlack[i] == screen[i];
                }
                if (opaque > 0 && same / opaque > bestLikeness) {
                    bestLikeness = same / opaque;
                    best = kind;
                }
            }
            return best != BoxIcon::Unknown;
        },
        2s, 100ms);   // a box just shown may not be painted yet
    return best;
}

}  // namespace

std::optional<MessageBoxView> waitForMessageBox(DWORD pid, Millis timeout)
{
    std::vector<HWND> boxes;
    if (!waitUntil([&] { return !(boxes = messageBoxes(pid)).empty(); }, timeout)) return std::nullopt;
    // Both Windows and Wine give the message text the static id 0xFFFF.
    return MessageBoxView{boxes.front(), windowText(boxes.front()), windowText(GetDlgItem(boxes.front(), 0xFFFF)),
                          messageBoxIcon(boxes.front())};
}

void expectBox(DWORD pid, const std::wstring& text, std::optional<BoxIcon> icon, HWND owner)
{
    const std::optional<MessageBoxView> box = waitForMessageBox(pid);
    ASSERT_TRUE(box) << "no message box saying " << toUtf8(text);
    EXPECT_EQ(box->caption, L"Lumibrel");
    EXPECT_EQ(box->text, text);
    if (icon) {
        EXPECT_EQ(box->icon, *icon) << toUtf8(text);
    }
    if (owner) {
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), owner);
    }
    postClick(GetDlgItem(box->window, IDOK));
    EXPECT_TRUE(waitForGone(box->window, 5s)) << "OK did not close the box";
}

// INI files
namespace {

// Grows the buffer while the reader fills it (it returns size - 2 then), and
// splits the zero-separated list it gives.
std::vector<std::wstring> readProfileList(const std::function<DWORD(wchar_t*, DWORD)>& read)
{
    std::vector<wchar_t> buffer(4096);
    DWORD length;
    while ((length = read(buffer.data(), static_cast<DWORD>(buffer.size()))) + 2 >= buffer.size()) {
        buffer.resize(buffer.size() * 4);
    }
    std::vector<std::wstring> items;
    for (size_t start = 0; start < length && buffer[start]; start += items.back().size() + 1) {
        items.emplace_back(buffer.data() + start);
    }
    return items;
}

}  // namespace

void PrintTo(const IniSection& section, std::ostream* out)
{
    *out << "[" << toUtf8(section.name) << "]";
    for (const std::wstring& line : section.lines) *out << " " << toUtf8(line) << ";";
}

IniFile readIni(const std::wstring& path)
{
    IniFile file;
    for (std::wstring& name : readProfileList([&](wchar_t* buffer, DWORD size) {
             return GetPrivateProfileSectionNamesW(buffer, size, path.c_str());
         })) {
        auto lines = readProfileList([&](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionW(name.c_str(), buffer, size, path.c_str());
        });
        file.push_back(IniSection{std::move(name), std::move(lines)});
    }
    return file;
}

std::optional<std::wstring> readIniValue(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key)
{
    const wchar_t* const missing = L"\x01(missing)\x01";
    wchar_t value[4096];
    GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, value, 4096, path.c_str());
    return std::wstring_view(value) == missing ? std::nullopt : std::optional<std::wstring>(value);
}

IniFile withValue(IniFile file, const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    auto s = std::ranges::find(file, section, &IniSection::name);
    if (s == file.end()) s = file.insert(file.end(), IniSection{section, {}});
    auto line = std::ranges::find_if(s->lines, [&](const std::wstring& l) { return l.starts_with(key + L"="); });
    if (line == s->lines.end()) line = s->lines.insert(line, L"");
    *line = key + L"=" + value;
    return file;
}

// Keyboard
void pressKeyWith(std::initializer_list<WORD> modifiers, WORD virtualKey)
{
    std::vector<INPUT> inputs;
    const auto add = [&](WORD key, bool up) {
        INPUT& input = inputs.emplace_back();
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        const bool extended = (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE;
        input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    };
    for (WORD modifier : modifiers) add(modifier, false);
    add(virtualKey, false);
    add(virtualKey, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) add(*it, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Give the program's thread the keys before the next step looks.
    pumpMessagesFor(50ms);
}

// Fixture
ProgramTest::ProgramTest() = default;
ProgramTest::~ProgramTest() = default;

void ProgramTest::SetUp()
{
    // A program left over from an earlier run would hold the single-instance
    // mutex and turn every start here into a second instance.
    ASSERT_EQ(FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr), nullptr)
        << "another Lumibrel is already running in this session";
    static int serial = 0;
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    temp_ = joinPath(base, L"lumibrel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++serial));
    for (const std::wstring& folder : {temp_, localAppData(), tempFile(L"Program")}) {
        if (!CreateDirectoryW(folder.c_str(), nullptr)) fail("cannot create " + toUtf8(folder));
    }
    wchar_t self[MAX_PATH];
    const std::wstring exe(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    for (const wchar_t* name : {L"Lumibrel.exe", L"Cellvane.dll"}) {
        const std::wstring from = joinPath(exe.substr(0, exe.find_last_of(L'\\')), name);
        if (!CopyFileW(from.c_str(), programFile(name).c_str(), FALSE)) fail("cannot copy " + toUtf8(from));
    }
    debug_ = std::make_unique<DebugListener>();
}

void ProgramTest::TearDown()
{
    for (const auto& process : processes_) {
        if (process->kill()) {
            ADD_FAILURE() << "Lumibrel (pid " << process->pid()
                          << ") was still running at the end of the test and was killed";
        }
    }
    if (HasFailure() && debug_) std::cout << "Debug output:\n" << debug_->dump() << "Journal:\n" << journal().text();
    processes_.clear();
    other_.reset();
    debug_.reset();
    if (!temp_.empty()) removeFolderTree(temp_);
}

Process& ProgramTest::start(LaunchOptions options)
{
    // First, so that the test's own settings win.
    options.environment.insert(options.environment.begin(),
                               {{L"LOCALAPPDATA", localAppData()}, {L"CELLVANE_SIM_JOURNAL", journalPath()}});
    // Started from elsewhere, so the program has to find its own folder.
    processes_.push_back(startProcess(programFile(L"Lumibrel.exe"), options, temp_));
    return *processes_.back();
}

HWND ProgramTest::mainWindow(const Process& process, bool applied) const
{
    HWND window = waitForWindow(process.pid(), LUMIBREL_MAIN_WINDOW_CLASS);
    return window && (!applied || waitUntil([&] { return applyReports(process) > 0; })) ? window : nullptr;
}

std::vector<std::string> ProgramTest::debugLines(const Process& process) const
{
    return debug_->linesOf(process.pid());
}

size_t ProgramTest::applyReports(const Process& process) const
{
    return static_cast<size_t>(std::ranges::count_if(debugLines(process), [](const std::string& line) {
        return line.starts_with("Lumibrel: WM_APP_API_APPLY total elapsed");
    }));
}

bool ProgramTest::waitForApplies(const Process& process, size_t count) const
{
    size_t seen = 0;
    waitUntil([&] { return (seen = applyReports(process)) >= count; });
    return seen == count;
}

std::optional<DWORD> ProgramTest::exitWithExitButton(Process& process, Millis timeout)
{
    std::vector<HWND> windows;   // hidden or not
    waitUntil([&] { return !(windows = topLevelWindows(process.pid(), LUMIBREL_MAIN_WINDOW_CLASS)).empty(); }, 5s);
    if (!windows.empty()) postClick(child(windows.front(), IDC_EXIT));
    const std::optional<DWORD> code = windows.empty() ? std::nullopt : process.waitForExit(timeout);
    if (!code) {
        ADD_FAILURE() << (windows.empty() ? "no main window to click Exit in" : "Lumibrel did not end after Exit")
                      << "; killed";
        process.kill();
    }
    return code;
}

bool ProgramTest::otherProgramInFront()
{
    if (!other_) {
        other_ = startProcess(L"C:\\windows\\system32\\notepad.exe");
        otherWindow_ = waitForWindow(other_->pid(), L"Notepad", 10s);
    }
    return otherWindow_ && bringToFront(otherWindow_);
}

void ProgramTest::freshSettingsFolder() const
{
    removeFolderTree(componentFolder());
    CreateDirectoryW(componentFolder().c_str(), nullptr);
    CreateDirectoryW(joinPath(componentFolder(), languageCode()).c_str(), nullptr);
}

void ProgramTest::writeSettings(std::wstring_view text) const
{
    freshSettingsFolder();
    writeTextFile(settingsPath(), text);
}

void ProgramTest::writeLanguageFile(std::wstring_view text) const
{
    CreateDirectoryW(programFile(languageCode()).c_str(), nullptr);
    writeTextFile(languagePath(), text);
}

}  // namespace e2e
