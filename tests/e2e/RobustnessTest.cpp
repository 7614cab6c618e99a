// What the program meets but does not control: settings files of any shape,
// crowded or changing tables folders, odd language files, and a display
// component that is missing, failing, slow or hung. Whatever comes, it has to
// run on, say what went wrong in its own words, and keep every user's choice.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <memory>
#include <tuple>

namespace e2e {
namespace {

const std::wstring kFace = L"\U0001F600";   // one character, a surrogate pair in UTF-16
const std::wstring kVisualizerFailure = L"Failed to write ShowBrailleVisualizer to INI.";

bool opensForWriting(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

// A table name as the component's journal quotes it.
std::string quoted(const std::wstring& name)
{
    std::string text(1, '"');
    return text.append(toUtf8(name)).append(1, '"');
}

// Files of ten thousand sections or a megabyte line are too big to print whole.
std::string firstDifference(const IniFile& got, const IniFile& want)
{
    const auto g = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
    std::string text = "section " + std::to_string(g - got.begin()) + " of " + std::to_string(got.size());
    return g == got.end() ? text : text.append(": [").append(toUtf8(g->name)).append("]");
}

class RobustnessTest : public ProgramTest {
protected:
    std::wstring tablesFolder() const { return programFile(L"tables"); }
    void freshTablesFolder(const std::vector<std::wstring>& names) const
    {
        removeFolderTree(tablesFolder());
        putFiles(tablesFolder(), names);
    }
    static bool responsive(HWND window)
    {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
    }
    // Picks a name in one list of the tables dialog and accepts it; what the
    // dialog showed: the literary list's selection and the picked list's length.
    std::pair<std::wstring, int> chooseTable(const Process& program, HWND main, int comboId,
                                             const std::wstring& name) const
    {
        postClick(child(main, IDC_SET_TABLES));
        HWND dialog = waitForWindow(program.pid(), LUMIBREL_TABLES_DIALOG_CLASS, 60s);
        if (!dialog) return {L"(the tables dialog did not open)", -1};
        HWND literary = child(dialog, IDC_LITERARY_TABLE), combo = child(dialog, comboId);
        const std::pair<std::wstring, int> shown{comboItemText(literary, comboSelection(literary)), comboCount(combo)};
        EXPECT_TRUE(chooseComboItem(combo, name)) << toUtf8(name) << " is not listed";
        postClick(child(dialog, IDC_TABLES_OK));
        EXPECT_TRUE(waitForGone(dialog));
        return shown;
    }
};

TEST_F(RobustnessTest, SettingsFilesOfAnyShapeKeepEverythingTheUserDidNotChange)
{
    std::string noise(65536, '\0');
    unsigned seed = 20240601;
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    const std::wstring plain = L"[Liblouis]\r\nLiteraryTable=de-g2.ctb\r\n[Settings]\r\nShowBrailleVisualizer=0\r\n";
    std::wstring sections;
    for (int i = 0; i < 10000; ++i) sections += L"[S" + std::to_wstring(i) + L"]\r\nk=" + std::to_wstring(i) + L"\r\n";
    const auto named = [](size_t units) { return std::wstring(units - 7, L'n') + L"-g2.ctb"; };
    const auto literaryIs = [](const std::wstring& name) { return L"[Liblouis]\r\nLiteraryTable=" + name + L"\r\n"; };
    const std::wstring oddName = kFace + L"-\u00fc\u4e2d-g2.ctb";

    enum class Block { None, ReadOnly, HeldOpen, Folder };   // what keeps the program from writing
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring literary;   // what the tables dialog shows and the component gets
        Block block = Block::None;
        std::string kept = {};   // out of the reader's sight, yet to be kept
    };
    const Case cases[] = {
        {"random bytes", noise, L"en-us-g2.ctb"},
        {"UTF-16 LE with BOM", utf16(plain), L"de-g2.ctb"},
        {"a line of 1 MB", toUtf8(plain + L"[Notes]\r\nLong=" + std::wstring(1 << 20, L'x') + L"\r\n"), L"de-g2.ctb"},
        {"10,000 sections", toUtf8(sections + plain), L"de-g2.ctb"},
        {"duplicate sections and keys",
         toUtf8(L"[Liblouis]\r\nLiteraryTable=first-g2.ctb\r\nLiteraryTable=second-g2.ctb\r\n[Other]\r\nk=1\r\nk=2\r\n"
                L"[Liblouis]\r\nLiteraryTable=third-g2.ctb\r\n[Other]\r\nk=3\r\n"),
         L"first-g2.ctb"},
        {"keys before any section", toUtf8(L"LiteraryTable=orphan-g2.ctb\r\nShowBrailleVisualizer=1\r\n" + plain),
         L"de-g2.ctb", Block::None, "LiteraryTable=orphan-g2.ctb"},
        {"a value of 259 units", utf16(literaryIs(named(259))), named(259)},
        {"a value of 260 units", utf16(literaryIs(named(260))), named(260).substr(0, 259)},
        {"a value of 10,000 units", utf16(literaryIs(named(10000))), named(10000).substr(0, 259)},
        {"non-ASCII and surrogate pairs",
         utf16(L"[R\u00e9glages" + kFace + L"]\r\ncl\u00e9" + kFace + L"=v\u00e4lue" + kFace + L"\r\n" +
               literaryIs(oddName)),
         oddName},
        {"read-only", toUtf8(plain), L"de-g2.ctb", Block::ReadOnly},
        {"held open by another program", toUtf8(plain), L"de-g2.ctb", Block::HeldOpen},
        {"a folder in its place", "", L"en-us-g2.ctb", Block::Folder},
    };
    freshTablesFolder({L"robust-comp.ctb"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshSettingsFolder();
        DeleteFileW(journalPath().c_str());
        if (c.block == Block::Folder) ASSERT_TRUE(CreateDirectoryW(settingsPath().c_str(), nullptr));
        else writeFileBytes(settingsPath(), c.bytes);
        if (c.block == Block::ReadOnly && SetFileAttributesW(settingsPath().c_str(), FILE_ATTRIBUTE_READONLY) &&
            opensForWriting(settingsPath())) {
            std::cout << "Read-only row not run: this platform writes read-only files (Wine run as root)\n";
            continue;
        }
        // Held without write sharing, as an editor or a backup may hold it; reading stays possible.
        std::unique_ptr<void, decltype(&CloseHandle)> held(nullptr, &CloseHandle);
        if (c.block == Block::HeldOpen) {
            held.reset(CreateFileW(settingsPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
        }
        const bool writable = c.block == Block::None;
        const IniFile before = readIni(settingsPath());

        Process& program = start();
        HWND main = mainWindow(program);
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(messageBoxes(program.pid()).empty()) << "the start-up apply complained";
        HWND visualizer = child(main, IDC_SHOW_BRAILLE_VISUALIZER);
        const bool wasOn = isChecked(visualizer);
        ASSERT_TRUE(click(visualizer));
        EXPECT_EQ(chooseTable(program, main, IDC_COMPUTER_TABLE, L"robust-comp.ctb").first, c.literary);
        postClick(child(main, IDC_APPLY));
        if (writable) {
            ASSERT_TRUE(waitForApplies(program, 2));
            EXPECT_EQ(journal().callsTo("ShowBrailleOnScreen").back().args, wasOn ? "0" : "-1");
            const std::vector<JournalCall> sent = journal().callsTo("SetBrailleTables");
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].args, quoted(c.literary) + ",\"en-us-mathtext.ctb\",\"robust-comp.ctb\"");
        } else {
            expectBox(program.pid(), kVisualizerFailure);
            // Exit cannot store the choice either, so it keeps the program, and the choice, on screen.
            postClick(child(main, IDC_EXIT));
            expectBox(program.pid(), kVisualizerFailure);
            EXPECT_FALSE(program.waitForExit(300ms)) << "Exit dropped the unsaved choice";
            EXPECT_TRUE(journal().callsTo("SetBrailleTables").empty()) << "a failed apply reached the component";
            ASSERT_TRUE(click(visualizer));
        }
        EXPECT_EQ(exitWithExitButton(program), 0u);
        held.reset();

        const IniFile after = readIni(settingsPath());
        const IniFile want = writable ? withValue(before, L"Settings", L"ShowBrailleVisualizer", wasOn ? L"0" : L"1")
                                      : before;
        EXPECT_TRUE(after == want) << firstDifference(after, want);
        if (c.block == Block::Folder) {
            EXPECT_EQ(GetFileAttributesW(settingsPath().c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
        } else if (!writable) {
            EXPECT_TRUE(readFileBytes(settingsPath()) == c.bytes) << "the file changed";
        }
        EXPECT_TRUE(contains(readFileBytes(settingsPath()), c.kept)) << "lost " << c.kept;
    }
}

TEST_F(RobustnessTest, TablesFoldersOfAnySizeAndNamingAreListedAndSentIntact)
{
    std::vector<std::wstring> many;
    for (int i = 0; i < 10000; ++i) many.push_back(L"t" + std::to_wstring(100000 + i) + L"-g2.ctb");
    const std::wstring longest = std::wstring(248, L'l') + L"-g2.ctb";
    const std::wstring faces = kFace + L"-g2" + kFace + L".ctb";
    const std::tuple<const char*, std::vector<std::wstring>, std::wstring> cases[] = {
        {"10,000 files", many, many.back()},
        {"a name of 255 units", {longest}, longest},
        {"surrogate pairs in a name", {faces}, faces},
    };
    for (const auto& [name, files, pick] : cases) {
        SCOPED_TRACE(name);
        freshTablesFolder(files);
        DeleteFileW(journalPath().c_str());
        Process& program = start();
        HWND main = mainWindow(program);
        ASSERT_NE(main, nullptr);
        // Listed: the whole folder, and the current name, which it lacks.
        EXPECT_EQ(chooseTable(program, main, IDC_LITERARY_TABLE, pick).second, static_cast<int>(files.size()) + 1);
        ASSERT_TRUE(click(child(main, IDC_APPLY)));
        ASSERT_TRUE(waitForApplies(program, 2));
        const std::vector<JournalCall> sent = journal().callsTo("SetBrailleTables");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].args, quoted(pick) + ",\"en-us-mathtext.ctb\",\"en-us-comp8.ctb\"");
        EXPECT_EQ(exitWithExitButton(program), 0u);
    }
}

TEST_F(RobustnessTest, TablesVanishingWhileListedLeaveTheDialogWorking)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 2000; ++i) names.push_back(joinPath(tablesFolder(), L"v" + std::to_wstring(i) + L"-g2.ctb"));
    freshTablesFolder({});
    Process& program = start();
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (bool create = true; !stop; create = !create) {
            for (size_t i = 0; i < names.size() && !stop; ++i) {
                if (!create) DeleteFileW(names[i].c_str());
                else CloseHandle(CreateFileW(names[i].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            }
        }
    });
    int opened = 0;
    for (; opened < 15; ++opened) {
        postClick(child(main, IDC_SET_TABLES));
        HWND dialog = waitForWindow(program.pid(), LUMIBREL_TABLES_DIALOG_CLASS, 30s);
        if (!dialog) break;
        postClick(child(dialog, IDC_TABLES_CANCEL));
        if (!waitForGone(dialog)) break;
    }
    stop = true;
    churn.join();
    EXPECT_EQ(opened, 15) << "the dialog stopped opening or closing";
    EXPECT_TRUE(program.running());
    EXPECT_EQ(exitWithExitButton(program), 0u);
}

TEST_F(RobustnessTest, LanguageFileLinesOfOnlyEqualsSignsAreDropped)
{
    const std::tuple<const char*, const wchar_t*, const wchar_t*> cases[] = {
        {"nothing else: no dialog", L"[BrailleMarking]\r\n=\r\n==\r\n=1\r\n", nullptr},
        {"around one entry", L"[BrailleMarking]\r\n=\r\nBoldText=1\r\n==\r\n", L"Bold &Text"},
    };
    for (const auto& [name, text, onlyBox] : cases) {
        SCOPED_TRACE(name);
        writeLanguageFile(text);
        Process& program = start();
        HWND main = mainWindow(program);
        ASSERT_NE(main, nullptr);
        postClick(child(main, IDC_MARKING));
        HWND dialog = waitForWindow(program.pid(), LUMIBREL_MARKING_DIALOG_CLASS, onlyBox ? 15s : 2s);
        EXPECT_EQ(dialog != nullptr, onlyBox != nullptr) << "the dialog opened for an empty catalogue, or not at all";
        if (dialog) {
            EXPECT_EQ(windowText(child(dialog, IDC_MARKING_FIRST_CHECKBOX)), onlyBox);
            EXPECT_EQ(child(dialog, IDC_MARKING_FIRST_CHECKBOX + 1), nullptr);
            postClick(child(dialog, IDC_MARKING_CANCEL));
            EXPECT_TRUE(waitForGone(dialog));
        }
        EXPECT_TRUE(messageBoxes(program.pid()).empty());
        EXPECT_EQ(exitWithExitButton(program), 0u);
    }
}

TEST_F(RobustnessTest, ProgramRunsOnAndKeepsChoicesWhateverTheComponentDoes)
{
    using Methods = std::vector<std::string>;
    const Methods fullStart = {"Created", "Start", "QueryHybridSupport", "SetEnabled", "RefreshFocusedControl"};
    struct Case {
        const char* name;
        const wchar_t* variable;   // none: no component at all
        const wchar_t* value;
        Methods startCalls;        // before the first apply
        HRESULT applyHr;
    };
    const Case cases[] = {
        {"failing every call", L"CELLVANE_SIM_FAIL", L"*", {"Created", "Start"}, E_FAIL},
        {"Start failing", L"CELLVANE_SIM_START_HR", L"0x80004005", {"Created", "Start"}, S_OK},
        {"QueryHybridSupport failing", L"CELLVANE_SIM_FAIL", L"QueryHybridSupport", fullStart, S_OK},
        {"slow on every call", L"CELLVANE_SIM_DELAY", L"*=300", fullStart, S_OK},
        {"hanging in Stop beyond the shutdown wait", L"CELLVANE_SIM_DELAY", L"Stop=20000", fullStart, S_OK},
        {"missing", nullptr, nullptr, {}, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshSettingsFolder();
        DeleteFileW(journalPath().c_str());
        LaunchOptions options;
        if (c.variable) {
            options.set(c.variable, c.value);
        } else {
            ASSERT_TRUE(DeleteFileW(programFile(L"Cellvane.dll").c_str()));
        }
        Process& program = start(options);
        HWND main = mainWindow(program, c.variable != nullptr);
        ASSERT_NE(main, nullptr);
        Methods started = journal().methods();
        started.erase(std::find(started.begin(), started.end(), "DisplayLiteraryBraille"), started.end());
        EXPECT_EQ(started, c.startCalls);

        ASSERT_TRUE(click(child(main, IDC_SHOW_BRAILLE_VISUALIZER)));
        ASSERT_TRUE(click(child(main, IDC_APPLY)));
        if (c.variable) {
            const auto shown = journal().waitForCall([](const JournalCall& call) {
                return call.method == "ShowBrailleOnScreen" && call.args == "-1";
            });
            ASSERT_TRUE(shown) << "the apply did not reach the component";
            EXPECT_EQ(shown->hr, c.applyHr);
        }
        EXPECT_EQ(readIniValue(settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
        // No start report says otherwise, so the hybrid mode stays offered.
        EXPECT_TRUE(IsWindowEnabled(child(main, IDC_HYBRID_PRINT_AND_BRAILLE_MODE)));
        EXPECT_TRUE(responsive(main));
        EXPECT_TRUE(messageBoxes(program.pid()).empty());
        EXPECT_EQ(exitWithExitButton(program, 12s), 0u);
        if (!c.variable) {
            EXPECT_TRUE(journal().lines().empty()) << journal().text();
        }
    }
}

TEST_F(RobustnessTest, AThousandAppliesReachASlowComponentInOrder)
{
    Process& program = start(LaunchOptions().set(L"CELLVANE_SIM_DELAY", L"*=5"));
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);
    HWND visualizer = child(main, IDC_SHOW_BRAILLE_VISUALIZER);
    std::vector<std::string> clicked = {"0"};   // the start-up apply's
    bool answered = true;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(click(visualizer) && click(child(main, IDC_APPLY))) << "click " << i << " went unhandled";
        clicked.push_back(i % 2 == 0 ? "-1" : "0");
        if (i % 50 == 0) answered = answered && responsive(main);
    }
    const auto sent = [&] {
        std::vector<std::string> args;
        for (const JournalCall& call : journal().callsTo("ShowBrailleOnScreen")) args.push_back(call.args);
        return args;
    };
    EXPECT_TRUE(waitUntil([&] {
        answered = answered && responsive(main);
        return sent().size() >= clicked.size();
    }, 90s, 500ms)) << "the queue did not drain: " << sent().size() << " of " << clicked.size();
    EXPECT_TRUE(answered) << "the window stopped answering";
    const std::vector<std::string> got = sent();
    const auto [g, w] = std::mismatch(got.begin(), got.end(), clicked.begin(), clicked.end());
    EXPECT_TRUE(g == got.end() && w == clicked.end())
        << "snapshot " << (g - got.begin()) << " of " << got.size() << " differs from the clicks";
    EXPECT_TRUE(messageBoxes(program.pid()).empty());
    EXPECT_EQ(readIniValue(settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"0");
    EXPECT_EQ(exitWithExitButton(program, 12s), 0u);
}

}  // namespace
}  // namespace e2e
