// Braille tables as the user meets them in the tables dialog: which files of
// the tables folder each list offers and in what order, how the current names
// are shown, keyboard use, and what reaches the display component afterwards.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <set>

namespace e2e {
namespace {

using Names = std::vector<std::wstring>;

constexpr int kComboIds[3] = {IDC_LITERARY_TABLE, IDC_COMPUTER_TABLE, IDC_MATH_TABLE};
const wchar_t* const kDefaults[3] = {L"en-us-g2.ctb", L"en-us-comp8.ctb", L"en-us-mathtext.ctb"};

// Literary, computer, math: each list as offered and its selected name.
struct Lists {
    Names items[3];
    std::wstring selected[3];
};

Lists readLists(HWND dialog)
{
    Lists lists;
    for (int i = 0; i < 3; ++i) {
        HWND combo = child(dialog, kComboIds[i]);
        lists.items[i] = comboItems(combo);
        const int selection = comboSelection(combo);
        if (selection >= 0) lists.selected[i] = comboItemText(combo, selection);
    }
    return lists;
}

class TablesTest : public ProgramTest {
protected:
    void writeLiblouis(const std::wstring& section) const { writeSettings(L"[Liblouis]\r\n" + section); }

    HWND openDialog(const Process& program, HWND main) const
    {
        postClick(child(main, IDC_SET_TABLES));
        return waitForWindow(program.pid(), LUMIBREL_TABLES_DIALOG_CLASS);
    }

    void expectBackAtMain(HWND dialog, HWND main) const
    {
        EXPECT_TRUE(waitForGone(dialog, 5s)) << "the tables dialog stayed open";
        EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 5s))
            << "the main window was left disabled";
        EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == main; }, 5s))
            << "the main window is not the active one";
    }

    // Clicks Apply and waits until the component has had the whole apply.
    bool apply(const Process& program, HWND main)
    {
        const size_t before = applyReports(program);
        return click(child(main, IDC_APPLY)) && waitUntil([&] { return applyReports(program) > before; });
    }

    std::vector<std::string> tablesSent() const
    {
        std::vector<std::string> sent;
        for (const JournalCall& call : journal().callsTo("SetBrailleTables")) sent.push_back(call.args);
        return sent;
    }
};

