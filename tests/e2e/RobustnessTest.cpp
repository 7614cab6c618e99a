// A display component that misbehaves, start-ups that go wrong, applies that
// fail, and the keyboard focus around dialogs and message boxes.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

TEST_F(Lumibrel, TheProgramRunsOnAndSaysSoWhateverTheComponentDoes) {
    const auto started = [](std::string query) {
        return "Created() Start(0) QueryHybridSupport(" + query + ") SetEnabled(-1) RefreshFocusedControl() ";
    };
    // The environment, a change to the program folder, whether the component could not be loaded, the journal
    // up to the start-up apply, whether hybrid mode is offered.
    // clang-format off
    const std::tuple<Env, std::function<void()>, bool, std::string, bool> rows[] = {
        {{{L"CELLVANE_SIM_START_HR", L"0x1"}, {L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, false, "Created() Start(0) ", true},
        {{{L"CELLVANE_SIM_FAIL", L"*"}}, nullptr, false, "Created() Start(0) ", true},
        {{{L"CELLVANE_SIM_HYBRID", L"fail"}}, nullptr, false, started("0,0"), true},
        {{{L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, false, started("0,0"), false},
        {{{L"CELLVANE_SIM_DELAY", L"*=400"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_PUMP", L"Start=800"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=800"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_PUMP", L"SetEnabled=800"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_CREATE", L"fail"}}, nullptr, true, "CreateInstance() ", true},
        {{}, [&] { writeText(s->programFile(L"Cellvane.dll"), L"no library"); }, true, "", true},
        {{}, [&] { DeleteFileW(s->programFile(L"Cellvane.dll").c_str()); }, true, "", true},
    }; // clang-format on
    for (const auto& row : rows) {
        const auto& [env, prepare, warned, first, hybridOffered] = row;
        SCOPED_TRACE(&row - rows);
        s->writeSettings(L"[Settings]\nHybridPrintAndBrailleMode=1\n");
        DeleteFileW(s->journalPath().c_str());
        if (prepare) prepare();
        ASSERT_TRUE(open(env, warned ? 0 : 1));
        if (warned)
            expectBox(L"The braille display component could not be loaded. Settings are saved but do not reach the "
                      L"display.",
                      Icon::Warning, main);
        HWND hybrid = item(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        EXPECT_TRUE(waitUntil([&] { return (IsWindowEnabled(hybrid) != FALSE) == hybridOffered; }, 3s));
        EXPECT_EQ(checked(hybrid), hybridOffered);
        DWORD_PTR ignored; // the window answers at once however long the component takes
        EXPECT_TRUE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 200, &ignored));
        PostMessageW(main, WM_HOTKEY, 1, 0); // a refresh reaches only a started component
        click(item(IDC_APPLY));
        EXPECT_TRUE(noBox()) << "one warning a run, and Apply succeeds";
        EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"HybridPrintAndBrailleMode"), hybridOffered ? L"1" : L"0");
        EXPECT_TRUE(warned || s->waitForApplies(*p, 2));
        EXPECT_TRUE(journal().starts_with(first)) << journal();
        if (!warned) {
            EXPECT_EQ(calls("RefreshFocusedControl(").size(), first.find("Refresh") == std::string::npos ? 0u : 2u);
            EXPECT_EQ(sent(), (Lines{sentFor("10010"), sentFor(hybridOffered ? "10010" : kDefaults)}));
        }
        EXPECT_EQ(s->exit(*p), 0u);
        const std::string stopped = sentFor(hybridOffered ? "10010" : kDefaults) + " SetEnabled(0) Stop() Released() ";
        EXPECT_TRUE(warned || journal().ends_with(stopped)) << journal();
        EXPECT_TRUE(!warned || journal() == first) << "nothing reached a component";
    }
}

TEST_F(Lumibrel, EveryChoiceReachesTheComponentBeforeItIsStoppedHoweverTheProgramEnds) {
    const std::wstring scriptTable = L"\x0431-\x4E2D-g1.ctb"; // outside any one ANSI code page
    makeFolders(s->programFile(L"tables"));
    writeText(s->programFile(L"tables\\" + scriptTable), L"");
    const std::string stopped = " SetEnabled(0) Stop() Released() ";
    const auto clickExit = [&] { postClick(item(IDC_EXIT)); };
    const auto applyThen = [&](int box) {
        click(item(box));
        click(item(IDC_APPLY));
    };
    struct Row {
        Env env;
        std::function<void()> choose; // just before the end
        std::function<void()> end;
        std::string tail; // of the journal
        Millis within;    // from the end to the exit
    };
    const Row rows[] = {
        // The component reads the window while it is stopped: answered at once.
        {{{L"CELLVANE_SIM_READ_WINDOW", L"SetEnabled,Stop"}},
         [] {},
         clickExit,
         "ReadWindow(\"Lumibrel\") SetEnabled(0) ReadWindow(\"Lumibrel\") Stop() Released() ",
         3s},
        // Windows ends the session (as an installer does) just after an Apply.
        {{{L"CELLVANE_SIM_DELAY", L"ShowBrailleOnScreen=1000"}},
         [&] {
             applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
             click(item(IDC_HYBRID_PRINT_AND_BRAILLE_MODE)); // not applied
         },
         [&] {
             EXPECT_EQ(send(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
             send(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
             EXPECT_TRUE(journal().ends_with(sentFor("10100") + stopped)) << "when the message returns";
         },
         sentFor("10100") + stopped,
         5s},
        // Two Applies while the first is inside the component's message loop.
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=1500"}},
         [&] {
             applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
             ASSERT_TRUE(waitForCalls("EnableContractedBrailleInput(", 2)); // now in the loop
             applyThen(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
             applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
         },
         clickExit,
         sentFor("10100") + " " + sentFor("10110") + " " + sentFor("10010") + " " + sentFor("10010") + stopped,
         15s},
        {{},
         [&] { // another program's message, with a pointer of its own making, to the worker's thread
             const std::string worker = std::regex_replace(s->journal().at(0), std::regex(".* tid="), "");
             PostThreadMessageW(std::stoul(worker), WM_APP_API_APPLY, 0, 0x1234);
             applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
         },
         clickExit,
         sentFor("10100") + " " + sentFor("10100") + stopped,
         5s},
        // A slow component, a new table and a multiline choice just before Exit.
        {{{L"CELLVANE_SIM_DELAY", L"*=1000,Start=0,QueryHybridSupport=0,SetEnabled=0,RefreshFocusedControl=0"}},
         [&] {
             ASSERT_TRUE(openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS));
             keys({VK_HOME});
             keys({VK_RETURN});
             choose(item(IDC_MULTILINE_BRAILLE), 2);
         },
         clickExit,
         sentFor("10002",
                 " SetBrailleTables(\"" + utf8(scriptTable) + "\",\"en-us-mathtext.ctb\",\"en-us-comp8.ctb\")") +
             stopped,
         30s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        DeleteFileW(s->journalPath().c_str());
        removeTree(join(s->localAppData(), L"Cellvane")); // a fresh start
        ASSERT_TRUE(open(row.env));
        row.choose();
        row.end();
        EXPECT_EQ(p->waitForExit(row.within), 0u);
        EXPECT_TRUE(journal().ends_with(row.tail)) << journal();
        p->kill();
    }
    ASSERT_TRUE(open()); // the table chosen last, on a fresh start, comes back whole
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_LITERARY_TABLE)), scriptTable);
    keys({VK_ESCAPE});
    EXPECT_EQ(s->exit(*p), 0u);
}

TEST_F(Lumibrel, StartUpAndShutDownHoldWhenTheSystemSaysNo) {
    HANDLE impostor = CreateEventW(nullptr, TRUE, FALSE, LUMIBREL_MUTEX_NAME); // the name taken by another kind
    EXPECT_EQ(s->start().waitForExit(), 1u);
    EXPECT_TRUE(s->journal().empty());
    CloseHandle(impostor);
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_ALT | MOD_CONTROL, 'T'));
    p = &s->start({{L"CELLVANE_SIM_DELAY", L"Stop=8000"}}, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(main = s->createdWindow(*p)); // the box comes before the window is shown
    expectBox(L"Failed to register hotkey Alt+Ctrl+T.\nYou can still access the settings window directly.",
              Icon::Warning, main);
    UnregisterHotKey(nullptr, 1);
    ASSERT_TRUE(s->mainWindow(*p));
    const auto normalInFront = [&] { return !IsIconic(main) && GetForegroundWindow() == main; };
    EXPECT_TRUE(waitUntil(normalInFront, 5s)) << "normal, in front";
    ShowWindow(main, SW_MINIMIZE);
    EXPECT_EQ(s->start().waitForExit(), 0u);
    EXPECT_TRUE(waitUntil(normalInFront, 5s)) << "brought back";
    EXPECT_EQ(calls("Created(").size(), 1u);
    const auto clicked = std::chrono::steady_clock::now();
    EXPECT_EQ(s->exit(*p), 0u); // the component hangs in Stop: the wait for it is bounded
    EXPECT_GE(std::chrono::steady_clock::now() - clicked, 4s);
    EXPECT_TRUE((calls("SetEnabled(") == Lines{"SetEnabled(-1)", "SetEnabled(0)"}) && calls("Stop(").empty());
}

