// The main window as its user and the display component see it: start-up,
// what it shows from and writes to the shared settings file, what it sends,
// the keyboard, hiding and coming back, and the end.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

TEST_F(Lumibrel, FreshStartAppliesDefaultsOnTheWorkerThreadAndHidingAppliesNothing)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(textOf(main), L"Lumibrel");
    EXPECT_TRUE(focusOn(item(IDC_DISPLAY_LITERARY_BRAILLE)));
    EXPECT_EQ(GetForegroundWindow(), main);
    const std::string started = "Created() Start(0) QueryHybridSupport(1,1) SetEnabled(-1) RefreshFocusedControl() ";
    EXPECT_TRUE(journal().starts_with(started + sentFor(kDefaults) + " ")) << journal();
    const std::string worker = std::regex_replace(s->journal().at(0), std::regex(".* tid="), " tid=");
    EXPECT_NE(worker, " tid=" + std::to_string(GetWindowThreadProcessId(main, nullptr))); // the worker's apartment
    for (const std::string& line : s->journal())
        EXPECT_TRUE(line.ends_with(worker)) << line;
    EXPECT_TRUE(click(item(IDC_SHOW_BRAILLE_VISUALIZER)));
    choose(item(IDC_MULTILINE_BRAILLE), 2);
    const auto hotKey = [&] {
        EXPECT_TRUE(s->otherProgramInFront());
        keys({VK_CONTROL, VK_MENU, 'T'});
    };
    const auto startAgain = [&] { EXPECT_EQ(s->start().waitForExit(), 0u) << "a second start ends at once"; };
    struct Round {
        std::function<void()> hide, show;
    };
    const Round rounds[] = {
        {[] { keys({VK_ESCAPE}); }, hotKey},
        {[&] { EXPECT_TRUE(click(item(IDC_CANCEL))); }, startAgain},
        {[&] { PostMessageW(main, WM_CLOSE, 0, 0); }, hotKey},
    };
    for (const Round& round : rounds) {
        ASSERT_TRUE(toFront(main));
        keys({VK_MENU, 'U'}); // the label's access key leads to the combo box
        EXPECT_TRUE(focusOn(item(IDC_MULTILINE_BRAILLE)));
        round.hide();
        ASSERT_TRUE(hidden());
        round.show();
        EXPECT_TRUE(focusIn(main));
        EXPECT_TRUE(focusOn(item(IDC_DISPLAY_LITERARY_BRAILLE)));
        EXPECT_EQ(shown(), "10102");
    }
    EXPECT_FALSE(fs::exists(s->settingsFolder())) << "written while nothing differs from the defaults";
    exitCleanly();
    EXPECT_EQ(sent(), (Lines{sentFor(kDefaults), sentFor("10102")})) << "hiding applied, or Exit did not";
    EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
    EXPECT_EQ(calls("RefreshFocusedControl(").size(), 3u) << "once at start, then once a hot key";
    EXPECT_TRUE(journal().ends_with(" SetEnabled(0) Stop() Released() "));
}

TEST_F(Lumibrel, StoredSettingsAreShownAndApplyWritesOnlyWhatChangedAndSendsNothingBeforeApply)
{
    s->writeSettings(L"[Display]\nPort=USB\n[Liblouis]\nLiteraryTable=de-g2.ctb\nDisplayLiteraryBraille=0\n"
                     L"UseContractedBrailleInput=yes\n[Settings]\nShowBrailleVisualizer=off\nForceSixDotBraille=TRUE\n"
                     L"BrailleLinePadding=0\nHybridPrintAndBrailleMode=True\n"); // not a form the file's rules know
    Ini stored = readIni(s->settingsPath());
    ASSERT_TRUE(open(kComponentKeepsNothing));
    struct Key {
        const wchar_t *section, *name, *value;
    };
    const auto set = [&](const Key& key) {
        auto& lines = std::ranges::find(stored, key.section, &Ini::value_type::first)->second;
        const std::wstring prefix = key.name + std::wstring(L"=");
        auto line = std::ranges::find_if(lines, [&](const std::wstring& l) { return l.starts_with(prefix); });
        if (line == lines.end())
            line = lines.insert(line, L"");
        *line = prefix + key.value;
    };
    set({L"Liblouis", L"DisplayLiteraryBraille", L"1"}); // contracted input brings literary braille
    EXPECT_EQ(shown(), "11001");
    EXPECT_EQ(lastSent(), sentFor("11001")) << "the stored tables count as applied: none are sent";
    EXPECT_EQ(readIni(s->settingsPath()), stored);
    send(item(IDC_DISPLAY_LITERARY_BRAILLE), BM_SETCHECK, BST_UNCHECKED); // as an assistive tool may: Apply mends it
    ASSERT_TRUE(applyAndWait());
    EXPECT_EQ(shown(), "11001");
    EXPECT_EQ(lastSent(), sentFor("11001"));
    struct Step {
        int box, multiline;
        State shown;
        std::vector<Key> written;
    };
    // clang-format off
    const Step steps[] = {
        {IDC_SHOW_BRAILLE_VISUALIZER, 2, "11102", {{L"Settings", L"ShowBrailleVisualizer", L"1"}}},
        {IDC_DISPLAY_LITERARY_BRAILLE, 2, "00102", {{L"Liblouis", L"DisplayLiteraryBraille", L"0"},
                                                    {L"Liblouis", L"UseContractedBrailleInput", L"0"}}},
        {IDC_USE_CONTRACTED_BRAILLE_INPUT, 1, "11101", {{L"Liblouis", L"DisplayLiteraryBraille", L"1"},
                                                        {L"Liblouis", L"UseContractedBrailleInput", L"1"}}},
        {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, 0, "11110", {{L"Settings", L"HybridPrintAndBrailleMode", L"1"}}},
    };
    // clang-format on
    for (const Step& step : steps) {
        SCOPED_TRACE(step.shown);
        EXPECT_TRUE(click(item(step.box)));
        choose(item(IDC_MULTILINE_BRAILLE), step.multiline);
        EXPECT_EQ(shown(), step.shown);
        EXPECT_EQ(readIni(s->settingsPath()), stored) << "written before Apply";
        ASSERT_TRUE(applyAndWait());
        EXPECT_EQ(lastSent(), sentFor(step.shown));
        for (const Key& key : step.written)
            set(key);
        EXPECT_EQ(readIni(s->settingsPath()), stored);
    }
    exitCleanly();
    EXPECT_EQ(sent().size(), std::size(steps) + 3) << "sent before Apply"; // with start-up, the mend and Exit
}

