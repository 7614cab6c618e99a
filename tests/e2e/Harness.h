// End-to-end harness: runs the built Lumibrel.exe with the simulated display
// component from a fresh folder and watches it from outside, as a user or the
// component would: its windows and controls, its debug output, the
// component's journal, the files it writes, its exit code.
//
// Every wait takes a timeout and gives up when it passes, so a program that
// hangs fails its test instead of hanging the suite.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// Long enough for a cold Wine start on a busy machine; a healthy program
// answers far sooner, so only a broken one ever waits this long.
inline constexpr Millis kDefaultTimeout = 15s;

// ---------------------------------------------------------------------------
// Text and time

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool contains(std::string_view text, std::string_view part);
bool contains(std::wstring_view text, std::wstring_view part);

// Polls `condition` every `interval` until it holds or `timeout` passes;
// returns whether it held. The condition is always tried once more at the end.
bool waitUntil(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout,
               Millis interval = 20ms);

// Lets time pass while still answering messages sent to this thread's windows.
void pumpMessagesFor(Millis duration);

// ---------------------------------------------------------------------------
// Files and folders

// The folder of the running test executable, where the build puts
// Lumibrel.exe and Cellvane.dll beside it.
std::wstring testBinaryFolder();
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);
bool fileExists(const std::wstring& path);
std::string readFileBytes(const std::wstring& path);  // empty if missing
void copyFileOrFail(const std::wstring& from, const std::wstring& to);

enum class TextEncoding { Utf8, Utf8WithBom, Utf16LeWithBom };
void writeTextFile(const std::wstring& path, std::wstring_view text,
                   TextEncoding encoding = TextEncoding::Utf16LeWithBom);

// A unique folder under %TEMP%, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return joinPath(path_, name); }
    // Creates (if needed) and returns a subfolder.
    std::wstring subfolder(const std::wstring& name) const;

private:
    std::wstring path_;
};

void removeFolderTree(const std::wstring& path);

// A folder holding a copy of the program and, optionally, the simulated
// component, plus whatever files a test puts beside them.
class ProgramFolder {
public:
    ProgramFolder(const std::wstring& path, bool withComponent);
    const std::wstring& path() const { return path_; }
    std::wstring exePath() const { return joinPath(path_, L"Lumibrel.exe"); }
    std::wstring file(const std::wstring& name) const { return joinPath(path_, name); }
    void writeFile(const std::wstring& name, std::wstring_view text,
                   TextEncoding encoding = TextEncoding::Utf16LeWithBom) const;
    void removeFile(const std::wstring& name) const;

private:
    std::wstring path_;
};

// ---------------------------------------------------------------------------
// Processes

// Environment changes for a child: each name is set to its value, or removed
// when the value is empty (std::nullopt). Later entries win.
struct LaunchOptions {
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment;
    std::wstring arguments;             // appended to the quoted exe path
    std::wstring workingFolder;         // empty: the test's own

    LaunchOptions& set(std::wstring name, std::wstring value);
    LaunchOptions& remove(std::wstring name);
    bool mentions(const std::wstring& name) const;
};

// Builds a CREATE_UNICODE_ENVIRONMENT block: this process's environment with
// the changes applied, sorted as Windows expects.
std::vector<wchar_t> makeEnvironmentBlock(const LaunchOptions& options);

// A started process. The destructor kills it if it still runs, so no
// process outlives the object that started it.
class Process {
public:
    Process(HANDLE process, HANDLE thread, DWORD pid, DWORD mainThreadId);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD pid() const { return pid_; }
    DWORD mainThreadId() const { return mainThreadId_; }
    HANDLE handle() const { return process_; }
    bool running() const;
    // The exit code once the process has ended within `timeout`.
    std::optional<DWORD> waitForExit(Millis timeout = kDefaultTimeout) const;
    // Ends a still running process (TerminateProcess) and waits for it to be
    // gone; returns whether it had still been running.
    bool kill();

private:
    HANDLE process_;
    HANDLE thread_;
    DWORD pid_;
    DWORD mainThreadId_;
};

std::unique_ptr<Process> startProcess(const std::wstring& exePath, const LaunchOptions& options);

// Waits for a process to end while noting every window it shows meanwhile,
// for checks that a process ended without showing anything.
struct ExitWatch {
    std::optional<DWORD> exitCode;              // empty: still running at the deadline
    std::vector<std::wstring> shownWindows;     // "class \"caption\"" of each visible window
};
ExitWatch watchUntilExit(const Process& process, Millis timeout = kDefaultTimeout);

