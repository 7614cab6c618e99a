// The fixture of the end-to-end tests: one Session a test, what the display
// component was sent, and what the main window shows.
#pragma once

#include "process/ProgramFolder.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"
#include "windowkit/TextRules.h"

#include <gtest/gtest.h>

#include <iostream>
#include <regex>

namespace e2e {
using namespace driver;
using Lines = std::vector<std::string>;
using Names = std::vector<std::wstring>;

// The main window's settings as five digits: literary braille, contracted
// input, visualizer, hybrid mode (1 or 0) and the multiline item.
using State = std::string;
inline const State kDefaults = "10000";

// The component keeps nothing in the settings file: it holds only what the program writes.
inline const Env kComponentKeepsNothing = {{L"CELLVANE_SIM_PERSIST", L"0"}};

// One apply as the component's journal shows it.
inline std::string sentFor(const State& s, const std::string& tables = "")
{
    const auto flag = [&](int i) { return s[i] == '1' ? "(-1) " : "(0) "; };
    return std::string("DisplayLiteraryBraille") + flag(0) + "EnableContractedBrailleInput" + flag(1) +
           "ShowBrailleOnScreen" + flag(2) + "ForceSixDotBraille" + flag(4) + "SetBrailleLinePadding(" +
           (s[4] == '2' ? "3) " : "1) ") + "SetHybridPrintAndBrailleMode" + (s[3] == '1' ? "(-1)" : "(0)") + tables;
}

inline const std::regex kResult(" (hr|tid)=.*"); // what a journal line adds to the call
inline const std::regex kApply("DisplayLiteraryBraille.*?SetHybridPrintAndBrailleMode\\(-?[01]\\)"
                               "( SetBrailleTables\\(.*?\\))?");

// A failed ASSERT inside a helper ends the whole test, not only the helper,
// so that a broken program is not waited on again and again.
struct FatalFailureEndsTheTest : ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.fatally_failed())
            throw ::testing::AssertionException(result);
    }
};

