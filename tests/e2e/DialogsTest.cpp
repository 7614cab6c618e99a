// The tables and marking dialogs, what they list, send and write; and every
// window readable at every scale.

#include "tests/e2e/Fixture.h"

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

TEST_F(Lumibrel, TablesAreListedByKindInUnitOrderAndAChoiceIsSentOnce)
{
    makeFolders(s->programFile(L"tables\\dir-g1.ctb"));
    for (const wchar_t* name : {L"en-us-g2.ctb", L"de-g2.ctb", L"EN-GB-G1.UTB", L"nemeth.ctb", L"en-us-comp8.ctb",
                                L"comp6-math.tbl", L"readme-g2.txt", L"g2.ctb.bak", L"\x00e9-lit.dis"})
        writeText(s->programFile(L"tables\\") + name, L"");
    s->writeSettings(L"[Liblouis]\nMathTable=my-math.cti\n"); // no TablesPath: the folder beside the program
    ASSERT_TRUE(open());
    // Away from the top left, and clear of the middle of the screen, where the pointer rests: under Wine
    // without a window manager, a window that closes under the pointer leaves the focus to the desktop.
    SetWindowPos(main, nullptr, GetSystemMetrics(SM_CXSCREEN) / 2 - 600, GetSystemMetrics(SM_CYSCREEN) / 2 + 40, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    RECT over{}, under{};
    GetWindowRect(dialog, &over);
    GetWindowRect(main, &under);
    EXPECT_NEAR(over.left + over.right, under.left + under.right, 2) << "not centred over the main window";
    EXPECT_NEAR(over.top + over.bottom, under.top + under.bottom, 2) << "not centred over the main window";
    EXPECT_EQ(lists(dialog), (Names{L"EN-GB-G1.UTB de-g2.ctb en-us-g2.ctb \x00e9-lit.dis | en-us-g2.ctb",
                                    L"comp6-math.tbl en-us-comp8.ctb | en-us-comp8.ctb",
                                    L"comp6-math.tbl nemeth.ctb my-math.cti | my-math.cti"}));
    EXPECT_EQ(textOf(GetWindow(GetDlgItem(dialog, IDC_COMPUTER_TABLE), GW_HWNDPREV)), L"&Computer Table:");
    keys({VK_END});
    keys({VK_MENU, 'C'});
    keys({VK_HOME});
    keys({VK_MENU, 'M'});
    keys({VK_UP});
    closeBy(VK_RETURN, dialog);
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
        dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
        choose(GetDlgItem(dialog, change.list), change.index);
        EXPECT_TRUE(click(GetDlgItem(dialog, IDC_TABLES_OK)));
        ASSERT_TRUE(applyAndWait());
        EXPECT_EQ(lastSent(), sentFor("10002", " SetBrailleTables" + change.sent));
    }
    for (int closeWith : {IDC_TABLES_CANCEL, 0}) { // a dismissed dialog keeps the choice, and gives back the focus
        dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
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
        EXPECT_TRUE(focusIn(main)) << "the focus did not come back";
    }
    exitCleanly();
    EXPECT_EQ(sent().size(), 6u) << "sent before Apply"; // start-up, four Applies, Exit
    EXPECT_EQ(lastSent(), sentFor("10002")) << "a dismissed choice reached the component";
}

