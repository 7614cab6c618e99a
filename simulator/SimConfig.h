// The simulated display component's rules that need no Windows API: how its
// steering variables are read and how its journal lines are written. The COM
// server (CellvaneSim.cpp) only fetches the variables and writes the lines.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The variables the component reads from its process environment.
inline constexpr char kSimJournalVariable[] = "CELLVANE_SIM_JOURNAL";
inline constexpr char kSimCreateVariable[] = "CELLVANE_SIM_CREATE";
inline constexpr char kSimStartHrVariable[] = "CELLVANE_SIM_START_HR";
inline constexpr char kSimHybridVariable[] = "CELLVANE_SIM_HYBRID";
inline constexpr char kSimHybridModeHrVariable[] = "CELLVANE_SIM_HYBRID_MODE_HR";
inline constexpr char kSimDelayVariable[] = "CELLVANE_SIM_DELAY";
inline constexpr char kSimFailVariable[] = "CELLVANE_SIM_FAIL";
inline constexpr char kSimExitThreadVariable[] = "CELLVANE_SIM_EXIT_THREAD";
inline constexpr char kSimPersistVariable[] = "CELLVANE_SIM_PERSIST";
inline constexpr char kSimPumpVariable[] = "CELLVANE_SIM_PUMP";
inline constexpr char kSimReadWindowVariable[] = "CELLVANE_SIM_READ_WINDOW";
inline constexpr char kSimViewVariable[] = "CELLVANE_SIM_VIEW";

// The longest delay a method accepts: enough to outlast any timeout of the
// program, short enough that a typo cannot park a test run for days.
inline constexpr std::uint32_t kSimMaxDelayMs = 3600000;

// Raw values as found in the environment; nullopt where a variable is unset.
struct SimEnvironment {
    std::optional<std::wstring> journal;
    std::optional<std::wstring> create;
    std::optional<std::wstring> startHr;
    std::optional<std::wstring> hybrid;
    std::optional<std::wstring> hybridModeHr;
    std::optional<std::wstring> delay;
    std::optional<std::wstring> fail;
    std::optional<std::wstring> exitThread;
    std::optional<std::wstring> persist;
    std::optional<std::wstring> pump;
    std::optional<std::wstring> readWindow;
    std::optional<std::wstring> view;
};

// What the component keeps in the settings file of what it is handed.
enum SimKeeping {
    SimKeepNothing,
    SimKeepChanges,    // a value that differs from the file's, or from its default
    SimKeepEverything, // every value, from the first call on
};

struct SimConfig {
    std::wstring journalPath; // empty: no journal
    bool createFails = false;
    std::int32_t startHr = 0;
    bool hybridFails = false;
    std::int32_t hybridFirst = 1;
    std::int32_t hybridSecond = 1;
    std::int32_t hybridModeHr = 0;
    std::map<std::string, std::uint32_t, std::less<>> delaysMs; // method name or "*"
    std::set<std::string, std::less<>> failing;                 // method names or "*"
    std::string exitThreadMethod;                               // the call that ends its calling thread; empty: none
    SimKeeping persist = SimKeepChanges;                        // tables and multiline choices in the settings file
    std::map<std::string, std::uint32_t, std::less<>> pumpsMs;  // method name or "*": a message loop that long
    std::set<std::string, std::less<>> readingWindow;           // method names or "*": read the main window
    bool opensView = false;                // ShowBrailleOnScreen opens and closes a window of the component's own
    std::vector<std::string> configErrors; // names of variables whose value was refused
};

// Each bad value leaves its default in place and adds the variable's name to
// configErrors, in the order of the variables above.
SimConfig ReadSimConfig(const SimEnvironment& environment);

// How long the named method sleeps: its own entry, else the "*" entry, else 0.
std::uint32_t SimDelayFor(const SimConfig& config, std::string_view method);

// Whether the named method answers E_FAIL instead of doing its work.
bool SimFails(const SimConfig& config, std::string_view method);

// How long the named method runs a message loop on its calling thread, as
// SimDelayFor; and whether it reads the program's main window.
std::uint32_t SimPumpFor(const SimConfig& config, std::string_view method);
bool SimReadsWindow(const SimConfig& config, std::string_view method);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string SimToUtf8(std::wstring_view text);

// A BSTR argument as the journal shows it: in double quotes, with backslash
// and double quote escaped by a backslash.
std::string SimQuoted(std::wstring_view text);

// "Start(0) hr=0x00000000 tid=52\n"
std::string SimCallLine(std::string_view method, std::string_view args, std::int32_t hr, std::uint32_t threadId);

// "Created() tid=52\n"
std::string SimEventLine(std::string_view event, std::uint32_t threadId);

// "ConfigError(CELLVANE_SIM_DELAY)\n"
std::string SimConfigErrorLine(std::string_view variable);
