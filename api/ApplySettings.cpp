#include "api/ApplySettings.h"

#include "api/ApiWorker.h"
#include "api/ApplyRecord.h"
#include "mainwindow/MainWindow.h"
#include "process/Shell.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "windowkit/ControlIds.h"
#include "windowkit/ResourceMessage.h"

#include <memory>

ApplyResult ApplySettings(HWND owner)
{
    // Tables still being chosen for the reader's language go with this apply.
    SettleTableChoice(owner);
    if (g_workerThread == nullptr) {
        ShowResourceMessage(owner, IDS_ERR_NO_WORKER, MB_ICONERROR);
        return ApplyNotSaved;
    }

    bool literary = IsChecked(g_hwndDisplayLiteraryBraille);
    const bool contracted = IsChecked(g_hwndUseContractedBrailleInput);
    const bool visualizer = IsChecked(g_hwndShowBrailleVisualizer);
    const bool hybrid = g_hybridModeAvailable != 0 && IsChecked(g_hwndHybridPrintAndBrailleMode);

    // Contracted input always comes with literary braille.
    if (contracted) {
        literary = true;
        SendMessageW(g_hwndDisplayLiteraryBraille, BM_SETCHECK, BST_CHECKED, 0);
    }

    const std::wstring path = GetSettingsFilePath();
    if (path.empty()) {
        ShowResourceMessage(owner, IDS_ERR_SETTINGS_PATH, MB_ICONERROR);
        return ApplyNotSaved;
    }
    if (!WriteBoolSetting(path, L"Liblouis", L"DisplayLiteraryBraille", literary, true, owner,
                          IDS_ERR_WRITE_LITERARY) ||
        !WriteBoolSetting(path, L"Liblouis", L"UseContractedBrailleInput", contracted, false, owner,
                          IDS_ERR_WRITE_CONTRACTED) ||
        !WriteBoolSetting(path, L"Settings", L"ShowBrailleVisualizer", visualizer, false, owner,
                          IDS_ERR_WRITE_VISUALIZER) ||
        !WriteBoolSetting(path, L"Settings", L"HybridPrintAndBrailleMode", hybrid, false, owner, IDS_ERR_WRITE_HYBRID))
        return ApplyNotSaved;

    auto record = std::make_unique<ApplyRecord>();
    record->displayLiteraryBraille = literary;
    record->useContractedBrailleInput = contracted;
    record->showBrailleVisualizer = visualizer;
    record->hybridPrintAndBrailleMode = hybrid;
    record->literaryTable = g_literaryTable;
    record->computerTable = g_computerTable;
    record->mathTable = g_mathTable;

    if (g_hwndMultilineBraille != nullptr) {
        const LRESULT selection = SendMessageW(g_hwndMultilineBraille, CB_GETCURSEL, 0, 0);
        if (selection == MultilineMaxLines) {
            record->forceSixDotBraille = true;
            record->brailleLinePadding = 1;
        } else if (selection == MultilineDoubleLineSpacing) {
            record->forceSixDotBraille = false;
            record->brailleLinePadding = 3;
        }
    }

    record->tablesChanged = record->literaryTable != g_appliedLiteraryTable ||
                            record->computerTable != g_appliedComputerTable || record->mathTable != g_appliedMathTable;
    const bool tablesChanged = record->tablesChanged;
    record->settingsPath = path;

    if (!QueueApiWork(WM_APP_API_APPLY, std::move(record))) {
        ShowResourceMessage(owner, IDS_ERR_QUEUE_APPLY, MB_ICONERROR);
        return ApplyNotHanded;
    }
    if (tablesChanged) {
        g_appliedLiteraryTable = g_literaryTable;
        g_appliedComputerTable = g_computerTable;
        g_appliedMathTable = g_mathTable;
    }
    return ApplyQueued;
}