// A small folder of tables that say what they are, as a reader of the session's language finds it. ctest runs
// it in US English and in German.
TEST_F(Lumibrel, TablesFollowTheReadersLanguageAndAreNamedByWhatTheyAre)
{
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"de-g2.ctb",
         "# German\n#-index-name: German, contracted\n#+language:de\n#+type:literary\n#+contraction:full\n"},
        {L"de-g2-detailed.ctb", "#+language: de\n#+type: literary\n#+contraction: full\n#+variant: detailed\n"},
        {L"de-g1.ctb", "#+language:de\n#+type:literary\n#+contraction:partial\n"},
        {L"de-comp6.utb", "#+language:de\n#+type:computer\n#+dots:6\n"},
        {L"de-de-comp8.ctb", "#+language:de\n#+type:computer\n#+dots:8\n"},
        {L"en_US.tbl", "#+language:en\n#+region:en-US\n#+type:literary\n#+contraction:full\n"},
        {L"plain-g1.ctb", "include plain.cti\n#+language:de\n"}};
    makeFolders(s->programFile(L"tables"));
    for (const auto& [name, header] : files)
        std::ofstream(fs::path(s->programFile(L"tables\\") + name)) << header;
    s->writeLanguageFile(L"[BrailleMarking]\nMarkBold=0\n");
    ASSERT_TRUE(open());
    // A German reader's: contracted, without a variant; computer braille of 8 dots. US English keeps its own.
    const bool german = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN;
    EXPECT_EQ(lastSent(), sentFor(kDefaults, german ? " SetBrailleTables(\"de-g2.ctb\",\"en-us-mathtext.ctb\","
                                                      "\"de-de-comp8.ctb\")"
                                                    : ""));
    HWND dialog = openDialog(IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS);
    HWND literary = GetDlgItem(dialog, IDC_LITERARY_TABLE);
    const Names entries = comboItems(literary);
    const auto entry = [&](const std::wstring& name) {
        const auto found = std::ranges::find_if(entries, [&](auto& e) { return e.ends_with(L" (" + name + L")"); });
        return found == entries.end() ? std::wstring() : found->substr(0, found->size() - name.size() - 3);
    };
    // Each says what it is, told apart from the others, in the user's collation; one that says nothing, its name.
    EXPECT_NE(entry(L"de-g2.ctb").find(programText(IDS_TABLE_CONTRACTED)), std::wstring::npos);
    EXPECT_NE(entry(L"de-g1.ctb").find(programText(IDS_TABLE_PARTIALLY_CONTRACTED)), std::wstring::npos);
    EXPECT_NE(entry(L"de-g2-detailed.ctb"), entry(L"de-g2.ctb"));
    EXPECT_EQ(std::ranges::count(entries, L"plain-g1.ctb"), 1);
    const auto collated = [](const std::wstring& a, const std::wstring& b) {
        return CompareStringEx(LOCALE_NAME_USER_DEFAULT, 0, a.c_str(), -1, b.c_str(), -1, nullptr, nullptr, 0) ==
               CSTR_LESS_THAN;
    };
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end() - !german, collated)); // the current name comes last
    EXPECT_EQ(textOf(literary), german ? entry(L"de-g2.ctb") + L" (de-g2.ctb)" : L"en-us-g2.ctb");
    // What is sent is the file's name.
    const std::wstring other = entry(L"de-g1.ctb") + L" (de-g1.ctb)";
    choose(literary, static_cast<int>(std::ranges::find(entries, other) - entries.begin()));
    closeBy(VK_RETURN, dialog);
    ASSERT_TRUE(applyAndWait());
    EXPECT_NE(lastSent().find("SetBrailleTables(\"de-g1.ctb\""), std::string::npos) << lastSent();
    // An attribute is named in the reader's language and stored by its identifier.
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    std::wstring label = textOf(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX));
    if (!german)
        std::erase(label, L'&'); // an English name takes its key by the marking rule
    EXPECT_EQ(label, programText(IDS_ATTR_MARK_BOLD));
    keys({VK_SPACE});
    closeBy(VK_RETURN, dialog);
    EXPECT_EQ(iniValue(s->settingsPath(), L"BrailleMarking", L"MarkBold"), L"1");
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
    EXPECT_EQ(boxes(dialog), (Names{L"Bold &Text=1", L"Italic T&ext=0", L"HTML &Link=1", L"Underline=0"}));
    EXPECT_TRUE(focusOn(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX)));
    keys({VK_DOWN});
    keys({VK_SPACE});
    closeBy(VK_ESCAPE, dialog);
    EXPECT_TRUE(readIni(s->settingsPath()).empty()) << "Escape kept the change";
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    keys({VK_DOWN});
    keys({VK_SPACE});
    closeBy(VK_RETURN, dialog);
    Names whole = {L"BoldText=yes", L"ItalicText=1", L"HTMLLink=1", L"Underline=off"};
    EXPECT_EQ(readIni(s->settingsPath()), (Ini{{L"BrailleMarking", whole}}));
    // A write that fails keeps the dialog open and the window disabled.
    removeTree(s->settingsFolder());
    writeText(s->settingsFolder(), L"a file where the folder belongs");
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    keys({VK_SPACE});
    keys({VK_RETURN});
    expectBox(L"Failed to write BrailleMarking setting to INI.", dialog);
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_TRUE(focusOn(GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX))) << "the focus comes back where it was";
    closeBy(VK_ESCAPE, dialog);
    EXPECT_TRUE(IsWindowEnabled(main));
    // The component writes the section while the dialog is open: its entries stay.
    DeleteFileW(s->settingsFolder().c_str());
    makeFolders(s->settingsFolder());
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    WritePrivateProfileStringW(L"BrailleMarking", L"Strikeout", L"1", s->settingsPath().c_str());
    keys({VK_SPACE});
    closeBy(VK_RETURN, dialog);
    EXPECT_EQ(readIni(s->settingsPath()), (Ini{{L"BrailleMarking", {L"Strikeout=1", L"BoldText=0"}}}));
    // A key the ANSI code page lacks, into a file begun in ANSI by another writer: the file's own line stays.
    removeTree(s->settingsFolder());
    makeFolders(s->settingsFolder());
    WritePrivateProfileStringW(L"Display", L"Port", L"Caf\u00e9", s->settingsPath().c_str());
    s->writeLanguageFile(L"[BrailleMarking]\n\u0416irText=0\n");
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    keys({VK_SPACE});
    closeBy(VK_RETURN, dialog);
    EXPECT_EQ(readIni(s->settingsPath()),
              (Ini{{L"Display", {L"Port=Caf\u00e9"}}, {L"BrailleMarking", {L"\u0416irText=1"}}}));
    // From the settings file now, a section far longer than one read: only the changed entry is written.
    std::wstring section = L"[BrailleMarking]\n";
    for (int i = 0; i < 600; ++i)
        section += L"Attribute" + std::to_wstring(i) + L"LongEnoughName=" + (i % 2 ? L"yes\n" : L"off\n");
    s->writeSettings(section);
    Ini expected = readIni(s->settingsPath());
    dialog = openDialog(IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS);
    EXPECT_EQ(boxes(dialog).size(), 600u);
    EXPECT_EQ(boxes(dialog).at(599), L"Attribute599 Long Enough Name=1");
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

