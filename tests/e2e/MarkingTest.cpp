// The text-attribute marking dialog as the user and the display component
// see it: which check boxes it offers, where they sit, what the keyboard
// does in it, and what lands in the settings file the component reads.

#include "tests/e2e/Harness.h"

#include "app/ControlIds.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <tuple>

namespace e2e {
namespace {

// Malformed lines, an empty value, a value that is not a boolean, a
// repeated key and a second word with no free access key letter left.
constexpr wchar_t kMixedLanguageFile[] =
    L"[BrailleMarking]\r\nBoldText=1\r\nUnderline=1=2\r\n=1\r\nNoEqualsSign\r\nItalicText=\r\n"
    L"HTMLLink=yes\r\nBoldText=0\r\nStrikeThroughText=on\r\nHeading1Text=True\r\n";

constexpr wchar_t kPlainLanguageFile[] =
    L"[BrailleMarking]\r\nBoldText=1\r\nItalicText=0\r\nUnderlinedText=0\r\nHTMLLink=yes\r\nColour=1\r\n";

using Lines = std::vector<std::wstring>;
using Boxes = std::vector<std::pair<std::wstring, bool>>;   // label, checked

const Boxes kMixedBoxes = {{L"Bold &Text", true},   {L"Underline", false},
                           {L"Italic T&ext", false}, {L"HTML &Link", true},
                           {L"Bold Te&xt", false},   {L"Strike T&hrough Text", true},
                           {L"Heading1 Text", false}};

// left, top, right, bottom, in the dialog's client coordinates
using Edges = std::array<LONG, 4>;
Edges edgesIn(HWND control, HWND dialog)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

class MarkingTest : public ProgramTest {
protected:
    HWND startProgram() { return mainWindow(*(program_ = &start()), false); }
    HWND openDialog(HWND main, Millis timeout = kDefaultTimeout) const
    {
        postClick(child(main, IDC_MARKING));
        return waitForWindow(program_->pid(), LUMIBREL_MARKING_DIALOG_CLASS, timeout);
    }
    void exitProgram() { EXPECT_EQ(exitWithExitButton(*program_), 0u); }

    // One pass over the children: looking each id up on its own walks them
    // all every time, which a thousand check boxes make take half a minute.
    static std::vector<HWND> checkBoxes(HWND dialog)
    {
        std::map<int, HWND> byId;
        EnumChildWindows(
            dialog,
            [](HWND window, LPARAM found) {
                reinterpret_cast<std::map<int, HWND>*>(found)->emplace(GetDlgCtrlID(window), window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&byId));
        std::vector<HWND> boxes;
        for (auto it = byId.find(IDC_MARKING_FIRST_CHECKBOX);
             it != byId.end() && it->first == IDC_MARKING_FIRST_CHECKBOX + static_cast<int>(boxes.size()); ++it)
            boxes.push_back(it->second);
        return boxes;
    }
    static Boxes shown(HWND dialog)
    {
        Boxes boxes;
        for (HWND box : checkBoxes(dialog)) boxes.push_back({windowText(box), isChecked(box)});
        return boxes;
    }
    static Lines markingLines(const std::wstring& path)
    {
        for (IniSection& section : readIni(path))
            if (section.name == L"BrailleMarking") return section.lines;
        return {};
    }
    static bool closeByButton(HWND dialog, int id)
    {
        postClick(child(dialog, id));
        return waitForGone(dialog);
    }
    static bool closeByKey(HWND dialog, WORD key, Millis timeout = kDefaultTimeout)
    {
        pressKey(key);
        return waitForGone(dialog, timeout);
    }
    static bool enabledAgain(HWND main) { return waitUntil([&] { return IsWindowEnabled(main) != FALSE; }, 5s); }

    Process* program_ = nullptr;
};

TEST_F(MarkingTest, LanguageFileCatalogueIsLaidOutAndCarriedWholeIntoSettingsFile)
{
    writeLanguageFile(kMixedLanguageFile);
    const IniFile languageBefore = readIni(languagePath());
    HWND main = startProgram();
    HWND dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr) << "the marking dialog did not open";

