// The tables and marking dialogs: what they list, what they send or write,
// and that a choice survives a restart through the component.

#include "tests/e2e/Fixture.h"

namespace e2e {
namespace {

// Each list with its selected name after the bar.
Names lists(HWND dialog) {
    Names texts;
    for (int id : {IDC_LITERARY_TABLE, IDC_COMPUTER_TABLE, IDC_MATH_TABLE}) {
        texts.emplace_back();
        for (const std::wstring& name : comboItems(GetDlgItem(dialog, id))) texts.back() += name + L" ";
        texts.back() += L"| " + textOf(GetDlgItem(dialog, id)); // a drop-down list's text is its selection
    }
    return texts;
}

TEST_F(Lumibrel, TablesAreListedByKindInUnitOrderAndAChoiceIsSentOnceAndKept) {
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
Names boxes(HWND dialog) {
    Names shown;
    for (HWND c = GetDlgItem(dialog, IDC_MARKING_FIRST_CHECKBOX); GetDlgCtrlID(c) >= IDC_MARKING_FIRST_CHECKBOX;
         c = GetWindow(c, GW_HWNDNEXT))
        shown.push_back(textOf(c) + (checked(c) ? L"=1" : L"=0"));
    return shown;
}

TEST_F(Lumibrel, MarkingComesFromTheLanguageFileAndIsCarriedWholeIntoTheSettingsFile) {
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

} // namespace
} // namespace e2e
