// A display component that misbehaves, start-ups that go wrong, applies that
// fail, and the keyboard focus around dialogs and message boxes.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

TEST_F(Lumibrel, TheProgramRunsOnAndSaysSoWhateverTheComponentDoes)
{
    // Applies queue behind a slow component in the order made, and the window does not wait for them.
    ASSERT_TRUE(open({{L"CELLVANE_SIM_DELAY", L"*=300"}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(click(item(IDC_SHOW_BRAILLE_VISUALIZER)));
        EXPECT_TRUE(click(item(IDC_APPLY)));
    }
    EXPECT_EQ(s->applies(*p), 1u) << "Apply waited for the component";
    ASSERT_TRUE(s->waitForApplies(*p, 4));
    const Lines inOrder = {sentFor(kDefaults), sentFor("10100"), sentFor(kDefaults), sentFor("10100")};
    EXPECT_EQ(sent(), inOrder);
    exitCleanly();
    const auto started = [](std::string query) {
        return "Created() Start(0) QueryHybridSupport(" + query + ") SetEnabled(-1) RefreshFocusedControl() ";
    };
    struct Misbehaviour {
        Env env;
        std::function<void()> prepare; // a change to the program folder
        bool unavailable;              // the component could not be loaded: a warning, and nothing reaches it
        std::string firstCalls;        // the journal up to the start-up apply
        bool hybridOffered;
    };
    // clang-format off
    const Misbehaviour rows[] = {
        {{{L"CELLVANE_SIM_START_HR", L"0x1"}, {L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, false, "Created() Start(0) ",
         true},
        {{{L"CELLVANE_SIM_HYBRID", L"fail"}}, nullptr, false, started("0,0"), true},
        {{{L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, false, started("0,0"), false},
        {{{L"CELLVANE_SIM_PUMP", L"Created=800"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=800"}}, nullptr, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_CREATE", L"fail"}}, nullptr, true, "CreateInstance() ", true},
        {{}, [&] { DeleteFileW(s->programFile(L"Cellvane.dll").c_str()); }, true, "", true},
    };
    // clang-format on
    for (const Misbehaviour& row : rows) {
        SCOPED_TRACE(&row - rows);
        s->writeSettings(L"[Settings]\nHybridPrintAndBrailleMode=1\n");
        DeleteFileW(s->journalPath().c_str());
        if (row.prepare)
            row.prepare();
        ASSERT_TRUE(open(row.env, row.unavailable ? 0 : 1));
        if (row.unavailable) {
            expectBox(L"The braille display component could not be loaded. Settings are saved but do not reach the "
                      L"display.",
                      main);
        }
        PostMessageW(main, WM_HOTKEY, 1, 0); // a refresh reaches only a started component
        postClick(item(IDC_APPLY));          // after the component's start report
        if (!row.unavailable) {
            ASSERT_TRUE(s->waitForApplies(*p, 2));
        }
        HWND hybrid = item(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        EXPECT_EQ(IsWindowEnabled(hybrid) != FALSE, row.hybridOffered);
        EXPECT_EQ(checked(hybrid), row.hybridOffered);
        exitCleanly(); // one warning a run, and Apply succeeds
        EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"HybridPrintAndBrailleMode"),
                  row.hybridOffered ? L"1" : L"0");
        EXPECT_TRUE(journal().starts_with(row.firstCalls)) << journal();
        if (row.unavailable) {
            EXPECT_EQ(journal(), row.firstCalls) << "nothing reached a component";
            continue;
        }
        const bool isStarted = row.firstCalls.find("Refresh") != std::string::npos;
        EXPECT_EQ(calls("RefreshFocusedControl(").size(), isStarted ? 2u : 0u);
        const State applied = row.hybridOffered ? "10010" : kDefaults;
        EXPECT_EQ(sent(), (Lines{sentFor("10010"), sentFor(applied), sentFor(applied)}));
        EXPECT_TRUE(journal().ends_with(sentFor(applied) + " SetEnabled(0) Stop() Released() ")) << journal();
    }
}

TEST_F(Lumibrel, EveryChoiceReachesTheComponentBeforeItIsStoppedHoweverTheProgramEnds)
{
    // Outside any one ANSI code page, and as long as a value may be.
    const std::wstring scriptTable = std::wstring(236, L'x') + L"\x0431-\x4E2D-g1.ctb";
    makeFolders(s->programFile(L"tables"));
    writeText(s->programFile(L"tables\\" + scriptTable), L"");
    const std::string stopped = " SetEnabled(0) Stop() Released() ";
    const auto applyThen = [&](int box) {
        EXPECT_TRUE(click(item(box)));
        EXPECT_TRUE(click(item(IDC_APPLY)));
    };
    const auto nothing = [] {};
    const auto clickExit = [&] { postClick(item(IDC_EXIT)); };
    const auto applyTwoAndChangeAThird = [&] {
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
        applyThen(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);  // queued behind the first
        click(item(IDC_USE_CONTRACTED_BRAILLE_INPUT)); // not applied
    };
    const auto endSession = [&] { // as Windows does at sign-out, or an installer
        EXPECT_EQ(send(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
        send(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        EXPECT_TRUE(journal().ends_with(stopped)) << "when the message returns: " << journal();
        EXPECT_EQ(calls("Stop(").size(), 1u);
    };
    const auto endSessionDuringExit = [&] {
        clickExit();
        ASSERT_TRUE(waitForCalls("DisplayLiteraryBraille(", 2)); // Exit's apply is in the component
        endSession();
    };
    const auto applyTwiceInsideTheFirst = [&] {
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
        ASSERT_TRUE(waitForCalls("EnableContractedBrailleInput(", 2)); // now in the component's loop
        applyThen(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
    };
    const auto chooseATableAndMultiline = [&] {
        HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
        keys({VK_HOME});
        closeBy(VK_RETURN, dialog);
        choose(item(IDC_MULTILINE_BRAILLE), 2);
    };
    const std::string tables =
        " SetBrailleTables(\"" + utf8(scriptTable) + "\",\"en-us-mathtext.ctb\",\"en-us-comp8.ctb\")";
    struct Row {
        Env env;
        std::function<void()> choose; // just before the end
        std::function<void()> end;
        std::string tail; // of the journal
        Millis within;    // from the end to the exit
    };
    // clang-format off
    const Row rows[] = {
        {{{L"CELLVANE_SIM_READ_WINDOW", L"SetEnabled,Stop"}}, nothing, clickExit,
         "ReadWindow(\"Lumibrel\") SetEnabled(0) ReadWindow(\"Lumibrel\") Stop() Released() ", 3s},
        {{{L"CELLVANE_SIM_DELAY", L"ShowBrailleOnScreen=1000"}}, applyTwoAndChangeAThird, endSession,
         sentFor("10100") + " " + sentFor("10110") + stopped, 5s},
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=1500"}}, applyTwiceInsideTheFirst, clickExit,
         sentFor("10100") + " " + sentFor("10110") + " " + sentFor("10010") + " " + sentFor("10010") + stopped, 15s},
        {{{L"CELLVANE_SIM_DELAY", L"*=1000,Start=0,QueryHybridSupport=0,SetEnabled=0,RefreshFocusedControl=0"}},
         chooseATableAndMultiline, clickExit, sentFor("10002", tables) + stopped, 30s},
        {{{L"CELLVANE_SIM_DELAY", L"EnableContractedBrailleInput=1000,Stop=1000"}}, nothing, endSessionDuringExit,
         sentFor(kDefaults) + stopped, 5s},
    };
    // clang-format on
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
    // However the settings file was begun, by nobody, empty, or in ANSI by the
    // platform's writer before the program ran, a name outside the code page
    // is kept whole by a component that keeps everything from its first
    // call, and a line of the file's own stays as it was written. A file
    // not begun is begun in Unicode; an ANSI one is changed only for the name.
    const std::wstring cafe = L"Caf\u00e9";
    struct Begun {
        std::function<void()> make;
        std::string startsAs; // once the start-up apply has reached the component
    };
    const Begun begun[] = {
        {[] {}, "\xFF\xFE"},
        {[&] { std::ofstream(fs::path(s->settingsPath())); }, "\xFF\xFE"},
        {[&] { WritePrivateProfileStringW(L"Display", L"Port", cafe.c_str(), s->settingsPath().c_str()); }, "["},
    };
    for (const Begun& row : begun) {
        SCOPED_TRACE(&row - begun);
        removeTree(join(s->localAppData(), L"Cellvane"));
        makeFolders(s->settingsFolder());
        row.make();
        ASSERT_TRUE(open({{L"CELLVANE_SIM_PERSIST", L"all"}}));
        EXPECT_TRUE(readBytes(s->settingsPath()).starts_with(row.startsAs));
        chooseATableAndMultiline();
        exitCleanly();
        EXPECT_EQ(iniValue(s->settingsPath(), L"Liblouis", L"LiteraryTable"), scriptTable);
        EXPECT_EQ(iniValue(s->settingsPath(), L"Display", L"Port"),
                  &row == &begun[2] ? std::optional(cafe) : std::nullopt);
    }
    ASSERT_TRUE(open()); // the table chosen last comes back whole at the next start
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_LITERARY_TABLE)), scriptTable);
    closeBy(VK_ESCAPE, dialog);
    exitCleanly();
}

TEST_F(Lumibrel, StartUpAndShutDownHoldWhenTheSystemSaysNo)
{
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_ALT | MOD_CONTROL, 'T'));
    p = &s->start({{L"CELLVANE_SIM_DELAY", L"Stop=8000"}}, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(main = s->createdWindow(*p)); // the box comes before the window is shown
    expectBox(L"Failed to register hotkey Alt+Ctrl+T.\nYou can still access the settings window directly.", main);
    UnregisterHotKey(nullptr, 1);
    ASSERT_TRUE(s->mainWindow(*p));
    const auto normalInFront = [&] { return !IsIconic(main) && GetForegroundWindow() == main; };
    EXPECT_TRUE(waitUntil(normalInFront, 5s)) << "normal, in front";
    ShowWindowAsync(main, SW_MINIMIZE);
    ASSERT_TRUE(waitUntil([&] { return IsIconic(main) != FALSE; }, 5s));
    EXPECT_EQ(s->start().waitForExit(), 0u);
    EXPECT_TRUE(waitUntil(normalInFront, 5s)) << "brought back";
    EXPECT_EQ(calls("Created(").size(), 1u);
    const auto clicked = std::chrono::steady_clock::now();
    postClick(item(IDC_EXIT)); // the component hangs in Stop: the wait for it is bounded
    ASSERT_TRUE(waitForCalls("SetEnabled(", 2));
    // A start meanwhile waits for this one to end, then runs in its place.
    Process& next = s->start({{L"CELLVANE_SIM_JOURNAL", s->file(L"next.txt")}});
    EXPECT_EQ(p->waitForExit(), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - clicked, 4s);
    EXPECT_EQ(calls("SetEnabled("), (Lines{"SetEnabled(-1)", "SetEnabled(0)"}));
    EXPECT_TRUE(calls("Stop(").empty());
    ASSERT_TRUE(main = s->mainWindow(*(p = &next)));
    EXPECT_TRUE(focusIn(main));
    exitCleanly();
}

TEST_F(Lumibrel, AFailedApplyIsShownAndExitStillEndsTheProgramWhenTheUserSaysSo)
{
    // No settings file at all: the start-up apply, OK, Marking and Exit say so.
    const std::wstring noPath = L"Failed to resolve language INI path.";
    const std::wstring exitAnyway = L"The settings could not be saved. Exit anyway?";
    p = &s->start({{L"LOCALAPPDATA", std::nullopt}});
    ASSERT_TRUE(main = s->createdWindow(*p)); // the box comes before the window is shown
    expectBox(noPath, main);
    for (int button : {IDC_OK, IDC_MARKING}) {
        postClick(item(button));
        expectBox(noPath, main);
    }
    exitCleanly({noPath, exitAnyway});
    // Keys that cannot be written: each one's error, OK keeps the window, nothing is sent, Exit asks.
    makeFolders(s->settingsPath()); // a folder where the settings file belongs
    DeleteFileW(s->journalPath().c_str());
    ASSERT_TRUE(open());
    struct Unwritable {
        int box;
        std::wstring error;
    };
    const Unwritable rows[] = {
        {IDC_DISPLAY_LITERARY_BRAILLE, L"Failed to write DisplayLiteraryBraille to INI."},
        {IDC_USE_CONTRACTED_BRAILLE_INPUT, L"Failed to write UseContractedBrailleInput to INI."},
        {IDC_SHOW_BRAILLE_VISUALIZER, L"Failed to write ShowBrailleVisualizer to INI."},
        {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, L"Failed to write HybridPrintAndBrailleMode to INI."},
    };
    for (const Unwritable& row : rows) {
        EXPECT_TRUE(click(item(row.box)));
        postClick(item(IDC_OK));
        expectBox(row.error, main);
        EXPECT_TRUE(IsWindowVisible(main)) << "OK hid the window";
        EXPECT_TRUE(click(item(row.box))); // back to what the file holds
    }
    EXPECT_TRUE(click(item(IDC_SHOW_BRAILLE_VISUALIZER)));
    postClick(item(IDC_EXIT));
    expectBox(rows[2].error, main);
    expectBox(exitAnyway, main, 0); // Enter: No is the default
    EXPECT_TRUE(IsWindowVisible(main)) << "No ended the program";
    exitCleanly({rows[2].error, exitAnyway}); // Yes ends it as a successful Exit does
    EXPECT_EQ(sent(), Lines{sentFor(kDefaults)}) << "a failed apply was sent";
    EXPECT_TRUE(journal().ends_with(" SetEnabled(0) Stop() Released() ")) << journal();
    // The worker gone: the failed hand-over is shown, and the keys are written.
    removeTree(s->settingsFolder());
    DeleteFileW(s->journalPath().c_str());
    ASSERT_TRUE(open({{L"CELLVANE_SIM_EXIT_THREAD", L"DisplayLiteraryBraille"}}, 0));
    ASSERT_TRUE(waitForCalls("DisplayLiteraryBraille(", 1));
    const std::string lastLine = s->journal().back();
    const DWORD workerId = std::stoul(lastLine.substr(lastLine.rfind("tid=") + 4));
    if (HANDLE worker = OpenThread(SYNCHRONIZE, FALSE, workerId)) { // none: it has ended already
        EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0) << "the worker did not end";
        CloseHandle(worker);
    }
    EXPECT_TRUE(click(item(IDC_SHOW_BRAILLE_VISUALIZER)));
    const std::wstring notHandedOver = L"Failed to queue settings update to API worker thread.";
    postClick(item(IDC_APPLY));
    expectBox(notHandedOver, main);
    EXPECT_EQ(iniValue(s->settingsPath(), L"Settings", L"ShowBrailleVisualizer"), L"1");
    exitCleanly(
        {notHandedOver, L"The settings were saved but could not be handed to the braille display. Exit anyway?"});
}

TEST_F(Lumibrel, TheFocusStaysWithLumibrelAroundDialogsAndMessageBoxes)
{
    ASSERT_TRUE(open());
    HWND other = s->otherProgramInFront();
    ASSERT_TRUE(other);
    ASSERT_TRUE(toFront(main));
    // Away from an open dialog and back, by Alt+Tab or by the hot key: the
    // dialog comes forward with the focus where the user left it.
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    keys({VK_TAB});
    HWND computer = GetDlgItem(dialog, IDC_COMPUTER_TABLE);
    ASSERT_TRUE(focusOn(computer));
    ASSERT_TRUE(toFront(other));
    ASSERT_TRUE(toFront(dialog));
    EXPECT_TRUE(focusOn(computer));
    ASSERT_TRUE(toFront(other));
    keys({VK_CONTROL, VK_MENU, 'T'});
    EXPECT_TRUE(focusIn(dialog));
    EXPECT_TRUE(focusOn(computer));
    EXPECT_TRUE(waitForCalls("RefreshFocusedControl(", 2));
    closeBy(VK_ESCAPE, dialog);
    postClick(item(IDC_ABOUT)); // a second start while a message box is open brings the box forward
    const std::optional<Box> about = waitForBox(p->pid());
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->text.starts_with(L"Lumibrel version 1.01\n\n")) << utf8(about->text);
    ASSERT_TRUE(toFront(other));
    EXPECT_EQ(s->start().waitForExit(), 0u);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == about->window; }, 5s));
    EXPECT_TRUE(answer(*about, IDOK));
    exitCleanly();
}

} // namespace
} // namespace e2e
