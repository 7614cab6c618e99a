#include "marking/MarkingDialog.h"

#include "api/ApiWorker.h"
#include "marking/MarkingCatalog.h"
#include "resources/resource.h"
#include "settings/SettingsRules.h"
#include "settings/SettingsStore.h"
#include "windowkit/ControlIds.h"
#include "windowkit/DialogFont.h"
#include "windowkit/DialogKeys.h"
#include "windowkit/ResourceMessage.h"
#include "windowkit/WindowParts.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

BYTE g_markingDialogClassRegistered = 0;

namespace {

struct MarkingDialogState : ModalDialogState {
    std::wstring settingsPath;
    std::vector<MarkingAttribute> attributes;
    // The value text each attribute had in the file it came from.
    std::vector<std::wstring> storedValues;
    bool fromLanguageFile = false;
    bool accepted = false;
    // Past the work area's height the check boxes scroll: rowsShown of them
    // from firstShown on, beside the scroll bar.
    LayoutScale scale;
    size_t firstShown = 0;
    size_t rowsShown = 0;
    std::vector<int> widthsNeeded; // by the rows of the layout, for the texts
    HWND scrollBar = nullptr;
    int wheelPending = 0; // wheel deltas short of a notch
};

constexpr int kDialogWidth = 380;
constexpr int kFirstCheckBoxY = 36;
constexpr int kRowHeight = 24;
constexpr int kBottomMargin = 12;
constexpr int kButtonHeight = 26;
constexpr int kButtonRowGap = 8;
// Rows the window is first made for, before it knows its monitor's room.
constexpr size_t kRowsAtFirst = 10;
// How long OK waits for the worker to make the settings file Unicode.
constexpr DWORD kPrepareFileWaitMs = 5000;

int ButtonRowY(size_t rows)
{
    return kFirstCheckBoxY + kRowHeight * static_cast<int>(rows) + kButtonRowGap;
}

// The layout at 96 dpi for the rows shown.
std::vector<ControlPlace> MarkingLayout(const MarkingDialogState& state)
{
    const size_t count = state.attributes.size();
    std::vector<ControlPlace> layout = {{IDC_STATIC, 12, 12, 340, 20}};
    for (size_t i = 0; i < count; ++i) {
        // A check box scrolled out of the list lies just above the client
        // area: out of sight, and still reached by Tab and its access key.
        const bool shown = i >= state.firstShown && i < state.firstShown + state.rowsShown;
        const int y = shown ? kFirstCheckBoxY + kRowHeight * static_cast<int>(i - state.firstShown) : -kRowHeight;
        layout.push_back({IDC_MARKING_FIRST_CHECKBOX + static_cast<int>(i), 12, y, 320, 22});
    }
    const int buttonY = ButtonRowY(state.rowsShown);
    layout.push_back({IDC_MARKING_OK, 180, buttonY, 80, kButtonHeight});
    layout.push_back({IDC_MARKING_CANCEL, 270, buttonY, 80, kButtonHeight});
    layout.push_back(
        {IDC_MARKING_SCROLL, 338, kFirstCheckBoxY, 17, kRowHeight * static_cast<int>(state.rowsShown) - 2});
    return layout;
}

// The rows shown, each as wide as its text needs, then the scroll bar's
// range; returns how much wider than designed the window must be.
int PlaceMarkingControls(HWND dialog, const MarkingDialogState& state)
{
    const size_t count = state.attributes.size();
    const GrownLayout grown = GrowToFit(MarkingLayout(state), state.widthsNeeded);
    PlaceControls(dialog, grown.places, state.scale);

    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = static_cast<int>(count) - 1;
    info.nPage = static_cast<UINT>(state.rowsShown);
    info.nPos = static_cast<int>(state.firstShown);
    SetScrollInfo(state.scrollBar, SB_CTL, &info, TRUE);
    ShowWindow(state.scrollBar, state.rowsShown < count ? SW_SHOWNA : SW_HIDE);
    return grown.extraWidth;
}

// As many rows as the monitor's work area holds beside the prompt, the
// buttons and the frame.
void LayOutMarkingDialog(HWND dialog)
{
    MarkingDialogState* state = ModalDialogStateOf<MarkingDialogState>(dialog);
    state->scale = UseMessageFont(dialog, WindowDpi(dialog));
    RECT outer = {};
    RECT client = {};
    GetWindowRect(dialog, &outer);
    GetClientRect(dialog, &client);
    const int frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const int room = Unscaled(monitor.rcWork.bottom - monitor.rcWork.top - frameHeight, state->scale);
    const size_t count = state->attributes.size();
    state->rowsShown = RowsThatFit(count, room, ButtonRowY(0) + kButtonHeight + kBottomMargin, kRowHeight);
    state->firstShown = std::min(state->firstShown, count - state->rowsShown);
    state->widthsNeeded = TextWidthsNeeded(dialog, MarkingLayout(*state), state->scale);
    const int extraWidth = PlaceMarkingControls(dialog, *state);
    const int clientHeight = ButtonRowY(state->rowsShown) + kButtonHeight + kBottomMargin;
    FitWindow(dialog, Scaled(kDialogWidth + extraWidth, state->scale),
              Scaled(clientHeight, state->scale) + frameHeight);
}

void ScrollMarkingList(HWND dialog, MarkingDialogState& state, size_t first)
{
    first = std::min(first, state.attributes.size() - state.rowsShown);
    if (first == state.firstShown)
        return;
    state.firstShown = first;
    PlaceMarkingControls(dialog, state);
}

void OnMarkingScroll(HWND dialog, MarkingDialogState& state, WORD request)
{
    const size_t first = state.firstShown;
    const size_t page = state.rowsShown;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    switch (request) {
    case SB_LINEUP:
        ScrollMarkingList(dialog, state, first > 0 ? first - 1 : 0);
        break;
    case SB_LINEDOWN:
        ScrollMarkingList(dialog, state, first + 1);
        break;
    case SB_PAGEUP:
        ScrollMarkingList(dialog, state, first > page ? first - page : 0);
        break;
    case SB_PAGEDOWN:
        ScrollMarkingList(dialog, state, first + page);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        GetScrollInfo(state.scrollBar, SB_CTL, &info);
        ScrollMarkingList(dialog, state, static_cast<size_t>(std::max(0, info.nTrackPos)));
        break;
    case SB_TOP:
        ScrollMarkingList(dialog, state, 0);
        break;
    case SB_BOTTOM:
        ScrollMarkingList(dialog, state, state.attributes.size());
        break;
    default:
        break;
    }
}

void CreateMarkingControls(HWND dialog)
{
    MarkingDialogState& state = *ModalDialogStateOf<MarkingDialogState>(dialog);
    CreateChildControl(dialog, L"STATIC", LoadResourceString(IDS_MARKING_PROMPT), WS_CHILD | WS_VISIBLE, IDC_STATIC);

    std::vector<std::wstring> identifiers;
    std::vector<std::wstring> named;
    for (const MarkingAttribute& attribute : state.attributes) {
        identifiers.push_back(attribute.name);
        const unsigned id = AttributeNameId(attribute.name);
        named.push_back(id != 0 ? LoadResourceString(id) : std::wstring());
    }
    const std::vector<std::wstring> labels = AttributeLabels(identifiers, named, SameKeyIgnoringCase);

    // BS_NOTIFY: a check box that gets the focus says so, and is scrolled into view.
    for (size_t i = 0; i < state.attributes.size(); ++i) {
        MarkingAttribute& attribute = state.attributes[i];
        attribute.checkBox = CreateChildControl(dialog, L"BUTTON", labels[i],
                                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY,
                                                IDC_MARKING_FIRST_CHECKBOX + static_cast<int>(i));
        SendMessageW(attribute.checkBox, BM_SETCHECK, attribute.marked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    CreateChildControl(dialog, L"BUTTON", LoadResourceString(IDS_OK),
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_MARKING_OK);
    CreateChildControl(dialog, L"BUTTON", LoadResourceString(IDS_CANCEL),
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDC_MARKING_CANCEL);
    state.scrollBar = CreateChildControl(dialog, L"SCROLLBAR", std::wstring(), WS_CHILD | SBS_VERT, IDC_MARKING_SCROLL);
    LayOutMarkingDialog(dialog);

    if (!state.attributes.empty() && state.attributes[0].checkBox != nullptr)
        SetFocus(state.attributes[0].checkBox);
}

// A key or value that the file's encoding cannot hold makes the file Unicode
// first. That happens on the worker between two component calls, where the
// component cannot be writing the file; the worker may be inside a long call.
bool ReadyForMarking(const std::wstring& path, const std::vector<std::wstring>& texts)
{
    if (!EnsureSettingsFolder(path))
        return false;
    if (SettingsFileHolds(path, texts))
        return true;
    const auto prepared = std::make_shared<bool>(false);
    const auto prepare = [path, texts, prepared] { *prepared = PrepareSettingsFile(path, texts); };
    return RunBetweenComponentCalls(prepare, kPrepareFileWaitMs) && *prepared;
}

// The settings file's lock is held by the caller.
bool WriteMarkingValue(const MarkingDialogState& state, const std::wstring& key, const std::wstring& value)
{
    return WritePrivateProfileStringW(L"BrailleMarking", key.c_str(), value.c_str(), state.settingsPath.c_str()) != 0;
}

// Carries the whole list over from the language file in one section write.
bool WriteMarkingSection(const MarkingDialogState& state, const std::vector<std::wstring>& values)
{
    std::wstring section;
    for (size_t i = 0; i < state.attributes.size(); ++i)
        section += state.attributes[i].name + L'=' + values[i] + L'\0';
    section += L'\0';
    return WritePrivateProfileSectionW(L"BrailleMarking", section.c_str(), state.settingsPath.c_str()) != 0;
}

// Writes the changed attributes. While the list came from the language file
// the settings file has no section yet, and writing the changes alone would
// leave it holding only those: the next opening, and the display component
// reading the same file, would lose every other attribute. So then the
// whole list goes in, unchanged values copied as they stood.
void AcceptMarking(HWND dialog, MarkingDialogState& state)
{
    bool anyChange = false;
    std::vector<bool> changed;
    std::vector<std::wstring> values;
    for (size_t i = 0; i < state.attributes.size(); ++i) {
        const MarkingAttribute& attribute = state.attributes[i];
        const bool checked = SendMessageW(attribute.checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
        changed.push_back(checked != attribute.marked);
        values.push_back(changed.back() ? BoolText(checked) : state.storedValues[i]);
        anyChange = anyChange || changed.back();
    }

    // The display component may have written the section while the dialog
    // was open: its entries are kept, and only the changes go in.
    const bool wholeList = state.fromLanguageFile && anyChange && ReadMarkingSection(state.settingsPath).empty();
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < state.attributes.size(); ++i) {
        if (wholeList || changed[i]) {
            texts.push_back(state.attributes[i].name);
            texts.push_back(values[i]);
        }
    }
    bool written = !anyChange || ReadyForMarking(state.settingsPath, texts);
    if (anyChange && written) {
        std::lock_guard<std::mutex> guard(SettingsFileLock());
        if (wholeList) {
            written = WriteMarkingSection(state, values);
        } else {
            for (size_t i = 0; i < state.attributes.size() && written; ++i)
                if (changed[i])
                    written = WriteMarkingValue(state, state.attributes[i].name, values[i]);
        }
    }
    if (!written) {
        ShowResourceMessage(dialog, IDS_ERR_WRITE_MARKING, MB_OK | MB_ICONERROR);
        return;
    }
    state.accepted = true;
    EndModalDialog(state.owner, dialog);
}

LRESULT CALLBACK MarkingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    MarkingDialogState* state = nullptr;
    LRESULT answer = 0;
    if (AnswerModalDialogMessage(dialog, message, wParam, lParam, {CreateMarkingControls, LayOutMarkingDialog}, state,
                                 answer))
        return answer;
    switch (message) {
    case WM_VSCROLL:
        OnMarkingScroll(dialog, *state, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        UINT linesPerNotch = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
        const int rows =
            WheelRows(state->wheelPending, GET_WHEEL_DELTA_WPARAM(wParam), linesPerNotch, state->rowsShown);
        const long long first = static_cast<long long>(state->firstShown) - rows;
        ScrollMarkingList(dialog, *state, static_cast<size_t>(std::max(0LL, first)));
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_SETFOCUS && LOWORD(wParam) >= IDC_MARKING_FIRST_CHECKBOX) {
            const size_t row = static_cast<size_t>(LOWORD(wParam) - IDC_MARKING_FIRST_CHECKBOX);
            ScrollMarkingList(dialog, *state, FirstRowShowing(state->firstShown, row, state->rowsShown));
            return 0;
        }
        if (HIWORD(wParam) != 0)
            break;
        if (LOWORD(wParam) == IDC_MARKING_CANCEL) {
            EndModalDialog(state->owner, dialog);
            return 0;
        }
        if (LOWORD(wParam) == IDC_MARKING_OK) {
            AcceptMarking(dialog, *state);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

} // namespace

bool ShowMarkingDialog(HWND owner)
{
    MarkingDialogState state;
    state.owner = owner;
    state.settingsPath = GetSettingsFilePath();
    if (state.settingsPath.empty()) {
        ShowResourceMessage(owner, IDS_ERR_SETTINGS_PATH, MB_OK | MB_ICONERROR);
        return false;
    }

    const MarkingCatalog catalog = LoadMarkingCatalog(state.settingsPath);
    state.fromLanguageFile = catalog.fromLanguageFile;
    for (const MarkingEntry& entry : catalog.entries) {
        MarkingAttribute attribute;
        attribute.name = entry.key;
        attribute.marked = ParseBoolText(entry.value, false);
        state.attributes.push_back(attribute);
        state.storedValues.push_back(entry.value);
    }
    if (state.attributes.empty()) {
        ShowResourceMessage(owner, IDS_WARN_NO_MARKING_LIST, MB_OK | MB_ICONWARNING);
        return false;
    }

    if (!g_markingDialogClassRegistered) {
        if (!RegisterAppWindowClass(LUMIBREL_MARKING_DIALOG_CLASS, MarkingDialogProc))
            return false;
        g_markingDialogClassRegistered = 1;
    }

    // WM_CREATE sizes the window for its dpi and the rows that fit; it is
    // first made over the main window, whose monitor's scale it takes.
    const std::wstring title = LoadResourceString(IDS_MARKING_DIALOG_TITLE);
    const int height =
        ButtonRowY(std::min<size_t>(state.attributes.size(), kRowsAtFirst)) + kButtonHeight + kBottomMargin;
    const POINT place = CentredOverOwner(owner, kDialogWidth, height);
    HWND dialog =
        CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME | MirroredStyle(), LUMIBREL_MARKING_DIALOG_CLASS,
                        title.c_str(), WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, place.x, place.y, kDialogWidth,
                        height, owner, nullptr, GetModuleHandleW(nullptr), static_cast<ModalDialogState*>(&state));
    if (dialog == nullptr)
        return false;
    RunModalLoop(owner, dialog, IDC_MARKING_OK, IDC_MARKING_CANCEL);
    return state.accepted;
}
