// The fixture of the end-to-end tests: one Session a test, what the display
// component was sent, and what the main window shows.
#pragma once

#include "app/ProgramFolder.h"
#include "tests/driver/Driver.h"

#include <gtest/gtest.h>
#include <oleacc.h>

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

// One apply as the component's journal shows it.
inline std::string sentFor(const State& s, const std::string& tables = "") {
    const auto flag = [&](int i) { return s[i] == '1' ? "(-1) " : "(0) "; };
    return std::string("DisplayLiteraryBraille") + flag(0) + "EnableContractedBrailleInput" + flag(1) +
           "ShowBrailleOnScreen" + flag(2) + "ForceSixDotBraille" + flag(4) + "SetBrailleLinePadding(" +
           (s[4] == '2' ? "3) " : "1) ") + "SetHybridPrintAndBrailleMode" + (s[3] == '1' ? "(-1)" : "(0)") + tables;
}

inline const std::regex kResult(" (hr|tid)=.*"); // what a journal line adds to the call
inline const std::regex kApply("DisplayLiteraryBraille.*?SetHybridPrintAndBrailleMode\\(-?[01]\\)"
                               "( SetBrailleTables\\(.*?\\))?");

class Lumibrel : public ::testing::Test {
protected:
    void SetUp() override {
        // One left over would hold the single-instance mutex.
        ASSERT_EQ(FindWindowW(LUMIBREL_MAIN_WINDOW_CLASS, nullptr), nullptr) << "a Lumibrel is already running";
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        s = std::make_unique<Session>(GetProgramFolder()); // the built program lies beside the tests
    }
    // What a screen reader is told a control is called (MSAA).
    static std::wstring accessibleName(HWND control) {
        IAccessible* object = nullptr;
        VARIANT self{}; // CHILDID_SELF
        BSTR name = nullptr;
        self.vt = VT_I4;
        void** out = reinterpret_cast<void**>(&object);
        if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), out))) return L"(none)";
        std::wstring text = SUCCEEDED(object->get_accName(self, &name)) && name ? name : L"";
        SysFreeString(name), object->Release();
        return text;
    }
    void TearDown() override { std::cout << (HasFailure() ? s->dump() : ""); }
    // Starts the program; its main window once `applies` applies are reported.
    HWND open(Env env = {}, size_t applies = 1) { return main = s->mainWindow(*(p = &s->start(env)), applies); }
    HWND item(int id) const { return GetDlgItem(main, id); }
    State shown() const {
        State state;
        for (int id : {IDC_DISPLAY_LITERARY_BRAILLE, IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SHOW_BRAILLE_VISUALIZER,
                       IDC_HYBRID_PRINT_AND_BRAILLE_MODE})
            state += checked(item(id)) ? '1' : '0';
        return state + std::to_string(send(item(IDC_MULTILINE_BRAILLE), CB_GETCURSEL));
    }
    // The journal as "Method(args)" lines, or those of one method; and the applies among them.
    Lines calls(const std::string& method = "") const {
        Lines found;
        for (const std::string& line : s->journal())
            if (line.starts_with(method)) found.push_back(std::regex_replace(line, kResult, ""));
        return found;
    }
    std::string journal() const {
        std::string joined;
        for (const std::string& call : calls()) joined += call + " ";
        return joined;
    }
    Lines sent() const {
        const std::string all = journal();
        Lines applies;
        for (std::sregex_iterator i(all.begin(), all.end(), kApply), end; i != end; ++i) applies.push_back(i->str());
        return applies;
    }
    std::string lastSent() const {
        const Lines all = sent(); // one read of the journal
        return all.empty() ? "(nothing sent)" : all.back();
    }
    bool applyAndWait() {
        const size_t before = s->applies(*p);
        return click(item(IDC_APPLY)) && s->waitForApplies(*p, before + 1);
    }
    HWND openDialog(int button, const wchar_t* className) {
        return postClick(item(button)), waitForWindow(p->pid(), className);
    }
    // clang-format off: one line a wait
    bool waitForCalls(const std::string& m, size_t n) const { return waitUntil([&] { return calls(m).size() >= n; }); }
    bool hidden() const { return waitUntil([&] { return !IsWindowVisible(main); }, 5s); }
    bool focusOn(HWND control) const { return waitUntil([&] { return focusOf(control) == control; }, 5s); }
    // clang-format on
    // In front, with the keyboard focus on one of its controls.
    bool focusIn(HWND w) const {
        return waitUntil([&] { return GetForegroundWindow() == w && IsChild(w, focusOf(w)); }, 5s);
    }
    // Expects a "Lumibrel" box saying that, with that icon and owner, and answers it (0: by Enter).
    void expectBox(const std::wstring& text, Icon icon, HWND owner, int button = IDOK) {
        const std::optional<Box> box = waitForBox(p->pid());
        ASSERT_TRUE(box) << "no box saying " << utf8(text);
        EXPECT_EQ(std::tie(box->caption, box->text), std::tie(L"Lumibrel", text));
        EXPECT_EQ(std::tie(box->icon, box->owner), std::tie(icon, owner)) << utf8(text);
        if (!button) keys({VK_RETURN});
        EXPECT_TRUE(button ? answer(*box, button) : gone(box->window));
    }
    bool noBox() const { return pump(300ms), windowsOf(p->pid(), kMessageBoxClass).empty(); }

    std::unique_ptr<Session> s;
    Process* p = nullptr;
    HWND main = nullptr;
};

} // namespace e2e