TEST_F(Lumibrel, EveryControlIsReachedAndUsedByKeys)
{
    s->writeLanguageFile(L"[BrailleMarking]\nBoldText=0\n");
    ASSERT_TRUE(open());
    // clang-format off
    const int order[] = {IDC_DISPLAY_LITERARY_BRAILLE, IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SET_TABLES, IDC_MARKING,
        IDC_MULTILINE_BRAILLE, IDC_HYBRID_PRINT_AND_BRAILLE_MODE, IDC_SHOW_BRAILLE_VISUALIZER, IDC_APPLY, IDC_OK,
        IDC_CANCEL, IDC_ABOUT, IDC_EXIT};
    // clang-format on
    const size_t n = std::size(order);
    for (size_t i = 1; i <= n; ++i) { // once round by Tab
        keys({VK_TAB});
        EXPECT_TRUE(focusOn(item(order[i % n]))) << i;
    }
    // The access keys are those of the texts, in the user's language.
    struct Press {
        WORD key;    // pressed alone, or 0 for Alt with the control's access key
        int control; // the control that has the focus then
        State after;
    };
    // clang-format off
    const Press presses[] = {{0, IDC_DISPLAY_LITERARY_BRAILLE, "00000"},
                             {0, IDC_USE_CONTRACTED_BRAILLE_INPUT, "11000"},
                             {0, IDC_HYBRID_PRINT_AND_BRAILLE_MODE, "11010"},
                             {0, IDC_SHOW_BRAILLE_VISUALIZER, "11110"},
                             {0, IDC_MULTILINE_BRAILLE, "11110"},
                             {VK_DOWN, IDC_MULTILINE_BRAILLE, "11111"},
                             {VK_DOWN, IDC_MULTILINE_BRAILLE, "11112"},
                             {0, IDC_DISPLAY_LITERARY_BRAILLE, "00112"}, // contracted input goes with it
                             {VK_SPACE, IDC_DISPLAY_LITERARY_BRAILLE, "10112"}};
    // clang-format on
    for (const Press& press : presses) {
        if (press.key)
            keys({press.key});
        else
            alt(press.control);
        EXPECT_TRUE(focusOn(item(press.control))) << &press - presses;
        EXPECT_TRUE(shows(press.after)) << &press - presses << " shows " << shown();
    }
    keys({VK_MENU, VK_RETURN}); // a system key, not Enter
    alt(IDC_APPLY);
    ASSERT_TRUE(s->waitForApplies(*p, 2));
    EXPECT_EQ(lastSent(), sentFor("10112"));
    EXPECT_TRUE(IsWindowVisible(main)) << "Alt+Enter was taken for OK";
    const std::pair<int, const wchar_t*> dialogs[] = {{IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS},
                                                      {IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS},
                                                      {IDC_ABOUT, kMessageBoxClass}};
    for (const auto& [button, className] : dialogs) { // each opens by its access key, and Escape closes it
        alt(button);
        closeBy(VK_ESCAPE, inFront(className));
    }
    for (int i = 0; i < 3; ++i)
        keys({VK_SHIFT, VK_TAB});
    ASSERT_TRUE(focusOn(item(IDC_CANCEL)));
    keys({VK_RETURN}); // Enter on Cancel presses it, applying nothing
    EXPECT_TRUE(hidden());
    PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0);
    ASSERT_TRUE(focusIn(main));
    alt(IDC_SHOW_BRAILLE_VISUALIZER);
    EXPECT_TRUE(shows("10012"));
    keys({VK_RETURN}); // Enter on a check box is OK
    EXPECT_TRUE(hidden());
    ASSERT_TRUE(s->waitForApplies(*p, 3)) << "Cancel applied";
    EXPECT_EQ(lastSent(), sentFor("10012"));
    PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0);
    ASSERT_TRUE(focusIn(main));
    alt(IDC_EXIT);
    EXPECT_EQ(p->waitForExit(), 0u);
    EXPECT_EQ(sent().size(), 4u) << "Cancel or Alt+Enter applied";
}

} // namespace
} // namespace e2e
