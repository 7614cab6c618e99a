// One apply's snapshot, handed from the user-interface thread to the API
// worker by pointer in WM_APP_API_APPLY. It has one owner at a time: the
// creator until the post succeeds, then the worker, which deletes it.
#pragma once

#include <string>

struct ApplyRecord {
    bool displayLiteraryBraille = false;
    bool useContractedBrailleInput = false;
    bool showBrailleVisualizer = false;
    bool hybridPrintAndBrailleMode = false;
    bool forceSixDotBraille = false;
    int brailleLinePadding = 1;
    bool tablesChanged = false;
    std::wstring literaryTable;
    std::wstring mathTable;
    std::wstring computerTable;
};
