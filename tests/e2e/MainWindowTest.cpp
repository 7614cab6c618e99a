// The main window as its user and the display component see it: its
// controls, what it loads from the shared settings file, what Apply writes
// there and pushes to the component, and how it hides and comes back.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <array>
#include <functional>
#include <regex>
#include <tuple>

namespace e2e {
namespace {

// What the user sees; multiline is the combo box's selection.
struct State {
    bool literary = true, contracted = false, visualizer = false, hybrid = false;
    int multiline = 0;
    bool operator==(const State&) const = default;
};

void PrintTo(const State& s, std::ostream* out)
{
    *out << "{literary " << s.literary << ", contracted " << s.contracted << ", visualizer " << s.visualizer
         << ", hybrid " << s.hybrid << ", multiline " << s.multiline << "}";
}

State shownState(HWND window)
{
    return {isChecked(child(window, IDC_DISPLAY_LITERARY_BRAILLE)),
            isChecked(child(window, IDC_USE_CONTRACTED_BRAILLE_INPUT)),
            isChecked(child(window, IDC_SHOW_BRAILLE_VISUALIZER)),
            isChecked(child(window, IDC_HYBRID_PRINT_AND_BRAILLE_MODE)),
            comboSelection(child(window, IDC_MULTILINE_BRAILLE))};
}

// The calls one apply of that state should make, as the journal has them.
std::string sentFor(const State& s)
{
    auto flag = [](bool on) { return on ? "(-1) " : "(0) "; };
    return std::string("DisplayLiteraryBraille") + flag(s.literary) + "EnableContractedBrailleInput" +
           flag(s.contracted) + "ShowBrailleOnScreen" + flag(s.visualizer) + "ForceSixDotBraille" +
           flag(s.multiline == 1) + "SetBrailleLinePadding(" + (s.multiline == 2 ? "3" : "1") +
           ") SetHybridPrintAndBrailleMode" + flag(s.hybrid);
}

// Every apply the component received, its calls joined into one line each.
std::vector<std::string> applies(const Journal& journal)
{
    std::vector<std::string> batches;
    for (const JournalCall& call : journal.calls()) {
        if (call.method == "DisplayLiteraryBraille") batches.emplace_back();
        if (batches.empty() || call.method == "RefreshFocusedControl" || call.method == "SetEnabled" ||
            call.method == "Stop" || call.method == "Released")
            continue;
        batches.back() += call.method + "(" + call.args + ") ";
    }
    return batches;
}

class MainWindowTest : public ProgramTest {
protected:
    bool componentFolderExists() const { return GetFileAttributesW(componentFolder().c_str()) != MAXDWORD; }
    HWND open(LaunchOptions options = {}) { return mainWindow(*(program = &start(std::move(options)))); }

    Process* program = nullptr;
};

TEST_F(MainWindowTest, FreshStartShowsDefaultsAppliesThemAndWritesNothing)
{
    HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), L"Lumibrel");
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(std::make_pair(frame.right - frame.left, frame.bottom - frame.top), std::make_pair(520L, 285L));

    // In tab order; kind is the button or combo box type.
    using Control = std::tuple<int, std::wstring, std::wstring, LONG_PTR>;
    const std::vector<Control> expected = {
        {IDC_DISPLAY_LITERARY_BRAILLE, L"Button", L"&Display Literary Braille", BS_AUTOCHECKBOX},
        {IDC_USE_CONTRACTED_BRAILLE_INPUT, L"Button", L"&Contracted Braille Input", BS_AUTOCHECKBOX},
        {IDC_SET_TABLES, L"Button", L"&Set Tables...", BS_PUSHBUTTON},
        {IDC_MARKING, L"Button", L"&Marking...", BS_PUSHBUTTON},
        {IDC_STATIC, L"Static", L"M&ultiline Braille:", 0},
        {IDC_MULTILINE_BRAILLE, L"ComboBox", L"Auto", CBS_DROPDOWNLIST},
        {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, L"Button", L"&Hybrid Print and Braille Mode", BS_AUTOCHECKBOX},
        {IDC_SHOW_BRAILLE_VISUALIZER, L"Button", L"Show Braille &Visualizer", BS_AUTOCHECKBOX},
        {IDC_APPLY, L"Button", L"Appl&y", BS_PUSHBUTTON},
        {IDC_OK, L"Button", L"OK", BS_DEFPUSHBUTTON},
        {IDC_CANCEL, L"Button", L"Cancel", BS_PUSHBUTTON},
        {IDC_ABOUT, L"Button", L"&About...", BS_PUSHBUTTON},
        {IDC_EXIT, L"Button", L"E&xit", BS_PUSHBUTTON},
    };
    std::vector<Control> shown;
    for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
        const std::wstring name = className(c);
        shown.emplace_back(controlId(c), name, windowText(c),
                           name == L"Button" ? style & BS_TYPEMASK : name == L"ComboBox" ? style & 3 : 0);
        EXPECT_TRUE(IsWindowEnabled(c) && IsWindowVisible(c)) << toUtf8(windowText(c));
        EXPECT_EQ((style & WS_TABSTOP) != 0, name != L"Static") << toUtf8(windowText(c));
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(comboItems(child(window, IDC_MULTILINE_BRAILLE)),
              (std::vector<std::wstring>{L"Auto", L"Max lines (force six dot Braille)", L"Double Line Spacing"}));
    EXPECT_EQ(shownState(window), State{});