// In its window's client area.
RECT placeOf(HWND control)
{
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

// The window on its screen; every control named, whole in the window (a check
// box may be scrolled wholly out of sight) and its text, in the message font,
// within it.
void expectReadable(HWND window, const Look& look)
{
    RECT frame{}, client{}, seen{};
    GetWindowRect(window, &frame);
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen);
    EXPECT_TRUE(inside(frame, screen.rcWork)) << "the window reaches past the screen";
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
        if (button || !_wcsicmp(kind, L"Static")) {
            EXPECT_FALSE(text.empty()) << "a control a screen reader cannot name";
        }
        int room = place.right - place.left; // less a check box's box, a push button's edges, a combo box's arrow
        if (button)
            room -= box ? look.metrics.tmHeight + look.metrics.tmAveCharWidth : 2 * look.metrics.tmAveCharWidth;
        if (!_wcsicmp(kind, L"ComboBox")) {
            for (const std::wstring& item : comboItems(c))
                text = look.width(item) > look.width(text) ? item : text;
            room -= GetSystemMetricsForDpi(SM_CXVSCROLL, look.dpi) + 2 * look.metrics.tmAveCharWidth;
            // A list's rows are as high as the font it was given: the window's font reached its controls.
            EXPECT_NEAR(send(c, CB_GETITEMHEIGHT, 0), look.metrics.tmHeight, 2) << utf8(text);
        }
        EXPECT_TRUE(inside(place, client)) << utf8(text) << " lies outside its window";
        EXPECT_LE(look.width(text), room) << utf8(text) << " runs past its control";
        EXPECT_LE(look.metrics.tmHeight, place.bottom - place.top) << utf8(text);
        if (box || !_wcsicmp(kind, L"Static")) { // on the window's own colour, below the text: no grey box
            RECT shown{};
            GetWindowRect(c, &shown);
            HDC screen = GetDC(nullptr);
            const auto below = [&] { return GetPixel(screen, (shown.left + shown.right) / 2, shown.bottom - 1); };
            EXPECT_TRUE(waitUntil([&] { return below() == GetSysColor(COLOR_WINDOW); }, 2s)) << utf8(text);
            ReleaseDC(nullptr, screen);
        }
    }
}

