// End-to-end harness: runs the built Lumibrel.exe with the simulated display
// component from a fresh folder and watches it from outside, as a user or the
// component would: its windows, its debug output, the component's journal,
// the files it writes, its exit code. Every wait is bounded, so a program
// that hangs fails its test instead of hanging the suite.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// Long enough for a cold Wine start on a busy machine; only a broken program
// ever makes a test wait this long.
inline constexpr Millis kDefaultTimeout = 15s;

std::string toUtf8(std::wstring_view text);
inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != text.npos; }
inline bool contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != text.npos; }

// Polls `condition` until it holds or `timeout` passes, answering this
// thread's window messages meanwhile; the condition gets a last try at the end.
bool waitUntil(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout, Millis interval = 20ms);
void pumpMessagesFor(Millis duration);

// Files
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);
std::string readFileBytes(const std::wstring& path);   // empty if missing
void writeFileBytes(const std::wstring& path, const std::string& bytes);
std::string utf16(std::wstring_view text);   // UTF-16 LE with a byte order mark
inline void writeTextFile(const std::wstring& path, std::wstring_view text) { writeFileBytes(path, utf16(text)); }
// Empty files, or folders for names ending in "\", in `folder` (made if missing).
void putFiles(const std::wstring& folder, const std::vector<std::wstring>& names);
void removeFolderTree(const std::wstring& path);
// The user-interface language's code as the platform names it ("ENU").
std::wstring languageCode();

// Environment changes for a child: each name set to its value, or removed
// (std::nullopt). Later entries win.
struct LaunchOptions {
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment;
    LaunchOptions& set(std::wstring name, std::optional<std::wstring> value)
    {
        environment.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    LaunchOptions& remove(std::wstring name) { return set(std::move(name), std::nullopt); }
};

// A started process; the destructor kills it if it still runs.
class Process {
public:
    explicit Process(const PROCESS_INFORMATION& info) : info_(info) {}
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD pid() const { return info_.dwProcessId; }
    bool running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    std::optional<DWORD> waitForExit(Millis timeout = kDefaultTimeout) const;
    bool kill();   // whether it still ran

private:
    PROCESS_INFORMATION info_;
};

std::unique_ptr<Process> startProcess(const std::wstring& exePath, const LaunchOptions& options = {},
                                      const std::wstring& workingFolder = {});

// Waits for a process to end, noting every window it shows meanwhile.
struct ExitWatch {
    std::optional<DWORD> exitCode;            // empty: still running at the deadline
    std::vector<std::wstring> shownWindows;   // class "caption"
};
ExitWatch watchUntilExit(const Process& process, Millis timeout = kDefaultTimeout);

// The simulated component's journal: one line per call, such as
// "Start(0) hr=0x00000000 tid=12", "Created() tid=7" or "ConfigError(X)".
struct JournalCall {
    std::string method, args;
    std::optional<HRESULT> hr;
    DWORD tid = 0;
};

class Journal {
public:
    explicit Journal(std::wstring path) : path_(std::move(path)) {}
    std::vector<std::string> lines() const;   // complete lines only
    std::vector<JournalCall> calls() const;
    std::vector<std::string> methods() const;
    std::vector<JournalCall> callsTo(std::string_view method) const;
    std::optional<JournalCall> waitForCall(const std::function<bool(const JournalCall&)>& match,
                                           Millis timeout = kDefaultTimeout) const;
    bool waitForCallCount(std::string_view method, size_t count, Millis timeout = kDefaultTimeout) const;
    std::string text() const;   // for failure messages

private:
    std::wstring path_;
};

// Windows of another process
std::vector<HWND> topLevelWindows(DWORD pid, const wchar_t* className = nullptr, bool visibleOnly = false);
HWND waitForWindow(DWORD pid, const wchar_t* className, Millis timeout = kDefaultTimeout);   // a visible one
inline bool waitForHidden(HWND window, Millis timeout = kDefaultTimeout)
{
    return waitUntil([&] { return !IsWindowVisible(window); }, timeout);
}
inline bool waitForGone(HWND window, Millis timeout = kDefaultTimeout)
{
    return waitUntil([&] { return !IsWindow(window); }, timeout);
}

inline HWND child(HWND parent, int id) { return GetDlgItem(parent, id); }
inline int controlId(HWND window) { return GetDlgCtrlID(window); }
std::wstring className(HWND window);
// SendMessage that gives up on a hung receiver (returning -1).
LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Text asked for by message, which crosses processes where GetWindowTextW does not.
std::wstring askText(HWND window, UINT lengthMessage, UINT textMessage, WPARAM index = 0);
inline std::wstring windowText(HWND window) { return askText(window, WM_GETTEXTLENGTH, WM_GETTEXT); }
inline bool isChecked(HWND checkBox) { return send(checkBox, BM_GETCHECK) == BST_CHECKED; }
// The window with the keyboard focus on that window's thread.
HWND focusedWindowOf(HWND window);
// Whether `control` gets the focus within `timeout`; if not, says which has it.
::testing::AssertionResult waitForFocus(HWND control, Millis timeout = 5s);

inline int comboCount(HWND combo) { return static_cast<int>(send(combo, CB_GETCOUNT)); }
inline int comboSelection(HWND combo) { return static_cast<int>(send(combo, CB_GETCURSEL)); }
inline std::wstring comboItemText(HWND combo, int index)
{
    return askText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<WPARAM>(index));
}
std::vector<std::wstring> comboItems(HWND combo);
// Selects an item and tells the parent (CBN_SELCHANGE), as a user's pick does.
void chooseComboItem(HWND combo, int index);
bool chooseComboItem(HWND combo, const std::wstring& text);

