// The program as a braille reader drives it: keys only, given as keyboard
// input through the system, each step checked where the user or the display
// component would notice it.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <array>
#include <functional>

namespace e2e {
namespace {

const int kTabOrder[] = {IDC_DISPLAY_LITERARY_BRAILLE, IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SET_TABLES, IDC_MARKING,
                         IDC_MULTILINE_BRAILLE, IDC_HYBRID_PRINT_AND_BRAILLE_MODE, IDC_SHOW_BRAILLE_VISUALIZER,
                         IDC_APPLY, IDC_OK, IDC_CANCEL, IDC_ABOUT, IDC_EXIT};
constexpr int kControls = static_cast<int>(std::size(kTabOrder));

void alt(char letter) { pressKeyWith({VK_MENU}, static_cast<WORD>(letter)); }
void shiftTab() { pressKeyWith({VK_SHIFT}, VK_TAB); }

class KeyboardWalkthroughTest : public ProgramTest {
protected:
    // Started, applied once, in front with the first check box focused; its
    // Marking... offers four attributes.
    HWND startInFront()
    {
        writeLanguageFile(
            L"[BrailleMarking]\r\nBoldText=1\r\nItalicText=1\r\nStrikethroughText=0\r\nMisspelledWords=1\r\n");
        window_ = mainWindow(*(program_ = &start()));
        return window_ && bringToFront(window_) && focusOn(IDC_DISPLAY_LITERARY_BRAILLE) ? window_ : nullptr;
    }

    HWND openedByKey(char letter, const wchar_t* dialogClass) const
    {
        alt(letter);
        HWND dialog = waitForWindow(program_->pid(), dialogClass, 5s);
        return dialog && waitUntil([&] { return GetForegroundWindow() == dialog; }, 5s) ? dialog : nullptr;
    }

    ::testing::AssertionResult focusOn(int id) const { return waitForFocus(child(window_, id)); }
    bool checked(int id) const { return isChecked(child(window_, id)); }
    std::array<bool, 4> boxes() const
    {
        return {checked(IDC_DISPLAY_LITERARY_BRAILLE), checked(IDC_USE_CONTRACTED_BRAILLE_INPUT),
                checked(IDC_HYBRID_PRINT_AND_BRAILLE_MODE), checked(IDC_SHOW_BRAILLE_VISUALIZER)};
    }
    std::wstring stored(const wchar_t* section, const wchar_t* key) const
    {
        return readIniValue(settingsPath(), section, key).value_or(L"(none)");
    }

    // What the `count`th apply sent for `method`, once that apply is complete.
    std::string sent(const char* method, size_t count) const
    {
        if (!journal().waitForCallCount("SetHybridPrintAndBrailleMode", count, 5s)) return "(no apply)";
        const auto calls = journal().callsTo(method);
        return calls.size() == count ? calls.back().args : std::to_string(calls.size()) + " calls";
    }

    // The hidden window back by its hot key, pressed while the user works in
    // another program.
    void bringBack()
    {
        ASSERT_TRUE(otherProgramInFront()) << "no other program in front";
        const size_t refreshes = journal().callsTo("RefreshFocusedControl").size();
        pressKeyWith({VK_CONTROL, VK_MENU}, 'T');
        ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(window_) && GetForegroundWindow() == window_; }, 5s))
            << "Alt+Ctrl+T did not bring the window back";
        EXPECT_TRUE(focusOn(IDC_DISPLAY_LITERARY_BRAILLE));
        EXPECT_TRUE(journal().waitForCallCount("RefreshFocusedControl", refreshes + 1, 5s));
    }

    Process* program_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(KeyboardWalkthroughTest, TabAndShiftTabVisitEveryControlInOrderAndWrap)
{
    ASSERT_NE(startInFront(), nullptr);
    for (int step = 1; step <= kControls; ++step) {
        pressKey(VK_TAB);
        EXPECT_TRUE(focusOn(kTabOrder[step % kControls])) << "after Tab " << step;
    }
    for (int step = 1; step <= kControls; ++step) {
        shiftTab();
        EXPECT_TRUE(focusOn(kTabOrder[kControls - step])) << "after Shift+Tab " << step;
    }
    EXPECT_EQ(exitWithExitButton(*program_), 0u);
}