// ---------------------------------------------------------------------------
// Debug output (OutputDebugString), received through the DBWIN_BUFFER protocol.
// One listener at a time per Wine prefix (or Windows session). Lines of the
// test process itself (GoogleTest echoes its failures there) are left out.

struct DebugLine {
    DWORD pid;
    std::string text;   // one line, without its line end
};

class DebugListener {
public:
    DebugListener();
    ~DebugListener();
    DebugListener(const DebugListener&) = delete;
    DebugListener& operator=(const DebugListener&) = delete;

    bool ready() const { return ready_; }
    std::vector<DebugLine> lines() const;
    std::vector<DebugLine> linesOf(DWORD pid) const;
    std::optional<DebugLine> waitForLine(const std::function<bool(const DebugLine&)>& match,
                                         Millis timeout = kDefaultTimeout) const;
    // Waits for a line of process `pid` that starts with `prefix`.
    std::optional<DebugLine> waitForLine(DWORD pid, std::string_view prefix,
                                         Millis timeout = kDefaultTimeout) const;
    // Waits until `count` lines match; returns those seen (maybe fewer).
    std::vector<DebugLine> waitForLines(const std::function<bool(const DebugLine&)>& match,
                                        size_t count, Millis timeout = kDefaultTimeout) const;
    std::string dump() const;   // everything seen, for failure messages

private:
    void run();
    void store(DWORD pid, const char* text);

    HANDLE buffer_ = nullptr;
    const void* view_ = nullptr;
    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE stop_ = nullptr;
    bool ready_ = false;
    mutable std::mutex mutex_;
    std::vector<DebugLine> lines_;
    std::string pending_;
    std::thread thread_;
};

// ---------------------------------------------------------------------------
// The simulated component's journal: one line per call, e.g.
// "Start(0) hr=0x00000000 tid=12".

struct JournalCall {
    std::string line;
    std::string method;          // "Start"
    std::string args;            // "0", "" for none
    std::optional<HRESULT> hr;   // absent on lines such as "Created() tid=7"
    DWORD tid = 0;               // 0 on lines such as "ConfigError(CELLVANE_SIM_DELAY)"
};

std::optional<JournalCall> parseJournalLine(std::string_view line);
std::ostream& operator<<(std::ostream& out, const JournalCall& call);

class Journal {
public:
    explicit Journal(std::wstring path) : path_(std::move(path)) {}
    const std::wstring& path() const { return path_; }
    // Complete lines only: a line still being written is left for later.
    std::vector<std::string> lines() const;
    std::vector<JournalCall> calls() const;
    std::vector<std::string> methods() const;
    std::vector<JournalCall> callsTo(std::string_view method) const;
    std::optional<JournalCall> waitForCall(const std::function<bool(const JournalCall&)>& match,
                                           Millis timeout = kDefaultTimeout) const;
    std::optional<JournalCall> waitForCall(std::string_view method,
                                           Millis timeout = kDefaultTimeout) const;
    // Waits until `method` has been called `count` times.
    bool waitForCallCount(std::string_view method, size_t count,
                          Millis timeout = kDefaultTimeout) const;
    std::string text() const;   // for failure messages

private:
    std::wstring path_;
};

// ---------------------------------------------------------------------------
// Windows of another process

std::vector<HWND> topLevelWindows(DWORD pid, const wchar_t* className = nullptr);
std::vector<HWND> visibleTopLevelWindows(DWORD pid);
HWND findTopLevelWindow(DWORD pid, const wchar_t* className);
HWND waitForWindow(DWORD pid, const wchar_t* className, Millis timeout = kDefaultTimeout);
HWND waitForVisibleWindow(DWORD pid, const wchar_t* className, Millis timeout = kDefaultTimeout);
bool waitForHidden(HWND window, Millis timeout = kDefaultTimeout);
bool waitForGone(HWND window, Millis timeout = kDefaultTimeout);

HWND child(HWND parent, int controlId);
std::wstring className(HWND window);
std::wstring windowText(HWND window);     // caption or control text
int controlId(HWND window);
bool isChecked(HWND checkBox);            // BM_GETCHECK == BST_CHECKED
int checkState(HWND checkBox);            // BST_UNCHECKED / BST_CHECKED / BST_INDETERMINATE
DWORD windowThreadId(HWND window);
// The window that has the keyboard focus on the given GUI thread.
HWND focusedWindow(DWORD guiThreadId);
HWND focusedWindowOf(HWND anyWindowOfThatThread);

int comboCount(HWND combo);
int comboSelection(HWND combo);
std::wstring comboItemText(HWND combo, int index);
std::vector<std::wstring> comboItems(HWND combo);
// Selects an item and tells the combo box's parent, as the control does when
// the user picks an item (CBN_SELCHANGE).
void chooseComboItem(HWND combo, int index);
bool chooseComboItem(HWND combo, const std::wstring& text);

