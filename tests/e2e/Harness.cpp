#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <future>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace e2e {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// Owns a kernel handle for the length of one function.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle()
    {
        if (valid()) CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

LRESULT sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                        Millis timeout = 5s)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             static_cast<UINT>(timeout.count()), &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

bool equalNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::string> splitLines(const std::string& bytes, bool keepIncompleteLast)
{
    std::vector<std::string> lines;
    size_t start = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            if (keepIncompleteLast) lines.push_back(bytes.substr(start));
            break;
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text and time

std::string toUtf8(std::wstring_view text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(std::string_view text)
{
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

bool contains(std::wstring_view text, std::wstring_view part)
{
    return text.find(part) != std::wstring_view::npos;
}

void pumpMessagesFor(Millis duration)
{
    const auto deadline = Clock::now() + duration;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto now = Clock::now();
        if (now >= deadline) return;
        const auto left = std::chrono::duration_cast<Millis>(deadline - now);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()) + 1,
                                  QS_ALLINPUT);
    }
}

bool waitUntil(const std::function<bool()>& condition, Millis timeout, Millis interval)
{
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        if (condition()) return true;
        pumpMessagesFor(interval);
    }
    return condition();
}

// ---------------------------------------------------------------------------
// Files and folders

std::wstring testBinaryFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) fail("GetModuleFileNameW failed");
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring joinPath(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty()) return name;
    if (folder.back() == L'\\' || folder.back() == L'/') return folder + name;
    return folder + L'\\' + name;
}

bool fileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readFileBytes(const std::wstring& path)
{
    // The program or the component may be writing the file right now.
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return {};
    std::string bytes;
    char chunk[16384];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

void copyFileOrFail(const std::wstring& from, const std::wstring& to)
{
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        fail("cannot copy " + toUtf8(from) + " to " + toUtf8(to));
    }
}

void writeTextFile(const std::wstring& path, std::wstring_view text, TextEncoding encoding)
{
    std::string bytes;
    switch (encoding) {
    case TextEncoding::Utf8WithBom:
        bytes = "\xEF\xBB\xBF";
        [[fallthrough]];
    case TextEncoding::Utf8:
        bytes += toUtf8(text);
        break;
    case TextEncoding::Utf16LeWithBom:
        bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        break;
    }
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) fail("cannot create " + toUtf8(path));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        fail("cannot write " + toUtf8(path));
    }
}

TempFolder::TempFolder()
{
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) fail("GetTempPathW failed");
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = joinPath(
            base, L"lumibrel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    fail("cannot create a temporary folder");
}

TempFolder::~TempFolder()
{
    removeFolderTree(path_);
}

std::wstring TempFolder::subfolder(const std::wstring& name) const
{
    std::wstring folder = file(name);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fail("cannot create " + toUtf8(folder));
    }
    return folder;
}

