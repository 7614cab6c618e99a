// What a screen reader hears for each control of the program's three
// windows, asked through MSAA from another process, as a screen reader asks.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <oleacc.h>

#include <cwctype>

namespace e2e {
namespace {

struct Heard {
    HRESULT hr = E_FAIL;
    std::wstring name, shortcut;   // empty where nothing is said
    long role = -1, state = -1;
};

Heard hear(HWND control)
{
    // Spelled out: Wine's oleacc does not answer to the import library's symbol.
    static const GUID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    Heard heard;
    IAccessible* object = nullptr;
    heard.hr = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                          reinterpret_cast<void**>(&object));
    if (FAILED(heard.hr) || !object) return heard;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (object->get_accName(self, &text) == S_OK && text) heard.name = text;
    SysFreeString(std::exchange(text, nullptr));
    if (object->get_accKeyboardShortcut(self, &text) == S_OK && text) heard.shortcut = text;
    SysFreeString(text);
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4) heard.role = value.lVal;
    VariantClear(&value);
    if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4) heard.state = value.lVal;
    VariantClear(&value);
    object->Release();
    return heard;
}

// Wine's oleacc gives every standard control its generic client object: the
// client role, no checked state, and for a combo box the selected item as
// name and no access key, where Windows names it by the label before it.
bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::wstring upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::wstring withoutAmpersand(std::wstring text)
{
    if (const size_t at = text.find(L'&'); at != std::wstring::npos) text.erase(at, 1);
    return text;
}

enum Kind : long {
    Check = ROLE_SYSTEM_CHECKBUTTON, Push = ROLE_SYSTEM_PUSHBUTTON, Combo = ROLE_SYSTEM_COMBOBOX,
    Label = ROLE_SYSTEM_STATICTEXT,
};
struct Row { int id; Kind kind; const wchar_t* name; const wchar_t* key; bool checked = false; };

const std::vector<Row> kMainWindow = {
    {IDC_DISPLAY_LITERARY_BRAILLE, Check, L"Display Literary Braille", L"Alt+D", true},
    {IDC_USE_CONTRACTED_BRAILLE_INPUT, Check, L"Contracted Braille Input", L"Alt+C"},
    {IDC_SET_TABLES, Push, L"Set Tables...", L"Alt+S"},
    {IDC_MARKING, Push, L"Marking...", L"Alt+M"},
    {IDC_STATIC, Label, L"Multiline Braille:", L"Alt+U"},
    {IDC_MULTILINE_BRAILLE, Combo, L"Multiline Braille:", L"Alt+U"},
    {IDC_HYBRID_PRINT_AND_BRAILLE_MODE, Check, L"Hybrid Print and Braille Mode", L"Alt+H"},
    {IDC_SHOW_BRAILLE_VISUALIZER, Check, L"Show Braille Visualizer", L"Alt+V"},
    {IDC_APPLY, Push, L"Apply", L"Alt+Y"},
    {IDC_OK, Push, L"OK", L""},
    {IDC_CANCEL, Push, L"Cancel", L""},
    {IDC_ABOUT, Push, L"About...", L"Alt+A"},
    {IDC_EXIT, Push, L"Exit", L"Alt+X"},
};
const std::vector<Row> kTablesDialog = {
    {IDC_LITERARY_TABLE_LABEL, Label, L"Literary Table:", L"Alt+L"},
    {IDC_LITERARY_TABLE, Combo, L"Literary Table:", L"Alt+L"},
    {IDC_COMPUTER_TABLE_LABEL, Label, L"Computer Table:", L"Alt+C"},
    {IDC_COMPUTER_TABLE, Combo, L"Computer Table:", L"Alt+C"},
    {IDC_MATH_TABLE_LABEL, Label, L"Math Table:", L"Alt+M"},
    {IDC_MATH_TABLE, Combo, L"Math Table:", L"Alt+M"},
    {IDC_TABLES_OK, Push, L"OK", L""},
    {IDC_TABLES_CANCEL, Push, L"Cancel", L""},
};
const std::vector<Row> kMarkingDialog = {
    {IDC_STATIC, Label, L"Mark which text attributes with dots 7 and 8.", L""},
    {IDC_MARKING_FIRST_CHECKBOX, Check, L"Bold Text", L"Alt+T", true},
    {IDC_MARKING_FIRST_CHECKBOX + 1, Check, L"Italic Text", L"Alt+E"},
    {IDC_MARKING_FIRST_CHECKBOX + 2, Check, L"Strikethrough Text", L"Alt+X"},
    {IDC_MARKING_FIRST_CHECKBOX + 3, Check, L"Misspelled Words", L"Alt+W", true},
    {IDC_MARKING_OK, Push, L"OK", L""},
    {IDC_MARKING_CANCEL, Push, L"Cancel", L""},
};

class AccessibilityTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        writeLanguageFile(
            L"[BrailleMarking]\r\nBoldText=1\r\nItalicText=0\r\nStrikethroughText=0\r\nMisspelledWords=1\r\n");
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        CoUninitialize();
    }

    // Every child of `window` is in `rows`, in creation order, and is heard
    // as the row says; only `focused` reports the focus, only `disabled` is
    // unavailable.
    static void expectHeard(HWND window, const std::vector<Row>& rows, int focused, int disabled = 0)
    {
        const bool wine = underWine();
        size_t index = 0;
        for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
            ASSERT_LT(index, rows.size()) << "unexpected control " << controlId(control);
            const Row& row = rows[index++];
            SCOPED_TRACE(toUtf8(row.name) + (row.kind == Combo ? " (combo box)" : ""));
            ASSERT_EQ(controlId(control), row.id);
            const Heard heard = hear(control);
            ASSERT_EQ(heard.hr, S_OK);
            const bool wineCombo = wine && row.kind == Combo;
            EXPECT_EQ(heard.name, wineCombo ? windowText(control) : row.name);
            EXPECT_EQ(upper(heard.shortcut), wineCombo ? L"" : upper(row.key));
            EXPECT_EQ(heard.role, wine ? long{ROLE_SYSTEM_CLIENT} : long{row.kind});
            EXPECT_EQ((heard.state & STATE_SYSTEM_CHECKED) != 0, !wine && row.checked);
            EXPECT_EQ((heard.state & STATE_SYSTEM_FOCUSED) != 0, row.id == focused);
            EXPECT_EQ((heard.state & STATE_SYSTEM_UNAVAILABLE) != 0, row.id == disabled);
            EXPECT_EQ(row.kind == Check && isChecked(control), row.checked);
            if (row.kind != Combo) continue;
            // The label the combo box is named by: created right before it, not a tab stop.
            HWND label = GetWindow(control, GW_HWNDPREV);
            EXPECT_EQ(className(label), L"Static");
            EXPECT_EQ(withoutAmpersand(windowText(label)), row.name);
            EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & WS_TABSTOP, 0);
        }
        EXPECT_EQ(index, rows.size()) << "controls missing";
    }

    HWND openInFront(HWND main, int button, const wchar_t* dialogClass, DWORD pid) const
    {
        postClick(child(main, button));
        HWND dialog = waitForWindow(pid, dialogClass, 5s);
        return dialog && bringToFront(dialog) ? dialog : nullptr;
    }
};

TEST_F(AccessibilityTest, EveryControlIsHeardByNameRoleAccessKeyAndState)
{
    Process& program = start(LaunchOptions().set(L"CELLVANE_SIM_HYBRID", L"0,0"));
    HWND main = mainWindow(program);
    ASSERT_NE(main, nullptr);
    HWND hybrid = child(main, IDC_HYBRID_PRINT_AND_BRAILLE_MODE);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowEnabled(hybrid); }, 5s)) << "hybrid mode still offered";
    ASSERT_TRUE(bringToFront(main));
    ASSERT_TRUE(waitForFocus(child(main, IDC_DISPLAY_LITERARY_BRAILLE)));
    EXPECT_EQ(hear(main).name, L"Lumibrel");
    expectHeard(main, kMainWindow, IDC_DISPLAY_LITERARY_BRAILLE, IDC_HYBRID_PRINT_AND_BRAILLE_MODE);

    // The focus a screen reader follows moves with the keyboard, onto the
    // combo box too, and skips the unavailable check box.
    for (const int id : {IDC_USE_CONTRACTED_BRAILLE_INPUT, IDC_SET_TABLES, IDC_MARKING, IDC_MULTILINE_BRAILLE,
                         IDC_SHOW_BRAILLE_VISUALIZER}) {
        pressKey(VK_TAB);
        ASSERT_TRUE(waitForFocus(child(main, id)));
        for (const Row& row : kMainWindow) {
            if (row.id == IDC_STATIC) continue;
            EXPECT_EQ((hear(child(main, row.id)).state & STATE_SYSTEM_FOCUSED) != 0, row.id == id)
                << toUtf8(row.name) << " with the focus on " << id;
        }
    }

    const struct { int button; const wchar_t* dialogClass; const wchar_t* title; const std::vector<Row>* rows;
                   int focused; int cancel; } dialogs[] = {
        {IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS, L"Set Tables...", &kTablesDialog, IDC_LITERARY_TABLE,
         IDC_TABLES_CANCEL},
        {IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS, L"Marking...", &kMarkingDialog, IDC_MARKING_FIRST_CHECKBOX,
         IDC_MARKING_CANCEL},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(toUtf8(d.title));
        HWND dialog = openInFront(main, d.button, d.dialogClass, program.pid());
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(waitForFocus(child(dialog, d.focused)));
        EXPECT_EQ(hear(dialog).name, d.title);
        expectHeard(dialog, *d.rows, d.focused);
        postClick(child(dialog, d.cancel));
        ASSERT_TRUE(waitForGone(dialog, 5s));
    }
    EXPECT_EQ(exitWithExitButton(program), 0u);
}

}  // namespace
}  // namespace e2e
