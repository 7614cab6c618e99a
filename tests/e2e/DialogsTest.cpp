// The tables and marking dialogs: what they list, what they send or write,
// and that a choice survives a restart through the component.

#include "tests/e2e/Fixture.h"

#include <map>

namespace e2e {
namespace {

// Each list with its selected name after the bar.
Names lists(HWND dialog)
{
    Names texts;
    for (int id : {IDC_LITERARY_TABLE, IDC_COMPUTER_TABLE, IDC_MATH_TABLE}) {
        texts.emplace_back();
        for (const std::wstring& name : comboItems(GetDlgItem(dialog, id)))
            texts.back() += name + L" ";
        texts.back() += L"| " + textOf(GetDlgItem(dialog, id)); // a drop-down list's text is its selection
    }
    return texts;
}

TEST_F(Lumibrel, TablesAreListedByKindInUnitOrderAndAChoiceIsSentOnceAndKept)
{
    const std::wstring longName = std::wstring(240, L'x') + L"-g1.ctb";
    makeFolders(s->programFile(L"tables\\dir-g1.ctb"));
    for (std::wstring name : {L"en-us-g2.ctb", L"de-g2.ctb", L"EN-GB-G1.UTB", L"nemeth.ctb", L"en-us-comp8.ctb",
                              L"comp6-math.tbl", L"readme-g2.txt", L"g2.ctb.bak", L"\x00e9-lit.dis", longName.c_str()})
        writeText(s->programFile(L"tables\\" + name), L"");
    s->writeSettings(L"[Liblouis]\nTablesPath=missing\nMathTable=my-math.cti\n");
    ASSERT_TRUE(open());
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(lists(dialog), (Names{L"en-us-g2.ctb | en-us-g2.ctb", L"en-us-comp8.ctb | en-us-comp8.ctb",
                                    L"my-math.cti | my-math.cti"})); // no folder: only the current names
    EXPECT_EQ(textOf(GetWindow(GetDlgItem(dialog, IDC_COMPUTER_TABLE), GW_HWNDPREV)), L"&Computer Table:");
    keys({VK_ESCAPE});
    ASSERT_TRUE(gone(dialog));
    // The folder is read at each opening; without a TablesPath it lies beside the program.
    WritePrivateProfileStringW(L"Liblouis", L"TablesPath", nullptr, s->settingsPath().c_str());
    ASSERT_TRUE(dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS));
    const std::wstring names = L"EN-GB-G1.UTB de-g2.ctb en-us-g2.ctb " + longName + L" \x00e9-lit.dis | en-us-g2.ctb";
    EXPECT_EQ(lists(dialog), (Names{names, L"comp6-math.tbl en-us-comp8.ctb | en-us-comp8.ctb",
                                    L"comp6-math.tbl nemeth.ctb my-math.cti | my-math.cti"}));
    keys({VK_END});
    keys({VK_MENU, 'C'});
    keys({VK_HOME});
    keys({VK_MENU, 'M'});
    keys({VK_UP});
    keys({VK_RETURN});
    ASSERT_TRUE(gone(dialog));
    choose(item(IDC_MULTILINE_BRAILLE), 2);
    ASSERT_TRUE(applyAndWait());
    EXPECT_EQ(lastSent(),
              sentFor("10002", " SetBrailleTables(\"\xC3\xA9-lit.dis\",\"nemeth.ctb\",\"comp6-math.tbl\")"));
    ASSERT_TRUE(applyAndWait());
    EXPECT_EQ(lastSent(), sentFor("10002")) << "the same tables are sent once";
    struct OneTable {
        int list, index;
        std::string sent;
    };
    const OneTable alone[] = {
        // each table reaches the component when it alone changes
        {IDC_COMPUTER_TABLE, 1, "(\"\xC3\xA9-lit.dis\",\"nemeth.ctb\",\"en-us-comp8.ctb\")"},
        {IDC_MATH_TABLE, 0, "(\"\xC3\xA9-lit.dis\",\"comp6-math.tbl\",\"en-us-comp8.ctb\")"},
    };
    for (const OneTable& change : alone) {
        ASSERT_TRUE(dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS));
        choose(GetDlgItem(dialog, change.list), change.index);
        EXPECT_TRUE(click(GetDlgItem(dialog, IDC_TABLES_OK)));
        ASSERT_TRUE(applyAndWait());
        EXPECT_EQ(lastSent(), sentFor("10002", " SetBrailleTables" + change.sent));
    }
    for (int closeWith : {IDC_TABLES_CANCEL, 0}) { // a dismissed dialog keeps the choice
        ASSERT_TRUE(dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS));
        keys({VK_MENU, 'L'});
        keys({VK_HOME});
        HWND literary = GetDlgItem(dialog, IDC_LITERARY_TABLE);
        ASSERT_TRUE(waitUntil([&] { return send(literary, CB_GETCURSEL) == 0; }, 5s)) << "no choice made";
        if (closeWith) {
            postClick(GetDlgItem(dialog, closeWith));
        } else {
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(gone(dialog));
    }
    exitCleanly();
    EXPECT_EQ(sent().size(), 6u) << "sent before Apply"; // start-up, four Applies, Exit
    // The component keeps what it was given; the next start shows it.
    ASSERT_TRUE(open());
    EXPECT_EQ(shown(), "10002");
    ASSERT_TRUE(dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS));
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_LITERARY_TABLE)), L"\x00e9-lit.dis");
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_MATH_TABLE)), L"comp6-math.tbl");
    choose(GetDlgItem(dialog, IDC_LITERARY_TABLE), 3); // a long name comes back whole
    EXPECT_TRUE(click(GetDlgItem(dialog, IDC_TABLES_OK)));
    ASSERT_TRUE(applyAndWait());
    EXPECT_EQ(iniValue(s->settingsPath(), L"Liblouis", L"LiteraryTable"), longName);
    exitCleanly();
}