void removeFolderTree(const std::wstring& path)
{
    if (path.empty()) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(joinPath(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring entry = joinPath(path, name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeFolderTree(entry);
            } else {
                SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
                // A program that just ended may still hold the file a moment.
                for (int attempt = 0; attempt < 20 && !DeleteFileW(entry.c_str()); ++attempt) {
                    Sleep(50);
                }
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    for (int attempt = 0; attempt < 20 && !RemoveDirectoryW(path.c_str()); ++attempt) Sleep(50);
}

ProgramFolder::ProgramFolder(const std::wstring& path, bool withComponent) : path_(path)
{
    if (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fail("cannot create " + toUtf8(path_));
    }
    const std::wstring bin = testBinaryFolder();
    copyFileOrFail(joinPath(bin, L"Lumibrel.exe"), exePath());
    if (withComponent) copyFileOrFail(joinPath(bin, L"Cellvane.dll"), file(L"Cellvane.dll"));
}

void ProgramFolder::writeFile(const std::wstring& name, std::wstring_view text,
                              TextEncoding encoding) const
{
    writeTextFile(file(name), text, encoding);
}

void ProgramFolder::removeFile(const std::wstring& name) const
{
    if (!DeleteFileW(file(name).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        fail("cannot delete " + toUtf8(file(name)));
    }
}

// ---------------------------------------------------------------------------
// Processes

LaunchOptions& LaunchOptions::set(std::wstring name, std::wstring value)
{
    environment.emplace_back(std::move(name), std::move(value));
    return *this;
}

LaunchOptions& LaunchOptions::remove(std::wstring name)
{
    environment.emplace_back(std::move(name), std::nullopt);
    return *this;
}

bool LaunchOptions::mentions(const std::wstring& name) const
{
    return std::any_of(environment.begin(), environment.end(),
                       [&](const auto& entry) { return equalNoCase(entry.first, name); });
}

std::vector<wchar_t> makeEnvironmentBlock(const LaunchOptions& options)
{
    std::vector<std::pair<std::wstring, std::wstring>> variables;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            std::wstring text = entry;
            // Names such as "=C:" start with '=': the separator is a later one.
            size_t equals = text.find(L'=', 1);
            if (equals == std::wstring::npos) continue;
            variables.emplace_back(text.substr(0, equals), text.substr(equals + 1));
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : options.environment) {
        auto existing = std::find_if(variables.begin(), variables.end(),
                                     [&](const auto& v) { return equalNoCase(v.first, name); });
        if (existing != variables.end()) variables.erase(existing);
        if (value) variables.emplace_back(name, *value);
    }
    std::sort(variables.begin(), variables.end(), [](const auto& a, const auto& b) {
        return CompareStringOrdinal(a.first.c_str(), static_cast<int>(a.first.size()),
                                    b.first.c_str(), static_cast<int>(b.first.size()),
                                    TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> block;
    for (const auto& [name, value] : variables) {
        const std::wstring entry = name + L'=' + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    if (block.empty()) block.push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

Process::Process(HANDLE process, HANDLE thread, DWORD pid, DWORD mainThreadId)
    : process_(process), thread_(thread), pid_(pid), mainThreadId_(mainThreadId)
{
}

Process::~Process()
{
    kill();
    CloseHandle(thread_);
    CloseHandle(process_);
}

bool Process::running() const
{
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::waitForExit(Millis timeout) const
{
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

bool Process::kill()
{
    if (!running()) return false;
    TerminateProcess(process_, 0xDEAD);
    WaitForSingleObject(process_, 10000);
    return true;
}

std::unique_ptr<Process> startProcess(const std::wstring& exePath, const LaunchOptions& options)
{
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    std::vector<wchar_t> environment = makeEnvironmentBlock(options);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(),
                        &startup, &info)) {
        fail("cannot start " + toUtf8(exePath));
    }
    return std::make_unique<Process>(info.hProcess, info.hThread, info.dwProcessId,
                                     info.dwThreadId);
}

ExitWatch watchUntilExit(const Process& process, Millis timeout)
{
    ExitWatch watch;
    auto note = [&] {
        for (HWND window : visibleTopLevelWindows(process.pid())) {
            std::wstring seen = className(window) + L" \"" + windowText(window) + L"\"";
            if (std::find(watch.shownWindows.begin(), watch.shownWindows.end(), seen) ==
                watch.shownWindows.end()) {
                watch.shownWindows.push_back(std::move(seen));
            }
        }
    };
    waitUntil(
        [&] {
            note();
            return !process.running();
        },
        timeout, 10ms);
    watch.exitCode = process.waitForExit(0ms);
    return watch;
}

// ---------------------------------------------------------------------------
// Debug output

namespace {
constexpr DWORD kDbwinBufferSize = 4096;
}

DebugListener::DebugListener()
{
    buffer_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 kDbwinBufferSize, L"DBWIN_BUFFER");
    if (buffer_) view_ = MapViewOfFile(buffer_, FILE_MAP_READ, 0, 0, 0);
    bufferReady_ = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
    dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ready_ = view_ && bufferReady_ && dataReady_ && stop_;
    if (ready_) {
        // The events may outlive a previous listener in a stale state.
        SetEvent(bufferReady_);
        thread_ = std::thread([this] { run(); });
    }
}

DebugListener::~DebugListener()
{
    if (thread_.joinable()) {
        SetEvent(stop_);
        thread_.join();
    }
    if (view_) UnmapViewOfFile(view_);
    for (HANDLE handle : {buffer_, bufferReady_, dataReady_, stop_}) {
        if (handle) CloseHandle(handle);
    }
}

void DebugListener::run()
{
    const HANDLE waits[] = {stop_, dataReady_};
    for (;;) {
        DWORD woken = WaitForMultipleObjects(2, waits, FALSE, 1000);
        if (woken == WAIT_OBJECT_0) return;
        if (woken == WAIT_OBJECT_0 + 1) {
            const auto* bytes = static_cast<const char*>(view_);
            DWORD pid = 0;
            memcpy(&pid, bytes, sizeof pid);
            // GoogleTest reports this process's own failures there as well.
            char text[kDbwinBufferSize - sizeof(DWORD) + 1];
            memcpy(text, bytes + sizeof(DWORD), kDbwinBufferSize - sizeof(DWORD));
            text[kDbwinBufferSize - sizeof(DWORD)] = '\0';
            if (pid != GetCurrentProcessId()) store(pid, text);
        }
        // After an idle second too: a writer killed between taking the
        // buffer and signalling its data would otherwise block every later
        // writer of the prefix.
        SetEvent(bufferReady_);
    }
}

void DebugListener::store(DWORD pid, const char* text)
{
    // The writer hands over ANSI text; keep it as UTF-8 like everything else.
    std::wstring wide;
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size > 1) {
        wide.resize(static_cast<size_t>(size));
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
        wide.resize(static_cast<size_t>(size - 1));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& line : splitLines(toUtf8(wide), true)) {
        lines_.push_back(DebugLine{pid, std::move(line)});
    }
}

std::vector<DebugLine> DebugListener::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<DebugLine> DebugListener::linesOf(DWORD pid) const
{
    std::vector<DebugLine> result;
    for (DebugLine& line : lines()) {
        if (line.pid == pid) result.push_back(std::move(line));
    }
    return result;
}

std::optional<DebugLine> DebugListener::waitForLine(
    const std::function<bool(const DebugLine&)>& match, Millis timeout) const
{
    std::optional<DebugLine> found;
    waitUntil(
        [&] {
            for (const DebugLine& line : lines()) {
                if (match(line)) {
                    found = line;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<DebugLine> DebugListener::waitForLine(DWORD pid, std::string_view prefix,
                                                    Millis timeout) const
{
    return waitForLine(
        [&](const DebugLine& line) { return line.pid == pid && startsWith(line.text, prefix); },
        timeout);
}

std::vector<DebugLine> DebugListener::waitForLines(
    const std::function<bool(const DebugLine&)>& match, size_t count, Millis timeout) const
{
    std::vector<DebugLine> found;
    waitUntil(
        [&] {
            found.clear();
            for (const DebugLine& line : lines()) {
                if (match(line)) found.push_back(line);
            }
            return found.size() >= count;
        },
        timeout);
    return found;
}

std::string DebugListener::dump() const
{
    std::string text;
    for (const DebugLine& line : lines()) {
        text += "[" + std::to_string(line.pid) + "] " + line.text + "\n";
    }
    return text.empty() ? "(no debug output)\n" : text;
}

// ---------------------------------------------------------------------------
// Journal

std::optional<JournalCall> parseJournalLine(std::string_view line)
{
    const size_t open = line.find('(');
    if (open == std::string_view::npos || open == 0) return std::nullopt;
    JournalCall call;
    call.line = std::string(line);
    call.method = std::string(line.substr(0, open));
    if (call.method.find(' ') != std::string::npos) return std::nullopt;
    size_t tidAt = line.rfind(" tid=");
    if (tidAt != std::string_view::npos && tidAt > open) {
        call.tid = static_cast<DWORD>(
            std::strtoul(std::string(line.substr(tidAt + 5)).c_str(), nullptr, 10));
    } else {
        tidAt = line.size();
    }
    size_t argsEnd = tidAt;
    const size_t hrAt = line.rfind(" hr=", tidAt);
    if (hrAt != std::string_view::npos && hrAt > open) {
        call.hr = static_cast<HRESULT>(
            std::strtoul(std::string(line.substr(hrAt + 4, tidAt - hrAt - 4)).c_str(), nullptr, 16));
        argsEnd = hrAt;
    }
    const size_t close = line.rfind(')', argsEnd);
    if (close == std::string_view::npos || close < open) return std::nullopt;
    call.args = std::string(line.substr(open + 1, close - open - 1));
    return call;
}

std::ostream& operator<<(std::ostream& out, const JournalCall& call)
{
    return out << call.line;
}

std::vector<std::string> Journal::lines() const
{
    return splitLines(readFileBytes(path_), false);
}

std::vector<JournalCall> Journal::calls() const
{
    std::vector<JournalCall> result;
    for (const std::string& line : lines()) {
        if (auto call = parseJournalLine(line)) result.push_back(std::move(*call));
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
    std::vector<JournalCall> result;
    for (JournalCall& call : calls()) {
        if (call.method == method) result.push_back(std::move(call));
    }
    return result;
}

std::optional<JournalCall> Journal::waitForCall(const std::function<bool(const JournalCall&)>& match,
                                                Millis timeout) const
{
    std::optional<JournalCall> found;
    waitUntil(
        [&] {
            for (const JournalCall& call : calls()) {
                if (match(call)) {
                    found = call;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<JournalCall> Journal::waitForCall(std::string_view method, Millis timeout) const
{
    return waitForCall([&](const JournalCall& call) { return call.method == method; }, timeout);
}

bool Journal::waitForCallCount(std::string_view method, size_t count, Millis timeout) const
{
    return waitUntil([&] { return callsTo(method).size() >= count; }, timeout);
}

std::string Journal::text() const
{
    std::string bytes = readFileBytes(path_);
    return bytes.empty() ? "(journal empty or missing)\n" : bytes;
}

// ---------------------------------------------------------------------------
// Windows of another process

std::vector<HWND> topLevelWindows(DWORD pid, const wchar_t* wantedClass)
{
    struct Search {
        DWORD pid;
        const wchar_t* wantedClass;
        std::vector<HWND> found;
    } search{pid, wantedClass, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid && (!s.wantedClass || className(window) == s.wantedClass)) {
                s.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> visibleTopLevelWindows(DWORD pid)
{
    std::vector<HWND> visible;
    for (HWND window : topLevelWindows(pid)) {
        if (IsWindowVisible(window)) visible.push_back(window);
    }
    return visible;
}

HWND findTopLevelWindow(DWORD pid, const wchar_t* wantedClass)
{
    std::vector<HWND> found = topLevelWindows(pid, wantedClass);
    return found.empty() ? nullptr : found.front();
}

HWND waitForWindow(DWORD pid, const wchar_t* wantedClass, Millis timeout)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findTopLevelWindow(pid, wantedClass)) != nullptr; }, timeout);
    return found;
}

HWND waitForVisibleWindow(DWORD pid, const wchar_t* wantedClass, Millis timeout)
{
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND window : topLevelWindows(pid, wantedClass)) {
                if (IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool waitForHidden(HWND window, Millis timeout)
{
    return waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

bool waitForGone(HWND window, Millis timeout)
{
    return waitUntil([&] { return !IsWindow(window); }, timeout);
}

HWND child(HWND parent, int id)
{
    return parent ? GetDlgItem(parent, id) : nullptr;
}

std::wstring className(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring windowText(HWND window)
{
    // WM_GETTEXT is marshalled across processes, unlike a control's text
    // through GetWindowTextW.
    LRESULT length = sendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = sendWithTimeout(window, WM_GETTEXT, text.size(),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

int controlId(HWND window)
{
    return GetDlgCtrlID(window);
}

int checkState(HWND checkBox)
{
    return static_cast<int>(sendWithTimeout(checkBox, BM_GETCHECK, 0, 0));
}

bool isChecked(HWND checkBox)
{
    return checkState(checkBox) == BST_CHECKED;
}

DWORD windowThreadId(HWND window)
{
    return GetWindowThreadProcessId(window, nullptr);
}

HWND focusedWindow(DWORD guiThreadId)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(guiThreadId, &info)) return nullptr;
    return info.hwndFocus;
}

HWND focusedWindowOf(HWND anyWindowOfThatThread)
{
    return focusedWindow(windowThreadId(anyWindowOfThatThread));
}

int comboCount(HWND combo)
{
    return static_cast<int>(sendWithTimeout(combo, CB_GETCOUNT, 0, 0));
}

int comboSelection(HWND combo)
{
    return static_cast<int>(sendWithTimeout(combo, CB_GETCURSEL, 0, 0));
}

std::wstring comboItemText(HWND combo, int index)
{
    LRESULT length = sendWithTimeout(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = sendWithTimeout(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::vector<std::wstring> comboItems(HWND combo)
{
    std::vector<std::wstring> items;
    const int count = comboCount(combo);
    for (int i = 0; i < count; ++i) items.push_back(comboItemText(combo, i));
    return items;
}

void chooseComboItem(HWND combo, int index)
{
    sendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    sendWithTimeout(GetParent(combo), WM_COMMAND,
                    MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(combo)), CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(combo));
}

bool chooseComboItem(HWND combo, const std::wstring& text)
{
    std::vector<std::wstring> items = comboItems(combo);
    auto found = std::find(items.begin(), items.end(), text);
    if (found == items.end()) return false;
    chooseComboItem(combo, static_cast<int>(found - items.begin()));
    return true;
}

bool click(HWND button, Millis timeout)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL,
                               static_cast<UINT>(timeout.count()), &result) != 0;
}

void postClick(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool bringToFront(HWND window, Millis timeout)
{
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    return waitUntil(
        [&] {
            if (GetForegroundWindow() == window) return true;
            if (!SetForegroundWindow(window)) {
                // Windows lets the process that last had input move the
                // foreground; a key of our own makes that us.
                INPUT alt[2]{};
                alt[0].type = alt[1].type = INPUT_KEYBOARD;
                alt[0].ki.wVk = alt[1].ki.wVk = VK_MENU;
                alt[1].ki.dwFlags = KEYEVENTF_KEYUP;
                SendInput(2, alt, sizeof(INPUT));
                SetForegroundWindow(window);
            }
            return false;
        },
        timeout, 50ms);
}

// ---------------------------------------------------------------------------
// Message boxes

std::ostream& operator<<(std::ostream& out, BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None: return out << "no icon";
    case BoxIcon::Error: return out << "error icon";
    case BoxIcon::Warning: return out << "warning icon";
    case BoxIcon::Information: return out << "information icon";
    case BoxIcon::Question: return out << "question icon";
    case BoxIcon::Unknown: return out << "unrecognised icon";
    }
    return out;
}

std::vector<HWND> messageBoxes(DWORD pid)
{
    std::vector<HWND> boxes;
    for (HWND window : topLevelWindows(pid, L"#32770")) {
        if (IsWindowVisible(window)) boxes.push_back(window);
    }
    return boxes;
}

std::optional<MessageBoxView> waitForMessageBox(DWORD pid, Millis timeout)
{
    HWND box = nullptr;
    waitUntil(
        [&] {
            std::vector<HWND> boxes = messageBoxes(pid);
            box = boxes.empty() ? nullptr : boxes.front();
            return box != nullptr;
        },
        timeout);
    if (!box) return std::nullopt;
    return readMessageBox(box);
}

MessageBoxView readMessageBox(HWND box)
{
    MessageBoxView view;
    view.window = box;
    view.caption = windowText(box);
    // Both Windows and Wine give the message text the static id 0xFFFF.
    view.text = windowText(GetDlgItem(box, 0xFFFF));
    view.icon = messageBoxIcon(box);
    return view;
}

namespace {

HWND iconStatic(HWND box)
{
    for (HWND control = GetWindow(box, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (className(control) == L"Static" &&
            (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return control;
        }
    }
    return nullptr;
}

// A top-down 32-bit bitmap to draw into and read back.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    bool valid() const { return bits_ != nullptr; }
    void fill(COLORREF colour)
    {
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    uint32_t pixel(int x, int y) const
    {
        GdiFlush();
        return static_cast<const uint32_t*>(bits_)[y * width_ + x] & 0xFFFFFF;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

// Share of the icon's opaque pixels that the screen shows unchanged.
double iconLikeness(const Canvas& screen, int width, int height, HICON icon)
{
    Canvas onBlack(width, height);
    Canvas onWhite(width, height);
    onBlack.fill(RGB(0, 0, 0));
    onWhite.fill(RGB(255, 255, 255));
    DrawIconEx(onBlack.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    int opaque = 0;
    int same = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = onBlack.pixel(x, y);
            if (colour != onWhite.pixel(x, y)) continue;
            ++opaque;
            if (colour == screen.pixel(x, y)) ++same;
        }
    }
    return opaque == 0 ? 0.0 : static_cast<double>(same) / opaque;
}

}  // namespace

BoxIcon messageBoxIcon(HWND box)
{
    HWND control = iconStatic(box);
    if (!control || !IsWindowVisible(control)) return BoxIcon::None;
    const auto shown = reinterpret_cast<HICON>(sendWithTimeout(control, STM_GETICON, 0, 0));
    if (!shown || shown == reinterpret_cast<HICON>(-1)) return BoxIcon::None;

    const std::pair<BoxIcon, HICON> candidates[] = {
        {BoxIcon::Error, LoadIconW(nullptr, IDI_ERROR)},
        {BoxIcon::Warning, LoadIconW(nullptr, IDI_WARNING)},
        {BoxIcon::Information, LoadIconW(nullptr, IDI_INFORMATION)},
        {BoxIcon::Question, LoadIconW(nullptr, IDI_QUESTION)},
    };
    // Where the system shares its icons between processes, the handle says it.
    for (const auto& [kind, icon] : candidates) {
        if (icon == shown) return kind;
    }
    // Otherwise (Wine keeps icons per process) compare what the box shows on
    // screen with each system icon drawn here.
    RECT client;
    GetClientRect(control, &client);
    const int width = std::min<int>(client.right, GetSystemMetrics(SM_CXICON));
    const int height = std::min<int>(client.bottom, GetSystemMetrics(SM_CYICON));
    if (width <= 0 || height <= 0) return BoxIcon::Unknown;
    BoxIcon best = BoxIcon::Unknown;
    double bestLikeness = 0.9;   // anything less is some other picture
    waitUntil(
        [&] {
            POINT origin{0, 0};
            ClientToScreen(control, &origin);
            Canvas screen(width, height);
            HDC screenDc = GetDC(nullptr);
            BitBlt(screen.dc(), 0, 0, width, height, screenDc, origin.x, origin.y, SRCCOPY);
            ReleaseDC(nullptr, screenDc);
            for (const auto& [kind, icon] : candidates) {
                const double likeness = iconLikeness(screen, width, height, icon);
                if (likeness > bestLikeness) {
                    bestLikeness = likeness;
                    best = kind;
                }
            }
            return best != BoxIcon::Unknown;
        },
        2s, 100ms);   // a box just shown may not be painted yet
    return best;
}

bool dismissMessageBox(HWND box, int buttonId, Millis timeout)
{
    HWND button = GetDlgItem(box, buttonId);
    if (!button) return false;
    postClick(button);
    return waitForGone(box, timeout);
}

// ---------------------------------------------------------------------------
// INI files

namespace {

// The profile readers return size - 2 when the buffer was too small.
std::vector<wchar_t> readProfileList(const std::function<DWORD(wchar_t*, DWORD)>& read)
{
    std::vector<wchar_t> buffer(4096);
    for (;;) {
        DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length + 2 < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::vector<std::wstring> splitNullList(const std::vector<wchar_t>& list)
{
    std::vector<std::wstring> items;
    for (size_t start = 0; start < list.size();) {
        std::wstring item(list.data() + start);
        if (item.empty()) break;
        start += item.size() + 1;
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

IniFile readIni(const std::wstring& path)
{
    IniFile file;
    auto names = readProfileList([&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileSectionNamesW(buffer, size, path.c_str());
    });
    for (std::wstring& name : splitNullList(names)) {
        auto lines = readProfileList([&](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionW(name.c_str(), buffer, size, path.c_str());
        });
        file.push_back(IniSection{std::move(name), splitNullList(lines)});
    }
    return file;
}

std::optional<std::wstring> readIniValue(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key)
{
    const wchar_t* const missing = L"\x01(missing)\x01";
    std::vector<wchar_t> buffer(4096);
    GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, buffer.data(),
                             static_cast<DWORD>(buffer.size()), path.c_str());
    std::wstring value = buffer.data();
    if (value == missing) return std::nullopt;
    return value;
}

void PrintTo(const IniSection& section, std::ostream* out)
{
    *out << "[" << toUtf8(section.name) << "]";
    for (const std::wstring& line : section.lines) *out << " " << toUtf8(line) << ";";
}

// ---------------------------------------------------------------------------
// Keyboard

namespace {

bool isExtendedKey(WORD key)
{
    switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_INSERT: case VK_DELETE: case VK_RMENU: case VK_RCONTROL:
        return true;
    default:
        return false;
    }
}

INPUT keyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (isExtendedKey(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // Give the program's thread the keys before the next step looks.
    pumpMessagesFor(50ms);
}

}  // namespace

void pressKey(WORD virtualKey)
{
    send({keyInput(virtualKey, false), keyInput(virtualKey, true)});
}

void pressKeyWith(std::initializer_list<WORD> modifiers, WORD virtualKey)
{
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) inputs.push_back(keyInput(modifier, false));
    inputs.push_back(keyInput(virtualKey, false));
    inputs.push_back(keyInput(virtualKey, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
        inputs.push_back(keyInput(*it, true));
    }
    send(std::move(inputs));
}

void typeText(std::wstring_view text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    send(std::move(inputs));
}

OwnWindow::OwnWindow()
{
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread([this, &created] {
        threadId_ = GetCurrentThreadId();
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) -> LRESULT {
            if (message == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LumibrelE2eOwnWindow";
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        RegisterClassW(&windowClass);   // fails harmlessly when already registered
        HWND hwnd = CreateWindowExW(0, windowClass.lpszClassName, L"Lumibrel e2e helper",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 160, 80, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
        created.set_value(hwnd);
        if (!hwnd) return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    });
    window_ = window.get();
}

OwnWindow::~OwnWindow()
{
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
}

namespace {
constexpr int kHeldHotKeyId = 0x4C42;
}

HotKeyHolder::HotKeyHolder(UINT modifiers, UINT virtualKey)
    : registered_(RegisterHotKey(nullptr, kHeldHotKeyId, modifiers, virtualKey) != 0)
{
}

HotKeyHolder::~HotKeyHolder()
{
    if (registered_) UnregisterHotKey(nullptr, kHeldHotKeyId);
}

// ---------------------------------------------------------------------------
// Fixture

void ProgramTest::SetUp()
{
    // A program left over from an earlier run would hold the single-instance
    // mutex and turn every start here into a second instance.
    HWND leftover = FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr);
    ASSERT_EQ(leftover, nullptr) << "another Lumibrel is already running in this session";
    temp_ = std::make_unique<TempFolder>();
    temp_->subfolder(L"LocalAppData");
    programFolder_ = std::make_unique<ProgramFolder>(temp_->subfolder(L"Program"), true);
    debug_ = std::make_unique<DebugListener>();
    ASSERT_TRUE(debug_->ready()) << "cannot listen to debug output (DBWIN_BUFFER)";
}

void ProgramTest::TearDown()
{
    for (const auto& process : processes_) {
        if (process->kill()) {
            ADD_FAILURE() << "Lumibrel (pid " << process->pid()
                          << ") was still running at the end of the test and was killed";
        }
    }
    if (HasFailure() && debug_) {
        std::cout << "Debug output:\n" << debug_->dump();
        std::cout << "Journal:\n" << journal().text();
    }
    processes_.clear();
    debug_.reset();
    programFolder_.reset();
    temp_.reset();
}

Process& ProgramTest::start(LaunchOptions options)
{
    if (!options.mentions(L"LOCALAPPDATA")) options.set(L"LOCALAPPDATA", localAppData());
    if (!options.mentions(L"CELLVANE_SIM_JOURNAL")) {
        options.set(L"CELLVANE_SIM_JOURNAL", journalPath());
    }
    // Started from elsewhere, so the program has to find its own folder.
    if (options.workingFolder.empty()) options.workingFolder = temp_->path();
    processes_.push_back(startProcess(programFolder_->exePath(), options));
    return *processes_.back();
}

HWND ProgramTest::mainWindow(const Process& process, Millis timeout) const
{
    return waitForWindow(process.pid(), LUMIBREL_MAIN_WINDOW_CLASS, timeout);
}

HWND ProgramTest::visibleMainWindow(const Process& process, Millis timeout) const
{
    return waitForVisibleWindow(process.pid(), LUMIBREL_MAIN_WINDOW_CLASS, timeout);
}

bool ProgramTest::waitForStartupApply(const Process& process, Millis timeout) const
{
    return debug_->waitForLine(process.pid(), "Lumibrel: WM_APP_API_APPLY total elapsed", timeout)
        .has_value();
}

std::optional<DWORD> ProgramTest::exitWithExitButton(Process& process, Millis timeout)
{
    HWND window = mainWindow(process, 5s);
    if (!window) {
        ADD_FAILURE() << "no main window to click Exit in";
        process.kill();
        return std::nullopt;
    }
    postClick(child(window, IDC_EXIT));
    std::optional<DWORD> code = process.waitForExit(timeout);
    if (!code) {
        ADD_FAILURE() << "Lumibrel did not end within " << timeout.count()
                      << " ms of Exit; killed";
        process.kill();
    }
    return code;
}

}  // namespace e2e