TEST_F(Lumibrel, AFailedApplyIsShownAndExitStillEndsTheProgramWhenTheUserSaysSo) {
    const std::wstring noPath = L"Failed to resolve language INI path.";
    p = &s->start({{L"LOCALAPPDATA", std::nullopt}});
    ASSERT_TRUE(main = s->createdWindow(*p)); // the box comes before the window is shown
    expectBox(noPath, Icon::Error, main);     // the start-up apply
    for (int button : {IDC_APPLY, IDC_OK, IDC_MARKING}) {
        postClick(item(button));
        expectBox(noPath, Icon::Error, main);
        EXPECT_TRUE(IsWindowVisible(main)) << button;
    }
    HWND tables = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS); // finds no folder
    ASSERT_TRUE(tables);
    EXPECT_EQ(comboItems(GetDlgItem(tables, IDC_LITERARY_TABLE)), Names{L""}) << "nothing was loaded";
    keys({VK_ESCAPE});
    postClick(item(IDC_EXIT));
    expectBox(noPath, Icon::Error, main);
    expectBox(L"The settings could not be saved. Exit anyway?", Icon::Question, main, 0); // Enter: No is the default
    EXPECT_FALSE(p->waitForExit(500ms));
    EXPECT_EQ(s->exit(*p), 0u) << "Yes ends it as a successful Exit does";
    EXPECT_TRUE(journal().ends_with("SetEnabled(0) Stop() Released() ")) << journal();
    // The worker gone: the failed hand-over is shown, the keys are written.
    ASSERT_TRUE(open({{L"CELLVANE_SIM_EXIT_THREAD", L"DisplayLiteraryBraille"}}, 0));
    ASSERT_TRUE(waitForCalls("DisplayLiteraryBraille(", 1));
    click(item(IDC_SHOW_BRAILLE_VISUALIZER));
    postClick(item(IDC_APPLY));
    expectBox(L"Failed to queue settings update to API worker thread.", Icon::Error, main);
    EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
    EXPECT_EQ(s->exit(*p), 0u);
}

