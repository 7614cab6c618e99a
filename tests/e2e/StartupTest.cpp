// Start-up and shutdown of the program as the user and the display
// component see them: the component's calls and their thread, the window,
// the single instance, and the ways start-up can go wrong.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <set>

namespace e2e {
namespace {

using Methods = std::vector<std::string>;

// The settings the program pushes on every apply, in the order it pushes them.
const Methods kApplyMethods = {
    "DisplayLiteraryBraille", "EnableContractedBrailleInput", "ShowBrailleOnScreen",
    "ForceSixDotBraille",     "SetBrailleLinePadding",        "SetHybridPrintAndBrailleMode",
};

Methods concat(std::initializer_list<Methods> groups)
{
    Methods all;
    for (const Methods& group : groups) all.insert(all.end(), group.begin(), group.end());
    return all;
}

using StartupTest = ProgramTest;

TEST_F(StartupTest, StartsComponentOnWorkerThreadThenAppliesStoredSettings)
{
    Process& program = start();
    HWND window = mainWindow(program);
    ASSERT_NE(window, nullptr) << "no main window, or no start-up apply reported";

    EXPECT_EQ(windowText(window), L"Lumibrel");
    EXPECT_TRUE(waitForFocus(child(window, IDC_DISPLAY_LITERARY_BRAILLE)));

    const std::vector<JournalCall> calls = journal().calls();
    EXPECT_EQ(journal().methods(),
              concat({{"Created", "Start", "QueryHybridSupport", "SetEnabled",
                       "RefreshFocusedControl"},
                      kApplyMethods}));
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1].args, "0");
    EXPECT_EQ(calls[1].hr, S_OK);
    EXPECT_EQ(calls[3].args, "-1");

    // The component lives in the worker's apartment: every call comes from
    // that one thread, never from the thread that runs the window.
    std::set<DWORD> threads;
    for (const JournalCall& call : calls) threads.insert(call.tid);
    EXPECT_EQ(threads.size(), 1u) << journal().text();
    EXPECT_NE(*threads.begin(), GetWindowThreadProcessId(window, nullptr));

    // Each pushed setting is reported on the debug output, in push order.
    Methods reported;
    for (const std::string& line : debugLines(program)) {
        for (const std::string& method : kApplyMethods) {
            if (line.starts_with("Lumibrel: " + method + "(")) reported.push_back(method);
        }
    }
    EXPECT_EQ(reported, kApplyMethods);

    EXPECT_EQ(exitWithExitButton(program), 0u);
}

TEST_F(StartupTest, ExitAppliesOnceMoreThenStopsAndReleasesComponent)
{
    Process& program = start();
    ASSERT_NE(mainWindow(program), nullptr);
    EXPECT_EQ(exitWithExitButton(program), 0u);

    const Methods methods = journal().methods();
    ASSERT_GE(methods.size(), 3u) << journal().text();
    EXPECT_EQ(Methods(methods.end() - 3, methods.end()),
              Methods({"SetEnabled", "Stop", "Released"}));
    EXPECT_EQ(journal().callsTo("SetEnabled").back().args, "0");
    EXPECT_EQ(std::ranges::count(methods, "DisplayLiteraryBraille"), 2) << "Exit did not apply the settings";
    EXPECT_EQ(applyReports(program), 2u);
}

TEST_F(StartupTest, ExitEndsProgramEvenWhenComponentHangsInStop)
{
    Process& program = start(LaunchOptions().set(L"CELLVANE_SIM_DELAY", L"Stop=8000"));
    ASSERT_NE(mainWindow(program), nullptr);

    const auto clicked = Clock::now();
    std::optional<DWORD> exitCode = exitWithExitButton(program, 12s);
    const auto took = std::chrono::duration_cast<Millis>(Clock::now() - clicked);

    EXPECT_EQ(exitCode, 0u);
    // The program gives the worker its shutdown allowance before leaving it.
    EXPECT_GE(took.count(), 4000) << "ended after " << took.count() << " ms";
    EXPECT_TRUE(std::ranges::any_of(journal().callsTo("SetEnabled"), [](const auto& call) { return call.args == "0"; }))
        << journal().text();
    EXPECT_TRUE(journal().callsTo("Stop").empty()) << "Stop cannot have returned yet";
}