    EXPECT_EQ(applies(journal()), std::vector<std::string>{sentFor(State{})});
    std::vector<std::string> reported;
    for (const std::string& line : debugLines(*program))
        reported.push_back(std::regex_replace(line, std::regex("elapsed=[0-9]+ ms"), "elapsed=N ms"));
    std::vector<std::string> expectedLines;
    for (const char* call : {"DisplayLiteraryBraille(1)", "EnableContractedBrailleInput(0)", "ShowBrailleOnScreen(0)",
                             "ForceSixDotBraille(0)", "SetBrailleLinePadding(1)"})
        expectedLines.push_back(std::string("Lumibrel: ") + call + " elapsed=N ms");
    expectedLines.push_back("Lumibrel: SetHybridPrintAndBrailleMode(0) hr=0x00000000");
    expectedLines.push_back("Lumibrel: WM_APP_API_APPLY total elapsed=N ms");
    EXPECT_EQ(reported, expectedLines);

    postClick(child(window, IDC_ABOUT));
    expectBox(program->pid(), L"Lumibrel version 1.01\n\nBraille display settings. The display itself is driven by the "
              L"Cellvane display API.", BoxIcon::Information);

    // Nothing differs from the defaults, so even Exit's apply leaves no file.
    EXPECT_EQ(exitWithExitButton(*program), 0u);
    EXPECT_EQ(applies(journal()).size(), 2u);
    EXPECT_FALSE(componentFolderExists());
}

TEST_F(MainWindowTest, LoadsStoredSettingsIntoControls)
{
    const std::tuple<const wchar_t*, const wchar_t*, State> cases[] = {
        {L"DisplayLiteraryBraille=0\nUseContractedBrailleInput=yes", L"", {true, true, false, false, 0}},
        {L"DisplayLiteraryBraille=True", L"ShowBrailleVisualizer=True\nHybridPrintAndBrailleMode=True", {}},
        {L"DisplayLiteraryBraille=", L"ShowBrailleVisualizer=on\nHybridPrintAndBrailleMode=YES\n"
         L"ForceSixDotBraille=TRUE\nBrailleLinePadding=0", {true, false, true, true, 1}},
        {L"DisplayLiteraryBraille=NO\nUseContractedBrailleInput=off\nLiteraryTable=de-g2.ctb",
         L"ForceSixDotBraille=1\nBrailleLinePadding=-2", {false, false, false, false, 1}},
        {L"", L"ForceSixDotBraille=false\nBrailleLinePadding=3abc", {true, false, false, false, 2}},
        {L"", L"ForceSixDotBraille=on\nBrailleLinePadding=2", {}},
        {L"", L"ForceSixDotBraille=1\nBrailleLinePadding=3", {}},
    };
    for (const auto& [liblouis, settings, expected] : cases) {
        SCOPED_TRACE(toUtf8(std::wstring(liblouis) + L" | " + settings));
        writeSettings(L"[Liblouis]\n" + std::wstring(liblouis) + L"\n[Settings]\n" + settings + L"\n");
        DeleteFileW(journalPath().c_str());
        HWND window = open();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(shownState(window), expected);
        // A stored table name counts as applied already: no tables are sent.
        EXPECT_EQ(applies(journal()), std::vector<std::string>{sentFor(expected)});
        EXPECT_EQ(exitWithExitButton(*program), 0u);
    }
}