    EXPECT_EQ(windowText(dialog), L"Marking...");
    EXPECT_EQ(windowText(child(dialog, IDC_STATIC)), L"Mark which text attributes with dots 7 and 8.");
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window stays usable behind a modal dialog";
    EXPECT_EQ(shown(dialog), kMixedBoxes);

    RECT window{}, client{};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    EXPECT_EQ(window.right - window.left, 380);
    const std::vector<HWND> boxes = checkBoxes(dialog);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const int top = 36 + 24 * static_cast<int>(i);
        EXPECT_EQ(edgesIn(boxes[i], dialog), (Edges{12, top, 332, top + 22})) << "box " << i;
        EXPECT_EQ(GetWindowLongPtrW(boxes[i], GWL_STYLE) & (BS_TYPEMASK | WS_TABSTOP), BS_AUTOCHECKBOX | WS_TABSTOP);
    }
    const int buttonTop = 36 + 24 * static_cast<int>(boxes.size()) + 8;
    const std::tuple<int, int, const wchar_t*> buttons[] = {{IDC_MARKING_OK, 180, L"OK"},
                                                             {IDC_MARKING_CANCEL, 270, L"Cancel"}};
    for (const auto& [id, left, text] : buttons) {
        const Edges edges = edgesIn(child(dialog, id), dialog);
        EXPECT_EQ(edges, (Edges{left, buttonTop, left + 80, buttonTop + 26})) << "button " << id;
        EXPECT_TRUE(edges[2] <= client.right && edges[3] <= client.bottom)
            << "button " << id << " is cut off by the client area, " << client.right << "x" << client.bottom;
        EXPECT_EQ(windowText(child(dialog, id)), text);
    }
    EXPECT_EQ(GetWindowLongPtrW(child(dialog, IDC_MARKING_OK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(waitForFocus(boxes.front()));

    ASSERT_TRUE(click(boxes[3]));   // HTML Link off
    ASSERT_TRUE(closeByButton(dialog, IDC_MARKING_OK));
    EXPECT_TRUE(enabledAgain(main));
    // Every attribute in its place, untouched values exactly as the
    // language file gave them.
    EXPECT_EQ(markingLines(settingsPath()), (Lines{L"BoldText=1", L"Underline=1=2", L"ItalicText=", L"HTMLLink=0",
                                                   L"BoldText=0", L"StrikeThroughText=on", L"Heading1Text=True"}));
    // The component looks attributes up by name: only the one the user
    // changed may read differently now.
    for (const wchar_t* key : {L"BoldText", L"Underline", L"ItalicText", L"StrikeThroughText", L"Heading1Text"})
        EXPECT_EQ(readIniValue(settingsPath(), L"BrailleMarking", key),
                  readIniValue(languagePath(), L"BrailleMarking", key)) << toUtf8(key);
    EXPECT_EQ(readIni(languagePath()), languageBefore) << "the language file is only ever read";

    dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr);
    Boxes expected = kMixedBoxes;
    expected[3].second = false;
    EXPECT_EQ(shown(dialog), expected);
    ASSERT_TRUE(closeByButton(dialog, IDC_MARKING_CANCEL));
    exitProgram();
}

TEST_F(MarkingTest, OkFromSettingsFileWritesOnlyTheChangedAttribute)
{
    writeLanguageFile(L"[BrailleMarking]\r\nLanguageOnly=1\r\n");
    writeSettings(L"[Liblouis]\r\nDisplayLiteraryBraille=1\r\n"
                      L"[BrailleMarking]\r\nBoldText=yes\r\nItalicText=ON\r\nLinkText=0\r\nNote=kept as is\r\n"
                      L"[Settings]\r\nShowBrailleVisualizer=0\r\n");
    IniFile expected = readIni(settingsPath());
    HWND main = startProgram();
    HWND dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(shown(dialog), (Boxes{{L"Bold &Text", true}, {L"Italic T&ext", true}, {L"Link Te&xt", false},
                                   {L"Note", false}}));
    ASSERT_TRUE(click(checkBoxes(dialog)[1]));
    ASSERT_TRUE(closeByButton(dialog, IDC_MARKING_OK));

    for (IniSection& section : expected)
        for (std::wstring& line : section.lines)
            if (line == L"ItalicText=ON") line = L"ItalicText=0";
    EXPECT_EQ(readIni(settingsPath()), expected);
    exitProgram();
}

TEST_F(MarkingTest, NothingIsWrittenWithoutCatalogueOrChange)
{
    HWND main = startProgram();
    ASSERT_NE(main, nullptr) << "the main window was not shown";
    const std::pair<const char*, const wchar_t*> noCatalogue[] = {
        {"no language file", nullptr},
        {"language file without the section", L"[Settings]\r\nBoldText=1\r\n"},
        {"section of malformed lines only", L"[BrailleMarking]\r\n=1\r\nNoEqualsSign\r\n"},
    };
    for (const auto& [name, text] : noCatalogue) {
        SCOPED_TRACE(name);
        if (text) writeLanguageFile(text);
        EXPECT_TRUE(click(child(main, IDC_MARKING))) << "the click left something modal open";
        pumpMessagesFor(300ms);
        EXPECT_TRUE(topLevelWindows(program_->pid(), LUMIBREL_MARKING_DIALOG_CLASS).empty());
        EXPECT_TRUE(messageBoxes(program_->pid()).empty());
        EXPECT_TRUE(IsWindowEnabled(main));
    }

    writeLanguageFile(kPlainLanguageFile);
    const std::tuple<const char*, bool, std::function<void(HWND)>> ways[] = {
        {"Cancel", true, [](HWND d) { postClick(child(d, IDC_MARKING_CANCEL)); }},
        {"Escape", true, [](HWND) { pressKey(VK_ESCAPE); }},
        {"close box", true, [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"OK without change", false, [](HWND d) { postClick(child(d, IDC_MARKING_OK)); }},
    };
    for (const auto& [name, changeFirst, leave] : ways) {
        SCOPED_TRACE(name);
        HWND dialog = openDialog(main);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(bringToFront(dialog));
        if (changeFirst) {
            ASSERT_TRUE(click(checkBoxes(dialog)[0]));
        }
        leave(dialog);
        ASSERT_TRUE(waitForGone(dialog)) << "the dialog stayed open";
        EXPECT_TRUE(enabledAgain(main));
    }
    EXPECT_EQ(GetFileAttributesW(componentFolder().c_str()), INVALID_FILE_ATTRIBUTES) << "a settings folder was made";
    exitProgram();
}

TEST_F(MarkingTest, FailedWriteShowsErrorAndKeepsDialogOpen)
{
    writeLanguageFile(kPlainLanguageFile);
    CreateDirectoryW(componentFolder().c_str(), nullptr);
    writeTextFile(joinPath(componentFolder(), languageCode()), L"a file where the language folder belongs");
    HWND main = startProgram();
    HWND dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(click(checkBoxes(dialog)[0]));
    postClick(child(dialog, IDC_MARKING_OK));

    ASSERT_NO_FATAL_FAILURE(
        expectBox(program_->pid(), L"Failed to write BrailleMarking setting to INI.", BoxIcon::Error, dialog));

    ASSERT_TRUE(IsWindowVisible(dialog)) << "the dialog closed and took the user's choice with it";
    EXPECT_FALSE(isChecked(checkBoxes(dialog)[0])) << "the user's choice was reset";
    EXPECT_FALSE(IsWindowEnabled(main));
    ASSERT_TRUE(closeByButton(dialog, IDC_MARKING_CANCEL));
    EXPECT_TRUE(enabledAgain(main));
    exitProgram();
}

TEST_F(MarkingTest, KeyboardTogglesMovesAndAccepts)
{
    writeLanguageFile(kPlainLanguageFile);
    HWND main = startProgram();
    HWND dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(bringToFront(dialog));
    const std::vector<HWND> boxes = checkBoxes(dialog);
    ASSERT_EQ(boxes.size(), 5u);
    ASSERT_TRUE(waitForFocus(boxes[0]));

    // keys, what they do, the check box with the focus after them, the states
    const std::tuple<const char*, std::function<void()>, size_t, std::vector<bool>> steps[] = {
        {"Space", [] { pressKey(VK_SPACE); }, 0, {false, false, false, true, true}},
        {"Tab, Space", [] { pressKey(VK_TAB); pressKey(VK_SPACE); }, 1, {false, true, false, true, true}},
        // Access keys act like a click on the check box, as in any dialog.
        {"Alt+L", [] { pressKeyWith({VK_MENU}, 'L'); }, 3, {false, true, false, false, true}},
        {"Alt+X", [] { pressKeyWith({VK_MENU}, 'X'); }, 2, {false, true, true, false, true}},
        {"Alt+Q (no box has it)", [] { pressKeyWith({VK_MENU}, 'Q'); }, 2, {false, true, true, false, true}},
    };
    for (const auto& [keys, press, focus, states] : steps) {
        SCOPED_TRACE(keys);
        press();
        EXPECT_TRUE(waitForFocus(boxes[focus], 2s));
        std::vector<bool> checked;
        for (HWND box : boxes) checked.push_back(isChecked(box));
        EXPECT_EQ(checked, states);
        ASSERT_TRUE(IsWindow(dialog));
    }

    ASSERT_TRUE(closeByKey(dialog, VK_RETURN)) << "Enter on a check box did not accept";
    EXPECT_EQ(markingLines(settingsPath()),
              (Lines{L"BoldText=0", L"ItalicText=1", L"UnderlinedText=1", L"HTMLLink=0", L"Colour=1"}));
    exitProgram();
}

TEST_F(MarkingTest, LongSectionIsShownAndWrittenBackWhole)
{
    // About 100 KB of section, far past what one read of the platform's
    // reader returns by default; every third value is text, not a boolean.
    std::wstring text = L"[BrailleMarking]\r\n";
    size_t count = 0;
    for (; text.size() < 51200; ++count) {
        const std::wstring number = std::to_wstring(1000 + count);
        const std::wstring value = count % 3 == 0 ? L"1" : count % 3 == 1 ? L"0"
                                                         : L"kept exactly as written, item " + number + L"; a=b";
        text += L"Attribute" + number + L"MarkingText=" + value + L"\r\n";
    }
    writeLanguageFile(text);
    Lines expected = markingLines(languagePath());
    ASSERT_EQ(expected.size(), count);

    HWND main = startProgram();
    ASSERT_NE(main, nullptr) << "the main window was not shown";
    HWND dialog = openDialog(main, 30s);
    ASSERT_NE(dialog, nullptr);
    std::vector<HWND> boxes = checkBoxes(dialog);
    ASSERT_EQ(boxes.size(), count);
    EXPECT_EQ(windowText(boxes.back()), L"Attribute" + std::to_wstring(999 + count) + L" Marking Text");

    // How much of it a sighted user sees on the screen.
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT rect{};
    const auto onScreen = std::count_if(boxes.begin(), boxes.end(), [&](HWND box) {
        return GetWindowRect(box, &rect) && rect.top >= 0 && rect.bottom <= screenHeight;
    });
    GetWindowRect(child(dialog, IDC_MARKING_OK), &rect);
    std::cout << "[ marking ] " << onScreen << " of " << count << " check boxes wholly on a " << screenHeight
              << "-pixel-high screen; OK's top at y=" << rect.top << "\n";
    RecordProperty("checkBoxesOnScreen", static_cast<int>(onScreen));

    // Enter and Escape reach buttons far below the screen's edge.
    ASSERT_TRUE(bringToFront(dialog));
    ASSERT_TRUE(closeByKey(dialog, VK_ESCAPE));
    EXPECT_EQ(GetFileAttributesW(settingsPath().c_str()), INVALID_FILE_ATTRIBUTES);
    dialog = openDialog(main);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(bringToFront(dialog));
    boxes = checkBoxes(dialog);
    ASSERT_TRUE(waitForFocus(boxes[0]));
    pressKey(VK_SPACE);   // the first one is checked
    ASSERT_TRUE(closeByKey(dialog, VK_RETURN, 60s));

    expected[0] = L"Attribute1000MarkingText=0";
    EXPECT_EQ(markingLines(settingsPath()), expected);
    exitProgram();
}

}  // namespace
}  // namespace e2e