TEST_F(StartupTest, SecondStartShowsRunningInstanceAndEnds)
{
    Process& first = start();
    HWND window = mainWindow(first);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waitForHidden(window)) << "closing did not hide the main window";

    Process& second = start();
    ExitWatch watch = watchUntilExit(second);
    EXPECT_EQ(watch.exitCode, 0u);
    EXPECT_TRUE(watch.shownWindows.empty()) << toUtf8(watch.shownWindows.front());

    EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(window) != FALSE; }, 5s))
        << "the running instance's window was not shown again";
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 5s))
        << "the running instance's window did not come to the front";
    EXPECT_EQ(journal().callsTo("Created").size(), 1u) << "the second start made a component";
    EXPECT_TRUE(first.running());

    EXPECT_EQ(exitWithExitButton(first), 0u);
}

TEST_F(StartupTest, ComponentStartingWithSFalseGetsNoStartSequenceButStillApplies)
{
    // First the contrast: a started component that offers no hybrid mode has
    // the program disable the hybrid check box once the start is reported.
    {
        Process& program = start(LaunchOptions()
                                     .set(L"CELLVANE_SIM_HYBRID", L"0,0")
                                     .set(L"CELLVANE_SIM_JOURNAL", tempFile(L"started.txt")));
        HWND window = mainWindow(program);
        ASSERT_NE(window, nullptr);
        HWND hybrid = child(window, IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowEnabled(hybrid); }, 5s))
            << "the start report did not reach the window";
        EXPECT_EQ(exitWithExitButton(program), 0u);
    }

    Process& program = start(LaunchOptions()
                                 .set(L"CELLVANE_SIM_START_HR", L"0x1")
                                 .set(L"CELLVANE_SIM_HYBRID", L"0,0"));
    HWND window = mainWindow(program);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(journal().methods(), concat({{"Created", "Start"}, kApplyMethods}));
    EXPECT_EQ(journal().callsTo("Start").front().hr, S_FALSE);

    // A user's Apply still reaches the component.
    ASSERT_TRUE(click(child(window, IDC_APPLY)));
    EXPECT_TRUE(journal().waitForCallCount("SetHybridPrintAndBrailleMode", 2)) << journal().text();

    // No start report came, so the hybrid mode stays offered.
    EXPECT_TRUE(IsWindowEnabled(child(window, IDC_HYBRID_PRINT_AND_BRAILLE_MODE)));
    EXPECT_TRUE(journal().callsTo("QueryHybridSupport").empty());
    EXPECT_TRUE(journal().callsTo("RefreshFocusedControl").empty());

    EXPECT_EQ(exitWithExitButton(program), 0u);
}

TEST_F(StartupTest, RunsWithoutComponent)
{
    // The refusing component says it was asked; a missing one writes nothing.
    for (const bool withDll : {true, false}) {
        SCOPED_TRACE(withDll ? "the component refuses to be created" : "no Cellvane.dll in the program folder");
        if (!withDll) {
            ASSERT_TRUE(DeleteFileW(programFile(L"Cellvane.dll").c_str()));
        }
        DeleteFileW(journalPath().c_str());

        Process& program = start(withDll ? LaunchOptions().set(L"CELLVANE_SIM_CREATE", L"fail") : LaunchOptions());
        HWND window = mainWindow(program, false);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(messageBoxes(program.pid()).empty());
        EXPECT_TRUE(IsWindowEnabled(child(window, IDC_APPLY)));
        EXPECT_EQ(exitWithExitButton(program), 0u);
        EXPECT_EQ(journal().methods(), withDll ? Methods{"CreateInstance"} : Methods{}) << journal().text();
    }
}

TEST_F(StartupTest, HotKeyTakenShowsWarningThenRuns)
{
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_ALT | MOD_CONTROL, 'T')) << "the test could not take Alt+Ctrl+T";
    struct Release {
        ~Release() { UnregisterHotKey(nullptr, 1); }
    } release;

    Process& program = start();
    expectBox(program.pid(),
              L"Failed to register hotkey Alt+Ctrl+T.\nYou can still access the settings window directly.",
              BoxIcon::Warning);
    ASSERT_NE(mainWindow(program), nullptr) << "the program did not run on after the warning";
    EXPECT_EQ(exitWithExitButton(program), 0u);
}

TEST_F(StartupTest, NameHeldByAnotherKindOfObjectEndsWithCode1)
{
    HANDLE impostor = CreateEventW(nullptr, TRUE, FALSE, LUMIBREL_MUTEX_NAME);
    ASSERT_NE(impostor, nullptr);

    Process& program = start();
    ExitWatch watch = watchUntilExit(program);
    CloseHandle(impostor);

    EXPECT_EQ(watch.exitCode, 1u);
    EXPECT_TRUE(watch.shownWindows.empty()) << toUtf8(watch.shownWindows.front());
    EXPECT_TRUE(journal().lines().empty()) << journal().text();
}

}  // namespace
}  // namespace e2e
