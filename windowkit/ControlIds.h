// Control identifiers of the program's three windows, and its private
// window and thread messages. Shared with the tests that drive the program.
#pragma once

#define IDC_STATIC (-1)

// MainWindow
#define IDC_DISPLAY_LITERARY_BRAILLE      1004
#define IDC_USE_CONTRACTED_BRAILLE_INPUT  1005
#define IDC_SHOW_BRAILLE_VISUALIZER       1006
#define IDC_SET_TABLES                    1007
#define IDC_MARKING                       1008
#define IDC_APPLY                         1009
#define IDC_OK                            1010
#define IDC_CANCEL                        1011
#define IDC_ABOUT                         1012
#define IDC_EXIT                          1013
#define IDC_HYBRID_PRINT_AND_BRAILLE_MODE 1014
#define IDC_MULTILINE_BRAILLE             1015

// TablesDialog
#define IDC_LITERARY_TABLE_LABEL 3001
#define IDC_LITERARY_TABLE       3002
#define IDC_COMPUTER_TABLE_LABEL 3003
#define IDC_COMPUTER_TABLE       3004
#define IDC_MATH_TABLE_LABEL     3005
#define IDC_MATH_TABLE           3006
#define IDC_TABLES_OK            3007
#define IDC_TABLES_CANCEL        3008

// MarkingDialog
#define IDC_MARKING_OK             5001
#define IDC_MARKING_CANCEL         5002
#define IDC_MARKING_SCROLL         5003
#define IDC_MARKING_FIRST_CHECKBOX 5100

// Private messages (WM_APP is 0x8000). The first four name the kinds of
// work queued for the API worker (api/ApiWorker.h); they are never posted.
// The worker posts WM_APP_API_STARTED and WM_APP_API_UNAVAILABLE to
// MainWindow, a second start WM_APP_SHOW_SETTINGS.
#define WM_APP_API_START       (0x8000 + 9)
#define WM_APP_API_APPLY       (0x8000 + 10)
#define WM_APP_API_SHUTDOWN    (0x8000 + 11)
#define WM_APP_API_REFRESH     (0x8000 + 12)
#define WM_APP_SHOW_SETTINGS   (0x8000 + 13)
#define WM_APP_API_STARTED     (0x8000 + 14)
#define WM_APP_API_UNAVAILABLE (0x8000 + 15)
// Posted to the worker's own window: work is queued. It carries nothing.
#define WM_APP_API_WORK (0x8000 + 16)
// Posted to MainWindow: the tables for the reader's language are chosen.
#define WM_APP_TABLES_CHOSEN (0x8000 + 17)
// Posted to MainWindow by the worker: a table name went to the component
// although the settings file could not be readied to keep it.
#define WM_APP_NAME_NOT_KEPT (0x8000 + 18)

// Window classes and named objects.
#define LUMIBREL_MAIN_WINDOW_CLASS    L"LumibrelMainWindow"
#define LUMIBREL_TABLES_DIALOG_CLASS  L"LumibrelTablesDialog"
#define LUMIBREL_MARKING_DIALOG_CLASS L"LumibrelMarkingDialog"
#define LUMIBREL_API_WORKER_CLASS     L"LumibrelApiWorker"
#define LUMIBREL_MUTEX_NAME           L"Local\\Lumibrel_SingleInstance_Mutex"
#define LUMIBREL_ENDING_NAME          L"Local\\Lumibrel_Ending"