// What each check box says and whether it is checked.
Names boxes(HWND dialog)
{
    Names shown;
    for (HWND c = GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX); GetDlgCtrlID(c) >= IDC_MARKING_FIRST_CHECKBOX;
         c = GetWindow(c, GW_HWNDNEXT))
        shown.push_back(textOf(c) + (checked(c) ? L"=1" : L"=0"));
    return shown;
}

TEST_F(Lumibrel, MarkingComesFromTheLanguageFileAndIsCarriedWholeIntoTheSettingsFile)
{
    s->writeLanguageFile(L"[BrailleMarking]\nBoldText=yes\nItalicText=0\n=stray\nno equals sign\nHTMLLink=1\n"
                         L"boldTEXT=0\nUnderline=off\n"); // a key repeated gives no second check box
    ASSERT_TRUE(open(kComponentKeepsNothing));
    HWND dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(boxes(dialog), (Names{L"Bold &Text=1", L"Italic T&ext=0", L"HTML &Link=1", L"Underline=0"}));
    EXPECT_TRUE(focusOn(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX)));
    for (WORD key : {VK_ESCAPE, VK_RETURN}) { // nothing changed, nothing written, however it closes
        keys({key});
        ASSERT_TRUE(gone(dialog));
        ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    }
    EXPECT_TRUE(readIni(s->settingsPath()).empty());
    keys({VK_DOWN});
    keys({VK_SPACE});
    keys({VK_RETURN});
    ASSERT_TRUE(gone(dialog));
    Names whole = {L"BoldText=yes", L"ItalicText=1", L"HTMLLink=1", L"Underline=off"};
    EXPECT_EQ(readIni(s->settingsPath()), (Ini{{L"BrailleMarking", whole}}));
    // From the settings file now: only the changed entry is written.
    ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    EXPECT_EQ(boxes(dialog).at(1), L"Italic T&ext=1");
    EXPECT_TRUE(click(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX + 3)));
    EXPECT_TRUE(click(GetDlgItem(dialog, IDC_MARKING_OK)));
    whole.at(3) = L"Underline=1";
    EXPECT_EQ(readIni(s->settingsPath()), (Ini{{L"BrailleMarking", whole}}));
    // A write that fails keeps the dialog open and the window disabled.
    removeTree(s->settingsFolder());
    writeText(s->settingsFolder(), L"a file where the folder belongs");
    ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    keys({VK_SPACE});
    keys({VK_RETURN});
    expectBox(L"Failed to write BrailleMarking setting to INI.", Icon::Error, dialog);
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_TRUE(focusOn(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX))) << "the focus comes back where it was";
    keys({VK_ESCAPE});
    EXPECT_TRUE(gone(dialog));
    EXPECT_TRUE(IsWindowEnabled(main));
    // The component writes the section while the dialog is open: its entries stay.
    DeleteFileW(s->settingsFolder().c_str());
    makeFolders(s->settingsFolder());
    ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    WritePrivateProfileStringW(L"BrailleMarking", L"Strikeout", L"1", s->settingsPath().c_str());
    keys({VK_SPACE});
    keys({VK_RETURN});
    ASSERT_TRUE(gone(dialog));
    EXPECT_EQ(readIni(s->settingsPath()), (Ini{{L"BrailleMarking", {L"Strikeout=1", L"BoldText=0"}}}));
    // A section far longer than one read is shown and written back whole.
    std::wstring section = L"[BrailleMarking]\n";
    for (int i = 0; i < 600; ++i)
        section += L"Attribute" + std::to_wstring(i) + L"LongEnoughName=" + (i % 2 ? L"1\n" : L"0\n");
    s->writeSettings(section);
    Ini expected = readIni(s->settingsPath());
    ASSERT_TRUE(dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS));
    EXPECT_EQ(boxes(dialog).size(), 600u);
    EXPECT_TRUE(click(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX + 599)));
    EXPECT_TRUE(click(GetDlgItem(dialog, IDC_MARKING_OK)));
    expected.at(0).second.at(599) = L"Attribute599LongEnoughName=0";
    EXPECT_EQ(readIni(s->settingsPath()), expected);
    exitCleanly();
}

