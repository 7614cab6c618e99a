// One apply's snapshot, queued from the user-interface thread for the API
// worker. It has one owner at a time: the apply until it is queued, then the
// queue, then the worker, which deletes it once handled.
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
    // The settings file the component shares; made ready for what it may keep there.
    std::wstring settingsPath;
};