TEST_F(Lumibrel, TheFocusStaysWithLumibrelAroundDialogsAndMessageBoxes) {
    s->writeLanguageFile(L"[BrailleMarking]\nBoldText=0\nItalicText=1\n");
    ASSERT_TRUE(open());
    HWND other = s->otherProgramInFront();
    ASSERT_TRUE(other && toFront(main));
    const std::tuple<int, const wchar_t*, int, int> dialogs[] = {
        {IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS, IDC_TABLES_OK, IDC_TABLES_CANCEL},
        {IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS, IDC_MARKING_OK, IDC_MARKING_CANCEL}};
    for (const auto& [button, className, ok, cancel] : dialogs) {
        const std::function<void(HWND)> ways[] = {[&](HWND d) { postClick(GetDlgItem(d, ok)); },
                                                  [&](HWND d) { postClick(GetDlgItem(d, cancel)); },
                                                  [](HWND) { keys({VK_RETURN}); }, [](HWND) { keys({VK_ESCAPE}); },
                                                  [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }};
        for (const auto& close : ways) {
            HWND dialog = openDialog(button, className);
            ASSERT_TRUE(dialog && focusIn(dialog));
            close(dialog);
            EXPECT_TRUE(gone(dialog) && focusIn(main)) << utf8(className) << " closed by way " << &close - ways;
        }
    }
    // Away from an open dialog and back, by Alt+Tab or by the hot key: the
    // dialog comes forward with the focus where the user left it.
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    ASSERT_TRUE(dialog && focusIn(dialog));
    keys({VK_TAB});
    HWND computer = GetDlgItem(dialog, IDC_COMPUTER_TABLE);
    ASSERT_TRUE(focusOn(computer) && toFront(other) && toFront(dialog));
    EXPECT_TRUE(focusOn(computer));
    ASSERT_TRUE(toFront(other));
    keys({VK_CONTROL, VK_MENU, 'T'});
    EXPECT_TRUE(focusIn(dialog) && focusOn(computer));
    EXPECT_TRUE(waitForCalls("RefreshFocusedControl(", 2));
    PostMessageW(main, WM_APP_API_STARTED, 0, 0); // the component's start report while the dialog is open
    EXPECT_TRUE(waitUntil([&] { return !IsWindowEnabled(item(IDC_HYBRID_PRINT_AND_BRAILLE_MODE)); }, 5s));
    keys({VK_ESCAPE});
    EXPECT_TRUE(gone(dialog) && focusIn(main)) << "the dialog keeps working";
    postClick(item(IDC_ABOUT)); // a second start while a message box is open brings the box forward
    const std::optional<Box> about = waitForBox(p->pid());
    ASSERT_TRUE(about && about->text.starts_with(L"Lumibrel version 1.01\n\n") && about->text.size() > 25);
    ASSERT_TRUE(about->icon == Icon::Information && toFront(other));
    EXPECT_EQ(s->start().waitForExit(), 0u);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == about->window; }, 5s));
    EXPECT_TRUE(answer(*about, IDOK));
    // A quit message while a dialog is open ends the program with its code.
    ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    PostThreadMessageW(GetWindowThreadProcessId(main, nullptr), WM_QUIT, 42, 0);
    EXPECT_EQ(p->waitForExit(), 42u);
    EXPECT_TRUE(journal().ends_with("SetEnabled(0) Stop() Released() ")) << journal();
}

} // namespace
} // namespace e2e