TEST_F(KeyboardWalkthroughTest, EveryAccessKeyDoesWhatItsControlDoes)
{
    ASSERT_NE(startInFront(), nullptr);
    // Contracted input drags literary braille along: Alt+D turns both off, Alt+C both on.
    const struct { char key; int focus; std::array<bool, 4> boxes; } toggles[] = {
        {'D', IDC_DISPLAY_LITERARY_BRAILLE, {false, false, false, false}},
        {'C', IDC_USE_CONTRACTED_BRAILLE_INPUT, {true, true, false, false}},
        {'H', IDC_HYBRID_PRINT_AND_BRAILLE_MODE, {true, true, true, false}},
        {'V', IDC_SHOW_BRAILLE_VISUALIZER, {true, true, true, true}},
        {'U', IDC_MULTILINE_BRAILLE, {true, true, true, true}},
    };
    for (const auto& t : toggles) {
        SCOPED_TRACE(std::string("Alt+") + t.key);
        alt(t.key);
        EXPECT_TRUE(focusOn(t.focus));
        EXPECT_TRUE(waitUntil([&] { return boxes() == t.boxes; }, 2s));
    }

    const struct { char key; const wchar_t* dialogClass; } dialogs[] = {
        {'S', LUMIBREL_TABLES_DIALOG_CLASS}, {'M', LUMIBREL_MARKING_DIALOG_CLASS}};
    for (const auto& d : dialogs) {
        SCOPED_TRACE(std::string("Alt+") + d.key);
        HWND dialog = openedByKey(d.key, d.dialogClass);
        ASSERT_NE(dialog, nullptr) << "no dialog came to the front";
        pressKey(VK_ESCAPE);
        EXPECT_TRUE(waitForGone(dialog, 5s)) << "Escape left the dialog open";
        EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == window_; }, 5s));
        // The window puts the focus on its first check box whenever it gets
        // the focus back, so a screen reader always starts from the same place.
        EXPECT_TRUE(focusOn(IDC_DISPLAY_LITERARY_BRAILLE));
    }

    alt('Y');
    for (const char* method : {"DisplayLiteraryBraille", "EnableContractedBrailleInput",
                               "SetHybridPrintAndBrailleMode", "ShowBrailleOnScreen"})
        EXPECT_EQ(sent(method, 2), "-1") << method;
    EXPECT_EQ(stored(L"Liblouis", L"UseContractedBrailleInput"), L"1");
    EXPECT_TRUE(IsWindowVisible(window_)) << "Apply hid the window";

    alt('A');
    std::optional<MessageBoxView> about = waitForMessageBox(program_->pid(), 5s);
    ASSERT_TRUE(about) << "Alt+A showed no About box";
    EXPECT_TRUE(contains(about->text, L"version")) << toUtf8(about->text);
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitForGone(about->window, 5s)) << "Enter did not dismiss the About box";
    EXPECT_TRUE(focusOn(IDC_DISPLAY_LITERARY_BRAILLE));

    alt('V');   // a change only Exit can write
    ASSERT_TRUE(waitUntil([&] { return !checked(IDC_SHOW_BRAILLE_VISUALIZER); }, 2s));
    alt('X');
    EXPECT_EQ(program_->waitForExit(), 0u) << "Alt+X did not end the program";
    EXPECT_EQ(sent("ShowBrailleOnScreen", 3), "0");
    EXPECT_EQ(stored(L"Settings", L"ShowBrailleVisualizer"), L"0");
}

TEST_F(KeyboardWalkthroughTest, SpaceArrowsEnterEscapeAndHotKeyFromAnotherProgram)
{
    ASSERT_NE(startInFront(), nullptr);
    HWND combo = child(window_, IDC_MULTILINE_BRAILLE);
    pressKey(VK_SPACE);
    EXPECT_TRUE(waitUntil([&] { return !checked(IDC_DISPLAY_LITERARY_BRAILLE); }, 2s)) << "Space did not toggle";
    alt('U');
    ASSERT_TRUE(focusOn(IDC_MULTILINE_BRAILLE));
    for (const auto& [key, selection] : {std::pair{VK_DOWN, 1}, std::pair{VK_DOWN, 2}, std::pair{VK_UP, 1}}) {
        pressKey(static_cast<WORD>(key));
        EXPECT_TRUE(waitUntil([&] { return comboSelection(combo) == selection; }, 2s))
            << "selection is " << comboSelection(combo) << ", not " << selection;
    }

    // Enter on the combo box is OK: applied, written, hidden. Coming back
    // then has to move the focus to the first check box.
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitForHidden(window_, 5s)) << "Enter on the combo box did not hide the window";
    EXPECT_EQ(sent("ForceSixDotBraille", 2), "-1");
    EXPECT_EQ(sent("DisplayLiteraryBraille", 2), "0");
    EXPECT_EQ(stored(L"Liblouis", L"DisplayLiteraryBraille"), L"0");

    // Enter on a check box is OK too, Enter on a push button presses that
    // button, Escape is Cancel: neither applied nor written.
    const struct { const char* keys; std::function<void()> press; bool hides; size_t applies; } rounds[] = {
        {"Space, Enter on a check box", [] { pressKey(VK_SPACE); pressKey(VK_RETURN); }, true, 3},
        {"Enter on Apply", [&] { for (int i = 0; i < 5; ++i) shiftTab();
                                 EXPECT_TRUE(focusOn(IDC_APPLY)); pressKey(VK_RETURN); }, false, 4},
        {"Enter on Cancel", [&] { pressKey(VK_TAB); pressKey(VK_TAB);
                                  EXPECT_TRUE(focusOn(IDC_CANCEL)); pressKey(VK_RETURN); }, true, 4},
        {"Space, Escape", [] { pressKey(VK_SPACE); pressKey(VK_ESCAPE); }, true, 4},
    };
    for (const auto& r : rounds) {
        SCOPED_TRACE(r.keys);
        if (!IsWindowVisible(window_)) {
            ASSERT_NO_FATAL_FAILURE(bringBack());
        }
        r.press();
        EXPECT_EQ(waitForHidden(window_, r.hides ? 5s : 300ms), r.hides);
        EXPECT_EQ(sent("DisplayLiteraryBraille", r.applies), "-1");
        pumpMessagesFor(200ms);
        EXPECT_EQ(journal().callsTo("DisplayLiteraryBraille").size(), r.applies);
        EXPECT_EQ(stored(L"Liblouis", L"DisplayLiteraryBraille"), L"1");
    }

    ASSERT_NO_FATAL_FAILURE(bringBack());
    EXPECT_EQ(exitWithExitButton(*program_), 0u);
}

