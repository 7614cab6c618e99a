// A display component that misbehaves, start-ups that go wrong, applies that
// fail, and the keyboard focus around dialogs and message boxes.

#include "tests/e2e/Fixture.h"

#include <array>

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
        UINT told;                     // the warning the window shows meanwhile, answering all along
        bool unavailable;              // the component could not be loaded: nothing reaches it
        std::string firstCalls;        // the journal up to the start-up apply
        bool hybridOffered;
    };
    const UINT missing = IDS_WARN_NO_COMPONENT;
    // clang-format off
    const Misbehaviour rows[] = {
        {{{L"CELLVANE_SIM_START_HR", L"0x1"}, {L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, 0, false,
         "Created() Start(0) ", true},
        {{{L"CELLVANE_SIM_HYBRID", L"fail"}}, nullptr, 0, false, started("0,0"), true},
        {{{L"CELLVANE_SIM_HYBRID", L"0,0"}}, nullptr, 0, false, started("0,0"), false},
        {{{L"CELLVANE_SIM_PUMP", L"Created=800"}}, nullptr, 0, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_DELAY", L"Created=6000"}}, nullptr, IDS_WARN_WORKER_TIMEOUT, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=800"}}, nullptr, 0, false, started("1,1"), true},
        {{{L"CELLVANE_SIM_CREATE", L"fail"}}, nullptr, missing, true, "CreateInstance() ", true},
        {{}, [&] { DeleteFileW(s->programFile(L"Cellvane.dll").c_str()); }, missing, true, "", true},
    };
    // clang-format on
    for (const Misbehaviour& row : rows) {
        SCOPED_TRACE(&row - rows);
        s->writeSettings(L"[Settings]\nHybridPrintAndBrailleMode=1\n");
        DeleteFileW(s->journalPath().c_str());
        if (row.prepare)
            row.prepare();
        ASSERT_TRUE(open(row.env, 0));
        if (row.told) {
            EXPECT_EQ(send(main, WM_NULL), 0) << "the window waited for the component";
            expectBox(programText(row.told), main);
        }
        if (!row.unavailable) {
            ASSERT_TRUE(s->waitForApplies(*p, 1));
        }
        PostMessageW(main, WM_HOTKEY, 1, 0); // a refresh reaches only a started component
        postClick(item(IDC_APPLY));          // after the component's start report
        if (!row.unavailable) {
            ASSERT_TRUE(s->waitForApplies(*p, 2));
        }
        HWND hybrid = item(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        EXPECT_EQ(IsWindowEnabled(hybrid) != FALSE, row.hybridOffered);
        EXPECT_EQ(checked(hybrid), row.hybridOffered);
        if (!row.hybridOffered) { // the key of a disabled control does nothing; one after it shows it was read
            ASSERT_TRUE(focusIn(main));
            alt(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
            alt(IDC_SHOW_BRAILLE_VISUALIZER);
            EXPECT_TRUE(waitUntil([&] { return checked(item(IDC_SHOW_BRAILLE_VISUALIZER)); }, 5s));
            EXPECT_FALSE(checked(hybrid) || focusOf(main) == hybrid);
            EXPECT_TRUE(click(item(IDC_SHOW_BRAILLE_VISUALIZER)));
        }
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
    // Each list's last table is named outside any one ANSI code page, the literary one as long as a value may be.
    const Names script = {std::wstring(236, L'x') + L"\x0431-\x4E2D-g1.ctb", L"x\x0431-comp8.ctb", L"x\x4E2D-math.ctb"};
    makeFolders(s->programFile(L"tables"));
    for (const std::wstring& name : script)
        writeText(s->programFile(L"tables\\" + name), L"");
    for (const wchar_t* name : {L"en-us-g2.ctb", L"en-us-comp8.ctb", L"en-us-mathtext.ctb"})
        writeText(s->programFile(L"tables\\") + name, L"");
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
    const auto endSession = [&](Millis bound) { // as Windows does at sign-out, or an installer
        DWORD_PTR answer = 0;
        const auto sent = Clock::now();
        SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 20000, &answer);
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
        SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 20000, &answer);
        EXPECT_LT(Clock::now() - sent, bound) << "the session's end waited past its bounds";
    };
    const auto endSessionDuringExit = [&] {
        clickExit();
        ASSERT_TRUE(waitForCalls("DisplayLiteraryBraille(", 2)); // Exit's apply is in the component
        endSession(5s);
        EXPECT_TRUE(journal().ends_with(stopped)) << "when the message returns: " << journal();
        EXPECT_EQ(calls("Stop(").size(), 1u);
    };
    const auto signOutDuringALongExit = [&] { // what Exit has queued takes longer than the session may
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
        clickExit();
        ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(main); }, 5s));
        endSession(7s);
    };
    const auto applyTwiceInsideTheFirst = [&] {
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
        ASSERT_TRUE(waitForCalls("EnableContractedBrailleInput(", 2)); // now in the component's loop
        applyThen(IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        applyThen(IDC_SHOW_BRAILLE_VISUALIZER);
    };
    using Lists = std::array<bool, 3>; // literary, computer, math: the last name, in another script, or the first
    const Lists all = {true, true, true};
    const auto chooseTables = [&](Lists last) {
        HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
        for (bool end : last) {
            keys({static_cast<WORD>(end ? VK_END : VK_HOME)});
            keys({VK_TAB});
        }
        closeBy(VK_RETURN, dialog);
    };
    const auto chooseTheScriptsAndMultiline = [&] {
        chooseTables(all);
        choose(item(IDC_MULTILINE_BRAILLE), 2);
    };
    const auto quitFromOutside = [&] { PostThreadMessageW(GetWindowThreadProcessId(main, nullptr), WM_QUIT, 0, 0); };
    const std::string tables =
        " SetBrailleTables(\"" + utf8(script[0]) + "\",\"" + utf8(script[2]) + "\",\"" + utf8(script[1]) + "\")";
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
        {{{L"CELLVANE_SIM_DELAY", L"ShowBrailleOnScreen=1000"}}, applyTwoAndChangeAThird, [&] { endSession(5s); },
         sentFor("10100") + " " + sentFor("10110") + stopped, 5s},
        {{{L"CELLVANE_SIM_PUMP", L"ShowBrailleOnScreen=1500"}}, applyTwiceInsideTheFirst, clickExit,
         sentFor("10100") + " " + sentFor("10110") + " " + sentFor("10010") + " " + sentFor("10010") + stopped, 15s},
        {{{L"CELLVANE_SIM_DELAY", L"*=1000,Start=0,QueryHybridSupport=0,SetEnabled=0,RefreshFocusedControl=0"}},
         chooseTheScriptsAndMultiline, clickExit, sentFor("10002", tables) + stopped, 30s},
        {{{L"CELLVANE_SIM_DELAY", L"EnableContractedBrailleInput=1000,Stop=1000"}}, nothing, endSessionDuringExit,
         sentFor(kDefaults) + stopped, 5s},
        {{{L"CELLVANE_SIM_DELAY", L"SetBrailleTables=10000"}}, [&] { chooseTables(all); }, signOutDuringALongExit, "",
         3s},
        {{}, nothing, quitFromOutside, sentFor(kDefaults) + stopped, 5s},
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
    // However the settings file was begun (by nobody, empty, by the platform's writer in ANSI, or with a UTF-8
    // mark, which the platform's reader takes for part of the first line), names outside the code page reach it
    // whole through a component that keeps everything from its first call on, whichever lists hold them, and a
    // line of the file's own stays. A read-only file cannot keep them: the user is told, once, and the display
    // still gets them.
    const std::wstring cafe = L"Caf\u00e9";
    const auto portInAnsi = [&] {
        WritePrivateProfileStringW(L"Display", L"Port", cafe.c_str(), s->settingsPath().c_str());
    };
    struct Begun {
        std::function<void()> make;
        Lists scripts;
        bool hasPort, readOnly;
    };
    const Begun begun[] = {
        {[] {}, all, false, false},
        {[&] { std::ofstream(fs::path(s->settingsPath())); }, all, false, false},
        {portInAnsi, {false, true, true}, true, false},
        {[&] {
             portInAnsi();
             SetFileAttributesW(s->settingsPath().c_str(), FILE_ATTRIBUTE_READONLY);
         },
         all, true, true},
        {[&] { std::ofstream(fs::path(s->settingsPath())) << "\xEF\xBB\xBF[Display]\r\nPort=Caf\xC3\xA9\r\n"; }, all,
         true, false},
    };
    const wchar_t* keys[] = {L"LiteraryTable", L"ComputerBrailleTable", L"MathTable"};
    for (const Begun& row : begun) {
        SCOPED_TRACE(&row - begun);
        removeTree(join(s->localAppData(), L"Cellvane"));
        makeFolders(s->settingsFolder());
        row.make();
        DeleteFileW(s->journalPath().c_str());
        ASSERT_TRUE(open({{L"CELLVANE_SIM_PERSIST", L"all"}}));
        chooseTables(row.scripts);
        choose(item(IDC_MULTILINE_BRAILLE), 2);
        if (row.readOnly) { // told at the first apply that cannot keep them, and only then
            postClick(item(IDC_APPLY));
            expectBox(programText(IDS_WARN_NAME_NOT_KEPT), main);
            chooseTables({});
            ASSERT_TRUE(applyAndWait());
            chooseTables(all);
        }
        exitCleanly();
        const std::string sent = journal();
        for (size_t i = 0; i < 3; ++i) {
            const std::optional<std::wstring> kept = iniValue(s->settingsPath(), L"Liblouis", keys[i]);
            EXPECT_EQ(kept == script[i], row.scripts[i] && !row.readOnly) << utf8(keys[i]);
            EXPECT_EQ(sent.find('"' + utf8(script[i]) + '"') != std::string::npos, row.scripts[i]) << "not sent";
        }
        EXPECT_EQ(iniValue(s->settingsPath(), L"Display", L"Port"), row.hasPort ? std::optional(cafe) : std::nullopt);
        EXPECT_EQ(readBytes(s->settingsPath()).starts_with("\xFF\xFE"), !row.readOnly) << "not UTF-16 as read";
        SetFileAttributesW(s->settingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ASSERT_TRUE(open()); // the tables chosen last come back whole at the next start
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_LITERARY_TABLE)), script[0]);
    closeBy(VK_ESCAPE, dialog);
    exitCleanly();
}