// Clicks a button and waits (bounded) until the program has handled the
// click; returns false if it was still busy after `timeout`, which is what a
// click that opens a modal window looks like.
bool click(HWND button, Millis timeout = 5s);
// Clicks a button without waiting: for clicks that open a modal window or
// end the program.
void postClick(HWND button);

// Brings a window of another process to the front and waits until it is
// the foreground window.
bool bringToFront(HWND window, Millis timeout = 5s);

// ---------------------------------------------------------------------------
// Message boxes

// The icon is told by its handle where the system shares icons between
// processes, else (Wine) by comparing the pixels on screen with each system
// icon drawn here: the box has to be visible and not covered.
enum class BoxIcon { None, Error, Warning, Information, Question, Unknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
};

// The dialog-class ("#32770") windows of a process.
std::vector<HWND> messageBoxes(DWORD pid);
std::optional<MessageBoxView> waitForMessageBox(DWORD pid, Millis timeout = kDefaultTimeout);
MessageBoxView readMessageBox(HWND box);
BoxIcon messageBoxIcon(HWND box);
// Presses the box's button (IDOK by default) and waits for the box to close.
bool dismissMessageBox(HWND box, int buttonId = IDOK, Millis timeout = 5s);

// ---------------------------------------------------------------------------
// INI files, read through the platform's own reader.

struct IniSection {
    std::wstring name;
    std::vector<std::wstring> lines;   // "key=value" as the reader gives them
    bool operator==(const IniSection&) const = default;
};
using IniFile = std::vector<IniSection>;
IniFile readIni(const std::wstring& path);
std::optional<std::wstring> readIniValue(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key);
void PrintTo(const IniSection& section, std::ostream* out);

// ---------------------------------------------------------------------------
// Keyboard input as a user gives it (SendInput goes to the foreground window).

void pressKey(WORD virtualKey);
// Holds the modifiers (e.g. {VK_MENU, VK_CONTROL}) down around the key.
void pressKeyWith(std::initializer_list<WORD> modifiers, WORD virtualKey);
void typeText(std::wstring_view text);

// A small visible window of the test's own on its own thread, for when input
// needs some window in front (Wine routes keys only through a focused window).
class OwnWindow {
public:
    OwnWindow();
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
};

// Holds a global hot key on a thread of the test process, so the program
// finds it taken.
class HotKeyHolder {
public:
    HotKeyHolder(UINT modifiers, UINT virtualKey);
    ~HotKeyHolder();
    HotKeyHolder(const HotKeyHolder&) = delete;
    HotKeyHolder& operator=(const HotKeyHolder&) = delete;
    bool registered() const { return registered_; }

private:
    bool registered_ = false;
};

// ---------------------------------------------------------------------------
// The fixture every end-to-end test uses: a fresh program folder (with the
// component; remove it with programFolder().removeFile(L"Cellvane.dll")), a
// fresh LOCALAPPDATA, a journal path and a debug listener per test. TearDown
// kills and reports any program the test left running. Harness errors that
// leave a test nothing to check (no process started) throw, which GoogleTest
// reports as a failure of that test.

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts Lumibrel.exe from the program folder with LOCALAPPDATA and
    // CELLVANE_SIM_JOURNAL pointing into this test's folder, unless `options`
    // sets them itself.
    Process& start(LaunchOptions options = {});
    HWND mainWindow(const Process& process, Millis timeout = kDefaultTimeout) const;
    HWND visibleMainWindow(const Process& process, Millis timeout = kDefaultTimeout) const;
    // Waits until the start-up apply has reached the component and been
    // reported on the debug output.
    bool waitForStartupApply(const Process& process, Millis timeout = kDefaultTimeout) const;

    // Clicks Exit and waits for the process to end; on a hang the process is
    // killed and the test fails. Returns the exit code.
    std::optional<DWORD> exitWithExitButton(Process& process, Millis timeout = kDefaultTimeout);

    const TempFolder& temp() const { return *temp_; }
    const ProgramFolder& programFolder() const { return *programFolder_; }
    std::wstring localAppData() const { return temp_->file(L"LocalAppData"); }
    std::wstring journalPath() const { return temp_->file(L"journal.txt"); }
    Journal journal() const { return Journal(journalPath()); }
    DebugListener& debug() { return *debug_; }

private:
    std::unique_ptr<TempFolder> temp_;
    std::unique_ptr<ProgramFolder> programFolder_;
    std::unique_ptr<DebugListener> debug_;
    std::vector<std::unique_ptr<Process>> processes_;
};

}  // namespace e2e
