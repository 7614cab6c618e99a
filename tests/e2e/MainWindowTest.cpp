// The main window as its user and the display component see it: start-up,
// what it loads from and writes to the shared settings file, what it sends,
// the keyboard, hiding and coming back, and the end.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

const Env kKeepFile = {{L"CELLVANE_SIM_PERSIST", L"0"}}; // the file holds only what the program writes

TEST_F(Lumibrel, FreshStartAppliesDefaultsOnTheWorkerThreadAndHidingAppliesNothing) {
    ASSERT_TRUE(open());
    EXPECT_EQ(textOf(main), L"Lumibrel");
    EXPECT_TRUE(focusOn(item(IDC_DISPLAY_LITERARY_BRAILLE)) && GetForegroundWindow() == main);
    const std::string started = "Created() Start(0) QueryHybridSupport(1,1) SetEnabled(-1) RefreshFocusedControl() ";
    EXPECT_TRUE(journal().starts_with(started + sentFor(kDefaults) + " ")) << journal();
    const std::string worker = std::regex_replace(s->journal().at(0), std::regex(".* tid="), " tid=");
    EXPECT_NE(worker, " tid=" + std::to_string(GetWindowThreadProcessId(main, nullptr))); // the worker's apartment
    for (const std::string& line : s->journal()) EXPECT_TRUE(line.ends_with(worker)) << line;
    std::string reported; // one line a call, without the times
    const std::regex kElapsed("=[0-9]+ ms");
    for (const std::string& line : s->debugLines(*p)) reported += std::regex_replace(line, kElapsed, "") + "|";
    EXPECT_EQ(reported, "Lumibrel: DisplayLiteraryBraille(1) elapsed|Lumibrel: EnableContractedBrailleInput(0) elapsed|"
                        "Lumibrel: ShowBrailleOnScreen(0) elapsed|Lumibrel: ForceSixDotBraille(0) elapsed|"
                        "Lumibrel: SetBrailleLinePadding(1) elapsed|Lumibrel: SetHybridPrintAndBrailleMode(0) "
                        "hr=0x00000000|Lumibrel: WM_APP_API_APPLY total elapsed|");
    click(item(IDC_SHOW_BRAILLE_VISUALIZER)), choose(item(IDC_MULTILINE_BRAILLE), 2);
    size_t hotKeys = 0;
    const auto hotKey = [&] {
        EXPECT_TRUE(s->otherProgramInFront());
        keys({VK_CONTROL, VK_MENU, 'T'}), ++hotKeys;
    };
    const auto startAgain = [&] { EXPECT_EQ(s->start().waitForExit(), 0u) << "a second start ends at once"; };
    const std::pair<std::function<void()>, std::function<void()>> rounds[] = {
        {[] { keys({VK_ESCAPE}); }, hotKey},
        {[&] { click(item(IDC_CANCEL)); }, startAgain},
        {[&] { PostMessageW(main, WM_CLOSE, 0, 0); }, hotKey},
    };
    for (const auto& [hide, show] : rounds) {
        ASSERT_TRUE(toFront(main));
        keys({VK_MENU, 'U'}); // the label's access key leads to the combo box
        EXPECT_TRUE(focusOn(item(IDC_MULTILINE_BRAILLE)));
        hide();
        ASSERT_TRUE(hidden());
        show();
        EXPECT_TRUE(focusIn(main) && focusOn(item(IDC_DISPLAY_LITERARY_BRAILLE)));
        EXPECT_EQ(shown(), "10102");
    }
    EXPECT_TRUE(waitForCalls("RefreshFocusedControl(", 1 + hotKeys));
    EXPECT_EQ(calls("RefreshFocusedControl(").size(), 1 + hotKeys);
    EXPECT_EQ(sent().size(), 1u) << "hiding applied";
    EXPECT_TRUE(readIni(s->settingsPath()).empty()) << "nothing differs from the defaults";
    click(item(IDC_OK));
    EXPECT_TRUE(hidden()) << "OK hides";
    ASSERT_TRUE(s->waitForApplies(*p, 2));
    EXPECT_EQ(lastSent(), sentFor("10102"));
    EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
    EXPECT_EQ(s->exit(*p), 0u);
    EXPECT_TRUE(journal().ends_with(sentFor("10102") + " SetEnabled(0) Stop() Released() ")); // applied once more
}