TEST_F(TablesTest, ListsTheFolderByCategoryInUnitOrderAndRereadsItAtEachOpening)
{
    // Relative to the program folder, not to where the program was started.
    writeLiblouis(L"TablesPath=Braille Tables\r\nMathTable=ab-math.ctb\r\n");
    const std::wstring folder = programFile(L"Braille Tables");
    putFiles(folder, {L"EN-US-G2.CTB", L"en-ueb-g1.ctb", L"g1a.ctb", L"g1_.ctb", L"g1B.ctb", L"g10.ctb", L"g1.ctb.ctb",
                      L"g1.ctb", L"g1-a.ctb", L"en-us-comp8.ctb", L"hidden-comp.tbl", L"Nemeth.dis",
                      L"en-us-mathtext.ctb",
                      // In no list: no keyword, a further ending, a bare ending, not a table, a folder.
                      L"plain.utb", L"x-g2.ctb.bak", L".ctb", L"readme-g1.txt", L"folder-g2.ctb\\"});
    SetFileAttributesW(joinPath(folder, L"hidden-comp.tbl").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    Process& program = start();
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);
    const IniFile settingsBefore = readIni(settingsPath());
    const size_t callsBefore = journal().lines().size();

    HWND dialog = openDialog(program, main);
    ASSERT_NE(dialog, nullptr) << "Set Tables did not open the dialog";
    EXPECT_EQ(windowText(dialog), L"Set Tables...");
    RECT frame{};
    GetWindowRect(dialog, &frame);
    EXPECT_EQ((std::vector<LONG>{frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top}),
              (std::vector<LONG>{0, 0, 400, 180}));
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window stays usable behind the dialog";

    const wchar_t* const labels[3] = {L"&Literary Table:", L"&Computer Table:", L"&Math Table:"};
    for (int i = 0; i < 3; ++i) {
        HWND combo = child(dialog, kComboIds[i]);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(lstrcmpiW(className(combo).c_str(), L"ComboBox"), 0) << toUtf8(className(combo));
        EXPECT_EQ(GetWindowLongPtrW(combo, GWL_STYLE) & (WS_TABSTOP | CBS_DROPDOWNLIST), WS_TABSTOP | CBS_DROPDOWNLIST);
        // The window right before a combo box lends it its access key and its name.
        HWND label = GetWindow(combo, GW_HWNDPREV);
        EXPECT_EQ(controlId(label), kComboIds[i] - 1);
        EXPECT_EQ(windowText(label), labels[i]);
    }
    EXPECT_EQ(windowText(child(dialog, IDC_TABLES_OK)), L"OK");
    EXPECT_EQ(windowText(child(dialog, IDC_TABLES_CANCEL)), L"Cancel");
    EXPECT_EQ(GetWindowLongPtrW(child(dialog, IDC_TABLES_OK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

    Lists lists = readLists(dialog);
    EXPECT_EQ(lists.items[0], (Names{L"EN-US-G2.CTB", L"en-ueb-g1.ctb", L"g1-a.ctb", L"g1.ctb", L"g1.ctb.ctb",
                                     L"g10.ctb", L"g1B.ctb", L"g1_.ctb", L"g1a.ctb"}));
    EXPECT_EQ(lists.items[1], (Names{L"en-us-comp8.ctb", L"hidden-comp.tbl"}));
    // The current math name is in no file, so it comes last, not in order.
    EXPECT_EQ(lists.items[2], (Names{L"Nemeth.dis", L"en-ueb-g1.ctb", L"en-us-mathtext.ctb", L"ab-math.ctb"}));
    EXPECT_EQ(Names(std::begin(lists.selected), std::end(lists.selected)),
              (Names{L"EN-US-G2.CTB", L"en-us-comp8.ctb", L"ab-math.ctb"}));

    // A sent click, as assistive tools give it: no posted input follows to
    // wake the program, yet the main window must come back at once.
    ASSERT_TRUE(click(child(dialog, IDC_TABLES_OK)));
    expectBackAtMain(dialog, main);
    EXPECT_EQ(readIni(settingsPath()), settingsBefore) << "the dialog wrote the settings file";
    EXPECT_EQ(journal().lines().size(), callsBefore) << "the dialog itself called the component";

    // OK took the file's spelling of the literary name, so the names changed.
    ASSERT_TRUE(apply(program, main));
    // The component takes math before computer.
    EXPECT_EQ(tablesSent(), std::vector<std::string>{R"("EN-US-G2.CTB","ab-math.ctb","en-us-comp8.ctb")"});

    putFiles(folder, {L"de-g1.ctb", L"zz-comp.cti"});
    ASSERT_TRUE(DeleteFileW(joinPath(folder, L"g1a.ctb").c_str()));
    dialog = openDialog(program, main);
    ASSERT_NE(dialog, nullptr);
    lists = readLists(dialog);
    EXPECT_EQ(lists.items[0], (Names{L"EN-US-G2.CTB", L"de-g1.ctb", L"en-ueb-g1.ctb", L"g1-a.ctb", L"g1.ctb",
                                     L"g1.ctb.ctb", L"g10.ctb", L"g1B.ctb", L"g1_.ctb"}));
    EXPECT_EQ(lists.items[1], (Names{L"en-us-comp8.ctb", L"hidden-comp.tbl", L"zz-comp.cti"}));
    EXPECT_EQ(lists.selected[0], L"EN-US-G2.CTB");
    postClick(child(dialog, IDC_TABLES_CANCEL));
    expectBackAtMain(dialog, main);

    EXPECT_EQ(exitWithExitButton(program), 0u);
    EXPECT_EQ(tablesSent().size(), 1u) << journal().text();
}

TEST_F(TablesTest, WithoutTablesFolderEachListHoldsOnlyItsCurrentName)
{
    const struct {
        const char* name;
        std::wstring settings;   // empty: no settings file at all
        Names current;
    } cases[] = {
        {"no settings file, no tables folder beside the program", L"",
         Names(std::begin(kDefaults), std::end(kDefaults))},
        {"TablesPath naming an absent folder",
         L"TablesPath=" + tempFile(L"absent") +
             L"\r\nLiteraryTable=de-g2.ctb\r\nComputerBrailleTable=de-comp6.utb\r\nMathTable=de-ueb-math.ctb\r\n",
         {L"de-g2.ctb", L"de-comp6.utb", L"de-ueb-math.ctb"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.settings.empty()) writeLiblouis(c.settings);
        Process& program = start();
        HWND main = mainWindow(program);
        ASSERT_NE(main, nullptr);
        HWND dialog = openDialog(program, main);
        ASSERT_NE(dialog, nullptr);
        const Lists lists = readLists(dialog);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(lists.items[i], Names{c.current[i]});
            EXPECT_EQ(lists.selected[i], c.current[i]);
        }
        ASSERT_TRUE(click(child(dialog, IDC_TABLES_OK)));
        expectBackAtMain(dialog, main);
        ASSERT_TRUE(apply(program, main));
        EXPECT_EQ(exitWithExitButton(program), 0u);
    }
    EXPECT_TRUE(tablesSent().empty()) << "OK on unchanged names sent tables:\n" << journal().text();
}

TEST_F(TablesTest, KeyboardChoiceIsSentOnceAtNextApplyAndDismissingKeepsIt)
{
    putFiles(programFile(L"tables"), {L"en-us-g1.ctb", L"en-us-g2.ctb", L"en-us-comp6.ctb", L"en-us-comp8.ctb",
                                      L"en-ueb-math.ctb", L"en-us-mathtext.ctb"});
    Process& program = start();
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);
    const IniFile settingsBefore = readIni(settingsPath());
    const size_t callsBefore = journal().lines().size();

    HWND dialog = openDialog(program, main);
    ASSERT_NE(dialog, nullptr);
    HWND literary = child(dialog, IDC_LITERARY_TABLE);
    EXPECT_TRUE(waitForFocus(literary));
    ASSERT_TRUE(bringToFront(dialog));
    for (const auto& [letter, id] : {std::pair{'C', IDC_COMPUTER_TABLE}, std::pair{'M', IDC_MATH_TABLE},
                                     std::pair{'L', IDC_LITERARY_TABLE}}) {
        pressKeyWith({VK_MENU}, static_cast<WORD>(letter));
        EXPECT_TRUE(waitForFocus(child(dialog, id))) << "after Alt+" << letter;
    }
    pressKey(VK_UP);
    EXPECT_TRUE(waitUntil([&] { return comboSelection(literary) == 0; }, 5s));
    EXPECT_EQ(readLists(dialog).selected[0], L"en-us-g1.ctb");
    pressKey(VK_RETURN);
    expectBackAtMain(dialog, main);
    EXPECT_EQ(readIni(settingsPath()), settingsBefore) << "the dialog wrote the settings file";
    EXPECT_EQ(journal().lines().size(), callsBefore) << "the dialog itself called the component";

    const std::vector<std::string> once = {R"("en-us-g1.ctb","en-us-mathtext.ctb","en-us-comp8.ctb")"};
    ASSERT_TRUE(apply(program, main));
    EXPECT_EQ(tablesSent(), once);
    ASSERT_TRUE(apply(program, main));
    EXPECT_EQ(tablesSent(), once) << "unchanged tables were sent again";

    const struct {
        const char* name;
        std::function<void(HWND)> dismiss;
    } dismissals[] = {
        {"Cancel button", [](HWND d) { postClick(child(d, IDC_TABLES_CANCEL)); }},
        {"Escape", [](HWND) { pressKey(VK_ESCAPE); }},
        {"Enter on Cancel",
         [](HWND d) {
             pressKeyWith({VK_SHIFT}, VK_TAB);
             EXPECT_TRUE(waitForFocus(child(d, IDC_TABLES_CANCEL))) << "after Shift+Tab from the first control";
             pressKey(VK_RETURN);
         }},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& d : dismissals) {
        SCOPED_TRACE(d.name);
        const IniFile settings = readIni(settingsPath());
        dialog = openDialog(program, main);
        ASSERT_NE(dialog, nullptr);
        literary = child(dialog, IDC_LITERARY_TABLE);
        EXPECT_EQ(readLists(dialog).selected[0], L"en-us-g1.ctb") << "the accepted choice was not kept";
        ASSERT_TRUE(bringToFront(dialog));
        ASSERT_TRUE(waitForFocus(literary));
        pressKey(VK_DOWN);
        EXPECT_TRUE(waitUntil([&] { return comboSelection(literary) == 1; }, 5s));
        d.dismiss(dialog);
        expectBackAtMain(dialog, main);
        EXPECT_EQ(readIni(settingsPath()), settings);
        ASSERT_TRUE(apply(program, main));
        EXPECT_EQ(tablesSent(), once) << "a dismissed choice reached the component";
    }

    EXPECT_EQ(exitWithExitButton(program), 0u);
    EXPECT_EQ(tablesSent(), once);
}

TEST_F(TablesTest, RealLiblouisTablesLandInTheirLists)
{
    const std::wstring folder = L"Z:\\usr\\share\\liblouis\\tables";
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        GTEST_SKIP() << "no Liblouis tables at " << toUtf8(folder);
    }

    // What each list must hold, worked out from a listing of our own; a
    // std::set of wstring is in unit order and free of repeats.
    const Names keywords[3] = {{L"g1", L"g2", L"g3", L"grade", L"lit"}, {L"comp"}, {L"ueb", L"math", L"nemeth"}};
    const Names endings = {L".ctb", L".utb", L".tbl", L".cti", L".uti", L".dis"};
    std::set<std::wstring> expected[3];
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring lowered = found.cFileName;
        for (wchar_t& unit : lowered) {
            if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
        }
        const bool table =
            std::any_of(endings.begin(), endings.end(), [&](const std::wstring& e) { return lowered.ends_with(e); });
        for (int i = 0; i < 3 && table; ++i) {
            for (const std::wstring& keyword : keywords[i]) {
                if (contains(lowered, keyword)) expected[i].insert(found.cFileName);
            }
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);

    writeLiblouis(L"TablesPath=" + folder + L"\r\n");
    Process& program = start();
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);
    HWND dialog = openDialog(program, main);
    ASSERT_NE(dialog, nullptr);
    const Lists lists = readLists(dialog);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(toUtf8(kDefaults[i]));
        EXPECT_GT(lists.items[i].size(), 1u);
        EXPECT_EQ(lists.items[i], Names(expected[i].begin(), expected[i].end()));
        EXPECT_EQ(lists.selected[i], kDefaults[i]);
        // Each default table is a file of its own list and of no other.
        for (int j = 0; j < 3; ++j) {
            const bool listed = std::count(lists.items[j].begin(), lists.items[j].end(), kDefaults[i]) == 1;
            EXPECT_EQ(listed, i == j) << "list " << j;
        }
    }
    postClick(child(dialog, IDC_TABLES_CANCEL));
    expectBackAtMain(dialog, main);
    EXPECT_EQ(exitWithExitButton(program), 0u);
}

}  // namespace
}  // namespace e2e