TEST_F(MainWindowTest, ApplyWritesOnlyChangedKeysAndPushesNothingBeforeApply)
{
    writeSettings(L"[Display]\nPort=USB\n"
                 L"[Liblouis]\nLiteraryTable=de-g2.ctb\nDisplayLiteraryBraille=0\nUseContractedBrailleInput=yes\n"
                 L"[Settings]\nShowBrailleVisualizer=off\nBrailleLinePadding=2\nCustom=x\n");
    const IniFile seeded = readIni(settingsPath());
    ASSERT_EQ(seeded.size(), 3u);

    HWND window = open();
    ASSERT_NE(window, nullptr);
    // Contracted input brings literary braille, in window, file and component.
    EXPECT_EQ(shownState(window), (State{true, true, false, false, 0}));
    IniFile stored = withValue(seeded, L"Liblouis", L"DisplayLiteraryBraille", L"1");
    EXPECT_EQ(readIni(settingsPath()), stored);
    EXPECT_EQ(applies(journal()).back(), sentFor({true, true, false, false, 0}));

    const auto clickOn = [&](int id) { click(child(window, id)); };
    const auto choose = [&](int item) { chooseComboItem(child(window, IDC_MULTILINE_BRAILLE), item); };
    const std::tuple<const char*, std::function<void()>, State, std::vector<std::array<const wchar_t*, 3>>>
        steps[] = {
            {"visualizer on, double spacing", [&] { clickOn(IDC_SHOW_BRAILLE_VISUALIZER); choose(2); },
             {true, true, true, false, 2}, {{L"Settings", L"ShowBrailleVisualizer", L"1"}}},
            {"literary off takes contracted along", [&] { clickOn(IDC_DISPLAY_LITERARY_BRAILLE); },
             {false, false, true, false, 2},
             {{L"Liblouis", L"DisplayLiteraryBraille", L"0"}, {L"Liblouis", L"UseContractedBrailleInput", L"0"}}},
            {"contracted on brings literary, max lines",
             [&] { clickOn(IDC_USE_CONTRACTED_BRAILLE_INPUT); choose(1); },
             {true, true, true, false, 1},
             {{L"Liblouis", L"DisplayLiteraryBraille", L"1"}, {L"Liblouis", L"UseContractedBrailleInput", L"1"}}},
            {"hybrid on, auto", [&] { clickOn(IDC_HYBRID_PRINT_AND_BRAILLE_MODE); choose(0); },
             {true, true, true, true, 0}, {{L"Settings", L"HybridPrintAndBrailleMode", L"1"}}},
        };
    for (const auto& [what, change, expected, written] : steps) {
        SCOPED_TRACE(what);
        const size_t before = applies(journal()).size();
        change();
        EXPECT_EQ(shownState(window), expected);
        pumpMessagesFor(300ms);
        EXPECT_EQ(applies(journal()).size(), before) << "pushed before Apply";
        EXPECT_EQ(readIni(settingsPath()), stored) << "written before Apply";

        ASSERT_TRUE(click(child(window, IDC_APPLY)));
        ASSERT_TRUE(waitForApplies(*program, before + 1));
        EXPECT_EQ(applies(journal()).back(), sentFor(expected));
        for (const auto& [section, key, value] : written) stored = withValue(stored, section, key, value);
        EXPECT_EQ(readIni(settingsPath()), stored);
    }
    EXPECT_EQ(exitWithExitButton(*program), 0u);
}

TEST_F(MainWindowTest, HybridModeFollowsComponentsReport)
{
    writeSettings(L"[Settings]\nHybridPrintAndBrailleMode=1\n");
    HWND window = open(LaunchOptions().set(L"CELLVANE_SIM_HYBRID", L"0,0"));
    ASSERT_NE(window, nullptr);
    HWND hybrid = child(window, IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowEnabled(hybrid); }, 5s));
    EXPECT_FALSE(isChecked(hybrid));

    ASSERT_TRUE(click(child(window, IDC_APPLY)));
    ASSERT_TRUE(waitForApplies(*program, 2));
    EXPECT_EQ(applies(journal()).back(), sentFor({}));
    EXPECT_EQ(readIniValue(settingsPath(), L"Settings", L"HybridPrintAndBrailleMode"), L"0");

    // A later report of the mode offers it again, off until the user chooses it.
    PostMessageW(window, WM_APP_API_STARTED, 1, 0);
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(hybrid) != FALSE; }, 5s));
    EXPECT_FALSE(isChecked(hybrid));
    ASSERT_TRUE(click(hybrid));
    ASSERT_TRUE(click(child(window, IDC_APPLY)));
    ASSERT_TRUE(waitForApplies(*program, 3));
    EXPECT_EQ(applies(journal()).back(), sentFor({true, false, false, true, 0}));
    EXPECT_EQ(readIniValue(settingsPath(), L"Settings", L"HybridPrintAndBrailleMode"), L"1");
    EXPECT_EQ(exitWithExitButton(*program), 0u);
}