TEST_F(Lumibrel, LoadsStoredSettingsIntoTheControlsAndAppliesThem) {
    // clang-format off
    const std::pair<const wchar_t*, State> rows[] = {
        {L"[Liblouis]\nDisplayLiteraryBraille=0\nUseContractedBrailleInput=yes", "11000"},
        {L"[Liblouis]\nDisplayLiteraryBraille=True\n[Settings]\nShowBrailleVisualizer=True\nHybridPrintAndBrailleMode=x", "10000"},
        {L"[Liblouis]\nDisplayLiteraryBraille=\n[Settings]\nShowBrailleVisualizer=on\nHybridPrintAndBrailleMode=YES\n"
         L"ForceSixDotBraille=TRUE\nBrailleLinePadding=0", "10111"},
        {L"[Liblouis]\nDisplayLiteraryBraille=NO\nUseContractedBrailleInput=off\nLiteraryTable=de-g2.ctb\n[Settings]\n"
         L"ForceSixDotBraille=1\nBrailleLinePadding=-2", "00001"},
        {L"[Settings]\nForceSixDotBraille=false\nBrailleLinePadding=3abc", "10002"},
        {L"[Settings]\nForceSixDotBraille=on\nBrailleLinePadding=2", "10000"},
    }; // clang-format on
    for (const auto& [file, expected] : rows) {
        SCOPED_TRACE(utf8(file));
        s->writeSettings(file);
        DeleteFileW(s->journalPath().c_str());
        ASSERT_TRUE(open(kKeepFile));
        EXPECT_EQ(shown(), expected);
        EXPECT_EQ(sent(), Lines{sentFor(expected)}) << "stored tables count as applied: none are sent";
        EXPECT_EQ(s->exit(*p), 0u);
    }
}

TEST_F(Lumibrel, ApplyWritesOnlyWhatChangedAndSendsNothingBeforeApply) {
    s->writeSettings(L"[Display]\nPort=USB\n[Liblouis]\nLiteraryTable=de-g2.ctb\nDisplayLiteraryBraille=0\n"
                     L"UseContractedBrailleInput=yes\n[Settings]\nShowBrailleVisualizer=off\nBrailleLinePadding=2\n");
    Ini stored = readIni(s->settingsPath());
    ASSERT_TRUE(open(kKeepFile));
    const auto set = [&](std::wstring section, std::wstring key, const wchar_t* value) {
        auto& lines = std::ranges::find(stored, section, &Ini::value_type::first)->second;
        auto line = std::ranges::find_if(lines, [&](const std::wstring& l) { return l.starts_with(key + L"="); });
        *(line == lines.end() ? lines.insert(line, L"") : line) = key + L"=" + value;
    };
    set(L"Liblouis", L"DisplayLiteraryBraille", L"1"); // contracted input brings literary braille
    EXPECT_EQ(shown(), "11000");
    EXPECT_EQ(readIni(s->settingsPath()), stored);
    send(item(IDC_DISPLAY_LITERARY_BRAILLE), BM_SETCHECK, BST_UNCHECKED); // as an assistive tool may: Apply mends it
    ASSERT_TRUE(applyAndWait());
    EXPECT_TRUE(shown() == "11000" && lastSent() == sentFor("11000"));
    // clang-format off
    const std::tuple<int, int, State, std::vector<std::array<const wchar_t*, 3>>> steps[] = { // check box, multiline
        {IDC_SHOW_BRAILLE_VISUALIZER, 2, "11102", {{L"Settings", L"ShowBrailleVisualizer", L"1"}}},
        {IDC_DISPLAY_LITERARY_BRAILLE, 2, "00102", {{L"Liblouis", L"DisplayLiteraryBraille", L"0"},
                                                    {L"Liblouis", L"UseContractedBrailleInput", L"0"}}},
        {IDC_USE_CONTRACTED_BRAILLE_INPUT, 1, "11101", {{L"Liblouis", L"DisplayLiteraryBraille", L"1"},
                                                        {L"Liblouis", L"UseContractedBrailleInput", L"1"}}},
        {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, 0, "11110", {{L"Settings", L"HybridPrintAndBrailleMode", L"1"}}},
    }; // clang-format on
    for (const auto& [box, multiline, expected, written] : steps) {
        SCOPED_TRACE(expected);
        const size_t before = sent().size();
        click(item(box)), choose(item(IDC_MULTILINE_BRAILLE), multiline);
        EXPECT_EQ(shown(), expected);
        pump(300ms);
        EXPECT_EQ(sent().size(), before) << "sent before Apply";
        EXPECT_EQ(readIni(s->settingsPath()), stored) << "written before Apply";
        ASSERT_TRUE(applyAndWait());
        EXPECT_EQ(lastSent(), sentFor(expected));
        for (const auto& [section, key, value] : written) set(section, key, value);
        EXPECT_EQ(readIni(s->settingsPath()), stored);
    }
    EXPECT_EQ(s->exit(*p), 0u);
}