// Clicks and waits until the program has handled it; false if it was still
// busy after `timeout`, which is what a click that opens a modal window does.
bool click(HWND button, Millis timeout = 5s);
// For clicks that open a modal window or end the program.
inline void postClick(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
bool bringToFront(HWND window, Millis timeout = 5s);

// Message boxes. The icon is read off the screen: the box has to be visible
// and not covered.
enum class BoxIcon { None, Error, Warning, Information, Unknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption, text;
    BoxIcon icon = BoxIcon::None;
};

inline std::vector<HWND> messageBoxes(DWORD pid) { return topLevelWindows(pid, L"#32770", true); }
std::optional<MessageBoxView> waitForMessageBox(DWORD pid, Millis timeout = kDefaultTimeout);
// Expects a "Lumibrel" box saying `text`, with `icon` and `owner` when given,
// and presses its OK.
void expectBox(DWORD pid, const std::wstring& text, std::optional<BoxIcon> icon = {}, HWND owner = nullptr);

// INI files, read through the platform's own reader.
struct IniSection {
    std::wstring name;
    std::vector<std::wstring> lines;   // "key=value"
    bool operator==(const IniSection&) const = default;
};
using IniFile = std::vector<IniSection>;
void PrintTo(const IniSection& section, std::ostream* out);
IniFile readIni(const std::wstring& path);
std::optional<std::wstring> readIniValue(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key);
// The file as the reader gives it once one key is set: replaced in place,
// else added at the end of its section, or of the file.
IniFile withValue(IniFile file, const std::wstring& section, const std::wstring& key, const std::wstring& value);

// Keyboard input as a user gives it (SendInput goes to the foreground window).
void pressKeyWith(std::initializer_list<WORD> modifiers, WORD virtualKey);
inline void pressKey(WORD virtualKey) { pressKeyWith({}, virtualKey); }

// The fixture of every end-to-end test: a fresh program folder with the
// component, a fresh LOCALAPPDATA, a journal and a debug listener per test.
// TearDown kills, and fails the test for, any program left running. Harness
// errors that leave a test nothing to check throw.
class DebugListener;
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();
    ~ProgramTest() override;
    void SetUp() override;
    void TearDown() override;

    // Starts Lumibrel.exe with LOCALAPPDATA and CELLVANE_SIM_JOURNAL pointing
    // into this test's folder unless `options` sets them.
    Process& start(LaunchOptions options = {});
    // The shown main window once the start-up apply (if `applied`) has been
    // reported; null if either does not come.
    HWND mainWindow(const Process& process, bool applied = true) const;
    size_t applyReports(const Process& process) const;
    // Whether exactly `count` applies are reported once `count` are.
    bool waitForApplies(const Process& process, size_t count) const;
    // Clicks Exit and waits for the end; a program that hangs is killed and
    // the test fails.
    std::optional<DWORD> exitWithExitButton(Process& process, Millis timeout = kDefaultTimeout);

    std::wstring tempFile(const std::wstring& name) const { return joinPath(temp_, name); }
    std::wstring programFile(const std::wstring& name) const { return joinPath(tempFile(L"Program"), name); }
    std::wstring localAppData() const { return tempFile(L"LocalAppData"); }
    std::wstring journalPath() const { return tempFile(L"journal.txt"); }
    Journal journal() const { return Journal(journalPath()); }
    std::vector<std::string> debugLines(const Process& process) const;   // what it wrote to the debug output

    std::wstring componentFolder() const { return joinPath(localAppData(), L"Cellvane"); }
    std::wstring settingsPath() const { return joinPath(componentFolder(), languageCode() + L"\\Cellvane.ini"); }
    std::wstring languagePath() const { return programFile(languageCode() + L"\\Cellvane.ini"); }
    void freshSettingsFolder() const;
    void writeSettings(std::wstring_view text) const;   // into a fresh settings folder
    void writeLanguageFile(std::wstring_view text) const;
    // Another program's window in front, for hot keys pressed while the user
    // works elsewhere: Wine passes a hot key on only while one of its own
    // windows has the keyboard, so that program is a second Wine process.
    bool otherProgramInFront();

private:
    std::wstring temp_;
    std::unique_ptr<Process> other_;
    HWND otherWindow_ = nullptr;
    std::unique_ptr<DebugListener> debug_;
    std::vector<std::unique_ptr<Process>> processes_;
};

}  // namespace e2e