// The message font for a scale as the program is to draw with it: a font
// does not cross processes.
struct Look {
    UINT dpi;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = nullptr;
    TEXTMETRICW metrics{};
    explicit Look(UINT scale) : dpi(scale)
    {
        NONCLIENTMETRICSW system{};
        system.cbSize = sizeof system;
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof system, &system, 0, dpi);
        SelectObject(dc, font = CreateFontIndirectW(&system.lfMessageFont));
        GetTextMetricsW(dc, &metrics);
    }
    ~Look()
    {
        DeleteDC(dc);
        DeleteObject(font);
    }
    int width(const std::wstring& text) const
    {
        RECT drawn{};
        DrawTextW(dc, text.c_str(), -1, &drawn, DT_CALCRECT | DT_SINGLELINE);
        return drawn.right;
    }
};

RECT placeOf(HWND control)
{ // in its window's client area
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

bool inside(RECT inner, RECT outer)
{
    RECT common{};
    return IntersectRect(&common, &inner, &outer) && EqualRect(&common, &inner);
}

bool whole(HWND control)
{
    RECT client{};
    GetClientRect(GetParent(control), &client);
    return inside(placeOf(control), client);
}

// How far right a label's text reaches on the screen: its last column not of the window's colour.
int inkWidth(HWND label)
{
    RECT at{};
    GetWindowRect(label, &at);
    const int width = at.right - at.left;
    const int height = at.bottom - at.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, picture);
    BitBlt(dc, 0, 0, width, height, screen, at.left, at.top, SRCCOPY);
    const COLORREF paper = GetSysColor(COLOR_WINDOW);
    const DWORD background = GetRValue(paper) << 16 | GetGValue(paper) << 8 | GetBValue(paper);
    int ink = 0;
    for (int i = 0; bits && i < width * height; ++i)
        if ((static_cast<const DWORD*>(bits)[i] & 0xFFFFFF) != background)
            ink = std::max(ink, i % width + 1);
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return ink;
}

// Every control whole in its window (a check box may be scrolled wholly out
// of sight) and its text, in the message font, within it.
void expectReadable(HWND window, const Look& look)
{
    RECT client{}, seen{};
    GetClientRect(window, &client);
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"";
        GetClassNameW(c, kind, 16);
        const bool button = !_wcsicmp(kind, L"Button");
        const bool box = button && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        RECT place = placeOf(c);
        if (!IsWindowVisible(c) || (box && !IntersectRect(&seen, &place, &client)))
            continue;
        std::wstring text = textOf(c);
        int room = place.right - place.left; // less a check box's box, a push button's edges, a combo box's arrow
        if (button)
            room -= box ? look.metrics.tmHeight + look.metrics.tmAveCharWidth : 2 * look.metrics.tmAveCharWidth;
        if (!_wcsicmp(kind, L"ComboBox")) {
            for (const std::wstring& item : comboItems(c))
                text = look.width(item) > look.width(text) ? item : text;
            room -= GetSystemMetricsForDpi(SM_CXVSCROLL, look.dpi) + 2 * look.metrics.tmAveCharWidth;
        }
        EXPECT_TRUE(inside(place, client)) << utf8(text) << " lies outside its window";
        EXPECT_LE(look.width(text), room) << utf8(text) << " runs past its control";
        EXPECT_LE(look.metrics.tmHeight, place.bottom - place.top) << utf8(text);
    }
}