TEST_F(MainWindowTest, HidesWithoutApplyingAndComesBackAsLeft)
{
    HWND window = open();
    ASSERT_NE(window, nullptr);
    HWND first = child(window, IDC_DISPLAY_LITERARY_BRAILLE);
    HWND combo = child(window, IDC_MULTILINE_BRAILLE);
    ASSERT_TRUE(click(child(window, IDC_SHOW_BRAILLE_VISUALIZER)));
    chooseComboItem(combo, 2);
    const State left{true, false, true, false, 2};

    size_t hotKeys = 0;
    const auto pressHotKey = [&] {
        EXPECT_TRUE(otherProgramInFront());
        pressKeyWith({VK_CONTROL, VK_MENU}, 'T');
        ++hotKeys;
    };
    const auto startAgain = [&] { EXPECT_EQ(watchUntilExit(start()).exitCode, 0u); };
    const std::tuple<const char*, std::function<void()>, std::function<void()>> rounds[] = {
        {"Escape", [] { pressKey(VK_ESCAPE); }, pressHotKey},
        {"Cancel", [&] { click(child(window, IDC_CANCEL)); }, startAgain},
        {"close box", [&] { PostMessageW(window, WM_CLOSE, 0, 0); }, pressHotKey},
    };
    for (const auto& [hide, doHide, show] : rounds) {
        SCOPED_TRACE(hide);
        // The label's access key leads to the combo box; coming back must
        // then move the focus to the first check box again.
        ASSERT_TRUE(bringToFront(window));
        pressKeyWith({VK_MENU}, 'U');
        EXPECT_TRUE(waitForFocus(combo)) << "after Alt+U";
        EXPECT_EQ(shownState(window), left) << "Alt+U changed a setting";

        doHide();
        ASSERT_TRUE(waitForHidden(window, 5s));
        show();
        EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(window) && GetForegroundWindow() == window; }, 5s));
        EXPECT_TRUE(waitForFocus(first));
        EXPECT_EQ(shownState(window), left);
    }
    EXPECT_TRUE(journal().waitForCallCount("RefreshFocusedControl", 1 + hotKeys, 5s));
    EXPECT_EQ(journal().callsTo("RefreshFocusedControl").size(), 1 + hotKeys);
    EXPECT_EQ(applies(journal()).size(), 1u) << "hiding applied the settings";
    EXPECT_FALSE(componentFolderExists());

    ASSERT_TRUE(click(child(window, IDC_OK)));
    EXPECT_TRUE(waitForHidden(window, 5s)) << "OK did not hide the window";
    ASSERT_TRUE(waitForApplies(*program, 2));
    EXPECT_EQ(applies(journal()).back(), sentFor(left));
    EXPECT_EQ(readIniValue(settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
    EXPECT_EQ(exitWithExitButton(*program), 0u);
    EXPECT_EQ(applies(journal()).size(), 3u) << "Exit did not apply";
}

TEST_F(MainWindowTest, WithoutSettingsPathEveryApplyFailsVisiblyAndProgramRunsOn)
{
    const std::pair<const char*, LaunchOptions> cases[] = {
        {"no LOCALAPPDATA", LaunchOptions().remove(L"LOCALAPPDATA")},
        {"LOCALAPPDATA of 260 units", LaunchOptions().set(L"LOCALAPPDATA", L"C:\\" + std::wstring(257, L'a'))},
    };
    for (const auto& [name, options] : cases) {
        SCOPED_TRACE(name);
        DeleteFileW(journalPath().c_str());
        program = &start(options);
        expectBox(program->pid(), L"Failed to resolve language INI path.", BoxIcon::Error);   // the start-up apply
        HWND window = mainWindow(*program, false);
        ASSERT_NE(window, nullptr);
        for (int button : {IDC_APPLY, IDC_OK, IDC_EXIT}) {
            SCOPED_TRACE(button);
            postClick(child(window, button));
            expectBox(program->pid(), L"Failed to resolve language INI path.", BoxIcon::Error);
            EXPECT_FALSE(program->waitForExit(300ms)) << "the program ended";
            EXPECT_TRUE(IsWindowVisible(window)) << "the window was hidden";
        }
        EXPECT_TRUE(journal().callsTo("DisplayLiteraryBraille").empty()) << journal().text();
        program->kill();
    }
}

}  // namespace
}  // namespace e2e