class Lumibrel : public ::testing::Test {
protected:
    void SetUp() override
    {
        [[maybe_unused]] static const bool listening = [] {
            ::testing::UnitTest::GetInstance()->listeners().Append(new FatalFailureEndsTheTest);
            return true;
        }();
        // One left over would hold the single-instance mutex.
        ASSERT_EQ(FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr), nullptr) << "a Lumibrel is already running";
        s = std::make_unique<Session>(GetProgramFolder()); // the built program lies beside the tests
    }
    void TearDown() override { std::cout << (HasFailure() ? s->dump() : ""); }
    // Starts the program; its main window once `applies` applies are reported.
    HWND open(Env env = {}, size_t applies = 1) { return main = s->mainWindow(*(p = &s->start(env)), applies); }
    HWND item(int id) const { return GetDlgItem(main, id); }
    State shown() const
    {
        State state;
        for (int id : {IDC_DISPLAY_LITERARY_BRAILLE, IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SHOW_BRAILLE_VISUALIZER,
                       IDC_HYBRID_PRINT_AND_BRAILLE_MODE})
            state += checked(item(id)) ? '1' : '0';
        return state + std::to_string(send(item(IDC_MULTILINE_BRAILLE), CB_GETCURSEL));
    }
    // Once the window shows that state.
    bool shows(const State& state) const
    {
        return waitUntil([&] { return shown() == state; }, 5s);
    }
    // The journal as "Method(args)" lines, or those of one method; and the applies among them.
    Lines calls(const std::string& method = "") const
    {
        Lines found;
        for (const std::string& line : s->journal())
            if (line.starts_with(method))
                found.push_back(std::regex_replace(line, kResult, ""));
        return found;
    }
    std::string journal() const
    {
        std::string joined;
        for (const std::string& call : calls())
            joined += call + " ";
        return joined;
    }
    Lines sent() const
    {
        const std::string all = journal();
        Lines applies;
        for (std::sregex_iterator i(all.begin(), all.end(), kApply), end; i != end; ++i)
            applies.push_back(i->str());
        return applies;
    }
    std::string lastSent() const
    {
        const Lines all = sent(); // one read of the journal
        return all.empty() ? "(nothing sent)" : all.back();
    }
    // Clicks Apply; true once exactly one more apply is reported.
    bool applyAndWait()
    {
        const size_t before = s->applies(*p);
        return click(item(IDC_APPLY)) && s->waitForApplies(*p, before + 1);
    }
    // A helper's fatal failure: the test ends here.
    static void require(bool holds, const std::string& what) { ASSERT_TRUE(holds) << what; }
    // The program's window of that class once it is in front with the keyboard focus in it.
    HWND inFront(const wchar_t* className)
    {
        HWND window = waitForWindow(p->pid(), className);
        require(window && focusIn(window), utf8(className) + " did not come with the focus");
        return window;
    }
    // Alt with the access key of the control's text, or of the label before a combo box, which a screen reader
    // names it by.
    void alt(int id)
    {
        HWND control = id == IDC_MULTILINE_BRAILLE ? GetWindow(item(id), GW_HWNDPREV) : item(id);
        const std::optional<wchar_t> key = AccessKeyOf(textOf(control));
        require(key.has_value(), std::to_string(id) + " has no access key");
        altKey(*key);
    }
    HWND openDialog(int button, const wchar_t* className)
    {
        postClick(item(button));
        return inFront(className);
    }
    // Presses the key, and waits for the window to go and the focus to come back to the main window.
    void closeBy(WORD key, HWND window)
    {
        keys({key});
        require(gone(window), "a window stayed after a key that closes it");
        EXPECT_TRUE(focusIn(main)) << "the focus did not come back";
    }
    bool waitForCalls(const std::string& m, size_t n) const
    {
        return waitUntil([&] { return calls(m).size() >= n; });
    }
    bool hidden() const
    {
        return waitUntil([&] { return !IsWindowVisible(main); }, 5s);
    }
    bool focusOn(HWND control) const
    {
        return waitUntil([&] { return focusOf(control) == control; }, 5s);
    }
    // In front, with the keyboard focus on one of its controls.
    bool focusIn(HWND w) const
    {
        return waitUntil([&] { return GetForegroundWindow() == w && IsChild(w, focusOf(w)); }, 5s);
    }
    // Expects a "Lumibrel" box saying that, owned by that window, and answers it (0: by Enter).
    void expectBox(const std::wstring& text, HWND owner, int button = IDOK)
    {
        const std::optional<Box> box = waitForBox(p->pid());
        ASSERT_TRUE(box) << "no box saying " << utf8(text);
        EXPECT_EQ(box->caption, L"Lumibrel");
        EXPECT_EQ(box->text, text);
        EXPECT_EQ(box->owner, owner) << utf8(text);
        if (button) {
            ASSERT_TRUE(answer(*box, button)) << utf8(text);
        } else {
            keys({VK_RETURN});
            ASSERT_TRUE(gone(box->window)) << utf8(text);
        }
        send(owner, WM_NULL); // answered once the command that asked has run to its end
    }
    // A text of the program's string table in the language it shows now, read from the copy that runs.
    std::wstring programText(UINT id) const
    {
        HMODULE program = LoadLibraryExW(s->programFile(L"Lumibrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        wchar_t text[512] = L"";
        LoadStringW(program, id, text, 512);
        FreeLibrary(program);
        return text;
    }
    // Exit ends the program with 0, asking nothing on the way but `asked`.
    void exitCleanly(const Names& asked = {})
    {
        const Session::Ended ended = s->exit(*p);
        EXPECT_EQ(ended.code, 0u);
        EXPECT_EQ(ended.boxes, asked);
    }

    std::unique_ptr<Session> s;
    Process* p = nullptr;
    HWND main = nullptr;
};

} // namespace e2e