TEST_F(KeyboardWalkthroughTest, TablesAndMarkingChosenByKeysReachComponentAndSettingsFile)
{
    putFiles(programFile(L"tables"), {L"en-us-g1.ctb", L"en-us-g2.ctb", L"en-us-comp6.ctb", L"en-us-comp8.ctb",
                                      L"en-us-mathtext.ctb", L"nemeth.ctb"});
    ASSERT_NE(startInFront(), nullptr);
    HWND dialog = openedByKey('S', LUMIBREL_TABLES_DIALOG_CLASS);
    ASSERT_NE(dialog, nullptr);
    const struct { char key; int list; WORD arrow; const wchar_t* chosen; } lists[] = {
        {'C', IDC_COMPUTER_TABLE, VK_UP, L"en-us-comp6.ctb"},
        {'M', IDC_MATH_TABLE, VK_DOWN, L"nemeth.ctb"},
        {'L', IDC_LITERARY_TABLE, VK_UP, L"en-us-g1.ctb"},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(std::string("Alt+") + l.key);
        alt(l.key);
        EXPECT_TRUE(waitForFocus(child(dialog, l.list)));
        pressKey(l.arrow);
        HWND list = child(dialog, l.list);
        EXPECT_TRUE(waitUntil([&] { return comboItemText(list, comboSelection(list)) == l.chosen; }, 2s))
            << toUtf8(comboItemText(list, comboSelection(list)));
    }
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitForGone(dialog, 5s)) << "Enter did not accept the tables";
    EXPECT_TRUE(focusOn(IDC_DISPLAY_LITERARY_BRAILLE));
    EXPECT_TRUE(journal().callsTo("SetBrailleTables").empty()) << "tables were sent before Apply";
    alt('Y');
    std::optional<JournalCall> tables =
        journal().waitForCall([](const JournalCall& call) { return call.method == "SetBrailleTables"; }, 5s);
    ASSERT_TRUE(tables) << journal().text();
    EXPECT_EQ(tables->args, R"("en-us-g1.ctb","nemeth.ctb","en-us-comp6.ctb")");

    dialog = openedByKey('M', LUMIBREL_MARKING_DIALOG_CLASS);
    ASSERT_NE(dialog, nullptr);
    // The dialog manager moves to a check box by its access key and clicks
    // it, as in any dialog: the user gets the box toggled.
    const struct { const char* keys; std::function<void()> press; int focus; std::array<bool, 4> marked; } steps[] = {
        {"Alt+X", [] { alt('X'); }, 2, {true, true, true, true}},
        {"Space", [] { pressKey(VK_SPACE); }, 2, {true, true, false, true}},
        {"Space", [] { pressKey(VK_SPACE); }, 2, {true, true, true, true}},
        {"Alt+W", [] { alt('W'); }, 3, {true, true, true, false}},
        {"Shift+Tab", shiftTab, 2, {true, true, true, false}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.keys);
        s.press();
        EXPECT_TRUE(waitForFocus(child(dialog, IDC_MARKING_FIRST_CHECKBOX + s.focus), 2s));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(isChecked(child(dialog, IDC_MARKING_FIRST_CHECKBOX + i)), s.marked[i]) << "box " << i;
    }
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitForGone(dialog, 5s)) << "Enter did not accept the marking";
    EXPECT_EQ(readIni(settingsPath()), (IniFile{{L"BrailleMarking", {L"BoldText=1", L"ItalicText=1",
                                                                      L"StrikethroughText=1", L"MisspelledWords=0"}}}));
    EXPECT_TRUE(focusOn(IDC_DISPLAY_LITERARY_BRAILLE));
    EXPECT_EQ(exitWithExitButton(*program_), 0u);
}

}  // namespace
}  // namespace e2e