// A layout left at 100% fails too: the scaled text no longer fits its control.
// ctest runs it in US English, German, Japanese and Arabic, none of which has
// a list of its own.
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
    };
    const Row rows[] = {{96, 0, 9}, {144, 0, 9}, {192, 0, 9}, {96, -16, 9}, {192, 0, 40}};
    makeFolders(s->programFile(L"enu"));
    const bool rightToLeft = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ARABIC;
    const bool english = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH;
    s->writeSettings(L"[Settings]\nShowBrailleVisualizer=1\n"); // the component's braille view is open
    // The attributes the program names, in the shipped list's order, then others it does not know.
    const Names known = {L"MarkBold",          L"MarkItalic",         L"MarkUnderline",
                         L"MarkStrikethrough", L"MarkSuperscript",    L"MarkSubscript",
                         L"MarkHighlight",     L"MarkSpellingErrors", L"MarkLinks"};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.dpi << " dpi, font " << row.fontHeight << ", " << row.attributes);
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &row.dpi, sizeof row.dpi);
        NONCLIENTMETRICSW font = metrics;
        if (row.fontHeight)
            font.lfMessageFont.lfHeight = row.fontHeight;
        setFont(font);
        std::wstring list = L"[BrailleMarking]\n";
        for (int i = 0; i < row.attributes; ++i)
            list += (i < 9 ? known[i] : L"MarkSpellingErrorsNumber" + std::to_wstring(i)) + L"=1\n";
        writeText(s->programFile(L"enu\\Cellvane.ini"), list); // the one that ships
        ASSERT_TRUE(open({{L"CELLVANE_SIM_VIEW", L"1"}}));
        const Look look(row.dpi);
        // Only the program's own windows read right to left: braille reads left to right in every language.
        HWND view = waitForWindow(p->pid(), L"CellvaneBrailleView");
        ASSERT_TRUE(view) << "the component's view did not open";
        EXPECT_EQ(GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << "the component's view is mirrored";
        const std::pair<int, const wchar_t*> windows[] = {{0, LUMIBREL_MAIN_WINDOW_CLASS},
                                                          {IDC_SET_TABLES, LUMIBREL_TABLES_DIALOG_CLASS},
                                                          {IDC_MARKING, LUMIBREL_MARKING_DIALOG_CLASS}};
        for (const auto& [button, className] : windows) {
            SCOPED_TRACE(utf8(className));
            HWND window = button ? openDialog(button, className) : main;
            expectReadable(window, look);
            // Reading begins at the first control: at the left edge, and at the right in Arabic, mirrored.
            RECT frame{}, first{};
            GetWindowRect(window, &frame);
            GetWindowRect(GetWindow(window, GW_CHILD), &first);
            EXPECT_EQ(frame.right - first.right < first.left - frame.left, rightToLeft) << "mirrored or not";
            if (button == IDC_MARKING) { // named in the reader's language, each with a key of its own
                const Names labels = boxes(window);
                EXPECT_EQ(labels.size(), static_cast<size_t>(row.attributes));
                std::vector<wchar_t> taken;
                for (size_t i = 0; i < labels.size(); ++i) {
                    std::wstring label = labels[i].substr(0, labels[i].size() - 2); // less "=1"
                    const std::optional<wchar_t> key = AccessKeyOf(label);
                    const auto same = [&](wchar_t k) {
                        return CompareStringOrdinal(&k, 1, &*key, 1, TRUE) == CSTR_EQUAL;
                    };
                    EXPECT_TRUE(key ? std::ranges::none_of(taken, same) : i >= 9) << utf8(label); // letters run out
                    if (key)
                        taken.push_back(*key);
                    if (english) // the English names take their keys by the marking rule
                        std::erase(label, L'&');
                    if (i < 9) {
                        EXPECT_EQ(label, programText(IDS_ATTR_MARK_BOLD + static_cast<UINT>(i)));
                    }
                }
            }
            if (button == IDC_MARKING && row.attributes > 30) { // more than the screen holds: Tab scrolls to each
                for (int i = 1; i < row.attributes; ++i)
                    keys({VK_TAB});
                HWND last = GetDlgItem(window, IDC_MARKING_FIRST_CHECKBOX + row.attributes - 1);
                EXPECT_TRUE(focusOn(last));
                RECT client{};
                GetClientRect(window, &client);
                EXPECT_TRUE(waitUntil([&] { return inside(placeOf(last), client); }, 2s)) << "scrolled out of sight";
                EXPECT_LE(placeOf(last).bottom, placeOf(GetDlgItem(window, IDC_MARKING_OK)).top);
                ShowWindowAsync(main, SW_MINIMIZE); // which hides the dialog: the hot key brings both back as they were
                ASSERT_TRUE(waitUntil([&] { return IsIconic(main) != FALSE; }, 5s));
                PostMessageW(main, WM_HOTKEY, 1, 0);
                EXPECT_TRUE(waitUntil([&] { return !IsIconic(main) && IsWindowVisible(window); }, 5s));
                EXPECT_TRUE(focusIn(window));
                EXPECT_TRUE(focusOn(last));
            }
            if (button)
                closeBy(VK_ESCAPE, window);
        }
        if (&row == rows) { // with no list at all, the user is told
            DeleteFileW(s->programFile(L"enu\\Cellvane.ini").c_str());
            postClick(item(IDC_MARKING));
            expectBox(programText(IDS_WARN_NO_MARKING_LIST), main);
        }
        exitCleanly();
    }
}

} // namespace
} // namespace e2e