TEST_F(Lumibrel, EveryControlIsReachedAndUsedByKeys) {
    s->writeLanguageFile(L"[BrailleMarking]\nBoldText=0\n");
    ASSERT_TRUE(open());
    // clang-format off
    const int order[] = {IDC_DISPLAY_LITERARY_BRAILLE, IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SET_TABLES, IDC_MARKING,
        IDC_MULTILINE_BRAILLE, IDC_HYBRID_PRINT_AND_BRAILLE_MODE, IDC_SHOW_BRAILLE_VISUALIZER, IDC_APPLY, IDC_OK,
        IDC_CANCEL, IDC_ABOUT, IDC_EXIT};
    const std::tuple<WORD, int, State> accessKeys[] = {{'D', IDC_DISPLAY_LITERARY_BRAILLE, "00000"},
        {'C', IDC_USE_CONTRACTED_BRAILLE_INPUT, "11000"}, {'H', IDC_HYBRID_PRINT_AND_BRAILLE_MODE, "11010"},
        {'V', IDC_SHOW_BRAILLE_VISUALIZER, "11110"}, {'U', IDC_MULTILINE_BRAILLE, "11110"}};
    // clang-format on
    const auto focusId = [&] { return GetDlgCtrlID(focusOf(main)); };
    for (size_t i = 1, n = std::size(order); i <= 2 * n; ++i) { // once round by Tab, then back by Shift+Tab
        i <= n ? keys({VK_TAB}) : keys({VK_SHIFT, VK_TAB});
        EXPECT_EQ(focusId(), order[i <= n ? i % n : 2 * n - i]) << i;
    }
    for (int id : order) { // a screen reader hears each control by a name without the access key's "&"
        const std::wstring name = accessibleName(item(id));
        EXPECT_TRUE(!name.empty() && name.find(L'&') == std::wstring::npos) << id << " " << utf8(name);
    }
    // A combo box is named by the label created right before it.
    EXPECT_EQ(textOf(GetWindow(item(IDC_MULTILINE_BRAILLE), GW_HWNDPREV)), L"M&ultiline Braille:");
    for (const auto& [key, id, expected] : accessKeys) {
        keys({VK_MENU, key});
        EXPECT_TRUE(focusId() == id && shown() == expected) << static_cast<char>(key) << " " << shown();
    }
    keys({VK_DOWN}), keys({VK_DOWN}), keys({VK_MENU, 'D'}), keys({VK_SPACE}); // literary braille off and on again
    EXPECT_EQ(shown(), "10112");
    keys({VK_MENU, 'Y'});
    ASSERT_TRUE(s->waitForApplies(*p, 2));
    EXPECT_EQ(lastSent(), sentFor("10112"));
    for (auto [key, className] : {std::pair{'S', LUMIBREL_TABLES_DIALOG_CLASS}, {'M', LUMIBREL_MARKING_DIALOG_CLASS},
                                  {'A', kMessageBoxClass}}) {
        keys({VK_MENU, static_cast<WORD>(key)});
        HWND window = waitForWindow(p->pid(), className, 5s);
        keys({VK_ESCAPE});
        EXPECT_TRUE(window && gone(window)) << key;
    }
    for (int i = 0; i < 3; ++i) keys({VK_SHIFT, VK_TAB}); // to Cancel: Enter presses it, applying nothing
    ASSERT_EQ(focusId(), IDC_CANCEL);
    keys({VK_RETURN});
    EXPECT_TRUE(hidden() && sent().size() == 2);
    PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0);
    ASSERT_TRUE(focusIn(main));
    keys({VK_MENU, 'V'}), keys({VK_RETURN}); // Enter on a check box is OK
    EXPECT_TRUE(hidden() && s->waitForApplies(*p, 3));
    EXPECT_EQ(lastSent(), sentFor("10012"));
    PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0);
    ASSERT_TRUE(focusIn(main));
    keys({VK_MENU, 'X'});
    EXPECT_EQ(p->waitForExit(), 0u);
    EXPECT_EQ(sent().size(), 4u);
}

} // namespace
} // namespace e2e