TEST_F(Lumibrel, StartUpAndShutDownHoldWhenTheSystemSaysNo)
{
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, LUMIBREL_MUTEX_NAME); // a name the mutex cannot take
    EXPECT_EQ(s->start().waitForExit(), 1u) << "without its mutex the program must end with its own code";
    CloseHandle(squatter);
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
    PostMessageW(main, WM_CLOSE, 0, 0); // hidden, as at sign-in a start finds it: that one shows nothing
    ASSERT_TRUE(hidden());
    const std::wstring signIn = L"\"" + s->programFile(L"Lumibrel.exe") + L"\" /signin";
    EXPECT_EQ(s->start({}, SW_SHOWDEFAULT, signIn).waitForExit(), 0u);
    PostMessageW(item(IDC_SHOW_BRAILLE_VISUALIZER), BM_SETCHECK, BST_CHECKED, 0); // behind what the start posted
    ASSERT_TRUE(waitUntil([&] { return checked(item(IDC_SHOW_BRAILLE_VISUALIZER)); }, 5s));
    EXPECT_FALSE(IsWindowVisible(main)) << "a start at sign-in showed the running window";
    PostMessageW(main, WM_APP_SHOW_SETTINGS, 0, 0);
    ASSERT_TRUE(waitUntil(normalInFront, 5s));
    EXPECT_EQ(calls("Created(").size(), 1u);
    const auto clicked = std::chrono::steady_clock::now();
    postClick(item(IDC_EXIT)); // the component hangs in Stop: the wait for it is bounded
    ASSERT_TRUE(waitForCalls("SetEnabled(", 2));
    // Two starts meanwhile (a double click) wait for this one to end; exactly one runs in its place.
    Process* next[] = {&s->start({{L"CELLVANE_SIM_JOURNAL", s->file(L"next.txt")}}),
                       &s->start({{L"CELLVANE_SIM_JOURNAL", s->file(L"other.txt")}})};
    EXPECT_EQ(p->waitForExit(), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - clicked, 4s);
    EXPECT_EQ(calls("SetEnabled("), (Lines{"SetEnabled(-1)", "SetEnabled(0)"}));
    EXPECT_TRUE(calls("Stop(").empty());
    const auto ended = [&](int i) { return next[i]->waitForExit(0ms).has_value(); };
    ASSERT_TRUE(waitUntil([&] { return ended(0) != ended(1); })) << "none or both took over";
    p = next[ended(0) ? 1 : 0];
    EXPECT_EQ(next[ended(0) ? 0 : 1]->waitForExit(), 0u);
    ASSERT_TRUE(main = s->mainWindow(*p));
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
    s->writeLanguageFile(L"[BrailleMarking]\nBoldText=1\n");
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
    for (WORD key : {VK_ESCAPE, VK_RETURN}) // Cancel, and OK with nothing changed
        closeBy(key, openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    postClick(item(IDC_ABOUT)); // a second start while a message box is open brings the box forward
    const std::optional<Box> about = waitForBox(p->pid());
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->text.starts_with(L"Lumibrel version 1.01\n\n")) << utf8(about->text);
    ASSERT_TRUE(toFront(other));
    EXPECT_EQ(s->start().waitForExit(), 0u);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == about->window; }, 5s));
    EXPECT_TRUE(answer(*about, IDOK));
    exitCleanly();
    EXPECT_FALSE(fs::exists(s->settingsFolder())) << "written though nothing changed";
}

} // namespace
} // namespace e2e