// ctest runs it in US English and in German, which has no list of its own.
TEST_F(Lumibrel, EveryLabelIsWholeAndEveryWindowOnTheScreenAtEveryScaleAndTextSize)
{
    const wchar_t* const desktop = L"Control Panel\\Desktop"; // where each program started reads its scale
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const auto setFont = [](NONCLIENTMETRICSW m) {
        SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof m, &m, SPIF_UPDATEINIFILE);
    };
    const std::shared_ptr<void> restore(nullptr, [&](void*) {
        setFont(metrics);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels");
    });
    struct Row {
        DWORD dpi;
        LONG fontHeight; // the message font's height at 96 dpi; 0 leaves it as it is
        int attributes;  // in the language file
        double growth;   // how much larger than at 96 dpi each window is at least; 0: not compared
    };
    // clang-format off
    const Row rows[] = {
        {.dpi = 96, .fontHeight = 0, .attributes = 9, .growth = 1},
        {.dpi = 144, .fontHeight = 0, .attributes = 9, .growth = 1.4},
        {.dpi = 192, .fontHeight = 0, .attributes = 9, .growth = 1.8},
        {.dpi = 96, .fontHeight = -16, .attributes = 9, .growth = 1.2},
        {.dpi = 192, .fontHeight = 0, .attributes = 40, .growth = 0},
    };                                 // clang-format on
    std::map<std::wstring, SIZE> base; // each window's size at 96 dpi
    makeFolders(s->programFile(L"enu"));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.dpi << " dpi, font " << row.fontHeight << ", " << row.attributes);
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &row.dpi, sizeof row.dpi);
        NONCLIENTMETRICSW font = metrics;
        if (row.fontHeight)
            font.lfMessageFont.lfHeight = row.fontHeight;
        setFont(font);
        std::wstring list = L"[BrailleMarking]\n";
        for (int i = 0; i < row.attributes; ++i)
            list += L"MarkSpellingErrorsNumber" + std::to_wstring(i) + L"=1\n";
        writeText(s->programFile(L"enu\\Cellvane.ini"), list); // the one that ships
        ASSERT_TRUE(open());
        const Look look(row.dpi);
        struct Window {
            int button; // that opens it; 0 for the main window
            const wchar_t* className;
            int cancel;
        };
        const Window windows[] = {{0, LUMIBREL_MAIN_WINDOW_CLASS, 0},
                                  {IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS, IDC_TABLES_CANCEL},
                                  {IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS, IDC_MARKING_CANCEL}};
        for (const auto& [button, className, cancel] : windows) {
            HWND window = button ? openDialog(button, className) : main;
            ASSERT_TRUE(window) << utf8(className);
            expectReadable(window, look);
            HWND label =
                FindWindowExW(window, nullptr, L"Static", nullptr); // drawn in that font, on the window's colour
            const int drawn = look.width(textOf(label));
            EXPECT_TRUE(waitUntil([&] { return std::abs(inkWidth(label) - drawn) <= drawn / 10; }, 2s))
                << utf8(className) << " " << inkWidth(label) << " for " << drawn;
            RECT frame{};
            GetWindowRect(window, &frame);
            MONITORINFO screen{};
            screen.cbSize = sizeof screen;
            GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen);
            EXPECT_TRUE(inside(frame, screen.rcWork)) << utf8(className) << " reaches past the screen";
            const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
            if (row.dpi == 96 && row.growth == 1)
                base[className] = size;
            EXPECT_GE(size.cx, base[className].cx * row.growth) << utf8(className);
            EXPECT_GE(size.cy, base[className].cy * row.growth) << utf8(className);
            if (button == IDC_MARKING) {
                EXPECT_EQ(boxes(window).size(), static_cast<size_t>(row.attributes));
            }
            if (button == IDC_MARKING && row.attributes > 30) { // more than the screen holds: Tab scrolls to each
                for (int i = 1; i < row.attributes; ++i)
                    keys({VK_TAB});
                HWND last = GetDlgItem(window, IDC_MARKING_FIRST_CHECKBOX + row.attributes - 1);
                EXPECT_TRUE(focusOn(last));
                EXPECT_TRUE(waitUntil([&] { return whole(last); }, 2s)) << "the focused check box is out of sight";
                EXPECT_LE(placeOf(last).bottom, placeOf(GetDlgItem(window, IDC_MARKING_OK)).top);
                ShowWindowAsync(main, SW_MINIMIZE); // which hides the dialog: the hot key brings both back as they were
                ASSERT_TRUE(waitUntil([&] { return IsIconic(main) != FALSE; }, 5s));
                PostMessageW(main, WM_HOTKEY, 1, 0);
                EXPECT_TRUE(waitUntil([&] { return !IsIconic(main) && IsWindowVisible(window); }, 5s));
                EXPECT_TRUE(focusIn(window));
                EXPECT_TRUE(focusOn(last));
            }
            if (button) {
                postClick(GetDlgItem(window, cancel));
                EXPECT_TRUE(gone(window));
            }
        }
        if (&row == rows) { // with no list at all, the user is told
            DeleteFileW(s->programFile(L"enu\\Cellvane.ini").c_str());
            postClick(item(IDC_MARKING));
            expectBox(L"No text attributes were found to mark.", Icon::Warning, main);
        }
        exitCleanly();
    }
}

} // namespace
} // namespace e2e
