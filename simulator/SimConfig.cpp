#include "SimConfig.h"

#include <array>
#include <utility>

namespace {

// Every method of the display interface, as the journal and the delay
// variable name them. A delay for any other name is a typo worth reporting.
constexpr std::array<std::string_view, 32> kMethodNames = {"Start",
                                                           "Reserved8",
                                                           "Stop",
                                                           "SetBrailleTables",
                                                           "DisplayLiteraryBraille",
                                                           "SetBrailleLinePadding",
                                                           "ForceSixDotBraille",
                                                           "Reserved14",
                                                           "QueryHybridSupport",
                                                           "Reserved16",
                                                           "Reserved17",
                                                           "Reserved18",
                                                           "Reserved19",
                                                           "Reserved20",
                                                           "Reserved21",
                                                           "Reserved22",
                                                           "Reserved23",
                                                           "Reserved24",
                                                           "Reserved25",
                                                           "Reserved26",
                                                           "Reserved27",
                                                           "Reserved28",
                                                           "Reserved29",
                                                           "Reserved30",
                                                           "Reserved31",
                                                           "Reserved32",
                                                           "RefreshFocusedControl",
                                                           "Reserved34",
                                                           "SetEnabled",
                                                           "ShowBrailleOnScreen",
                                                           "SetHybridPrintAndBrailleMode",
                                                           "EnableContractedBrailleInput"};

bool IsMethodName(std::string_view name)
{
    for (std::string_view known : kMethodNames) {
        if (known == name)
            return true;
    }
    return false;
}

bool IsAsciiNoCase(std::wstring_view text, std::string_view expected)
{
    if (text.size() != expected.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != static_cast<wchar_t>(expected[i]))
            return false;
    }
    return true;
}

int HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// "0x80004005", "80004005", "0X1", "1": one to eight hex digits.
bool ParseHresult(std::wstring_view text, std::int32_t& hr)
{
    if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8)
        return false;
    std::uint32_t value = 0;
    for (wchar_t c : text) {
        int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    hr = static_cast<std::int32_t>(value);
    return true;
}

// Decimal digits only, no sign, at most `limit`.
bool ParseUnsigned(std::wstring_view text, std::uint64_t limit, std::uint64_t& value)
{
    if (text.empty())
        return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > limit)
            return false;
    }
    return true;
}

bool ParseInt32(std::wstring_view text, std::int32_t& value)
{
    bool negative = !text.empty() && text[0] == L'-';
    if (negative)
        text.remove_prefix(1);
    std::uint64_t magnitude = 0;
    if (!ParseUnsigned(text, negative ? 2147483648u : 2147483647u, magnitude))
        return false;
    value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                               : static_cast<std::int64_t>(magnitude));
    return true;
}

bool ParseHybrid(std::wstring_view text, SimConfig& config)
{
    if (IsAsciiNoCase(text, "fail")) {
        config.hybridFails = true;
        return true;
    }
    size_t comma = text.find(L',');
    if (comma == std::wstring_view::npos)
        return false;
    std::int32_t first = 0;
    std::int32_t second = 0;
    if (!ParseInt32(text.substr(0, comma), first) || !ParseInt32(text.substr(comma + 1), second)) {
        return false;
    }
    config.hybridFirst = first;
    config.hybridSecond = second;
    return true;
}

// "Start=200,*=50": the whole list is refused when any entry is bad.
bool ParseDelays(std::wstring_view text, std::map<std::string, std::uint32_t, std::less<>>& delays)
{
    std::map<std::string, std::uint32_t, std::less<>> parsed;
    while (true) {
        size_t comma = text.find(L',');
        std::wstring_view entry = text.substr(0, comma);
        size_t equals = entry.find(L'=');
        if (equals == std::wstring_view::npos)
            return false;
        std::string name;
        for (wchar_t c : entry.substr(0, equals)) {
            if (c > 0x7F)
                return false;
            name.push_back(static_cast<char>(c));
        }
        // "Created" is the making of the object, for a message loop run meanwhile.
        if (name != "*" && name != "Created" && !IsMethodName(name))
            return false;
        std::uint64_t ms = 0;
        if (!ParseUnsigned(entry.substr(equals + 1), kSimMaxDelayMs, ms))
            return false;
        parsed[name] = static_cast<std::uint32_t>(ms);
        if (comma == std::wstring_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    delays = std::move(parsed);
    return true;
}

// "*" or "Start,Stop": the whole list is refused when any name is unknown.
bool ParseFailing(std::wstring_view text, std::set<std::string, std::less<>>& failing)
{
    std::set<std::string, std::less<>> parsed;
    while (true) {
        size_t comma = text.find(L',');
        std::string name;
        for (wchar_t c : text.substr(0, comma)) {
            if (c > 0x7F)
                return false;
            name.push_back(static_cast<char>(c));
        }
        if (name != "*" && !IsMethodName(name))
            return false;
        parsed.insert(std::move(name));
        if (comma == std::wstring_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    failing = std::move(parsed);
    return true;
}

void AppendHex8(std::string& out, std::uint32_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

void AppendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

} // namespace

SimConfig ReadSimConfig(const SimEnvironment& environment)
{
    SimConfig config;
    if (environment.journal)
        config.journalPath = *environment.journal;

    if (environment.create) {
        if (IsAsciiNoCase(*environment.create, "fail")) {
            config.createFails = true;
        } else {
            config.configErrors.emplace_back(kSimCreateVariable);
        }
    }
    if (environment.startHr && !ParseHresult(*environment.startHr, config.startHr)) {
        config.configErrors.emplace_back(kSimStartHrVariable);
    }
    if (environment.hybrid && !ParseHybrid(*environment.hybrid, config)) {
        config.configErrors.emplace_back(kSimHybridVariable);
    }
    if (environment.hybridModeHr && !ParseHresult(*environment.hybridModeHr, config.hybridModeHr)) {
        config.configErrors.emplace_back(kSimHybridModeHrVariable);
    }
    if (environment.delay && !ParseDelays(*environment.delay, config.delaysMs)) {
        config.configErrors.emplace_back(kSimDelayVariable);
    }
    if (environment.fail && !ParseFailing(*environment.fail, config.failing)) {
        config.configErrors.emplace_back(kSimFailVariable);
    }
    if (environment.exitThread) {
        std::set<std::string, std::less<>> method;
        if (ParseFailing(*environment.exitThread, method) && method.size() == 1 && *method.begin() != "*") {
            config.exitThreadMethod = *method.begin();
        } else {
            config.configErrors.emplace_back(kSimExitThreadVariable);
        }
    }
    if (environment.persist) {
        if (*environment.persist == L"0" || *environment.persist == L"1" || *environment.persist == L"all") {
            config.persist = *environment.persist == L"0"   ? SimKeepNothing
                             : *environment.persist == L"1" ? SimKeepChanges
                                                            : SimKeepEverything;
        } else {
            config.configErrors.emplace_back(kSimPersistVariable);
        }
    }
    if (environment.pump && !ParseDelays(*environment.pump, config.pumpsMs)) {
        config.configErrors.emplace_back(kSimPumpVariable);
    }
    if (environment.readWindow && !ParseFailing(*environment.readWindow, config.readingWindow)) {
        config.configErrors.emplace_back(kSimReadWindowVariable);
    }
    if (environment.view) {
        if (*environment.view == L"0" || *environment.view == L"1") {
            config.opensView = *environment.view == L"1";
        } else {
            config.configErrors.emplace_back(kSimViewVariable);
        }
    }
    return config;
}

namespace {

std::uint32_t TimeFor(const std::map<std::string, std::uint32_t, std::less<>>& times, std::string_view method)
{
    auto found = times.find(method);
    if (found == times.end())
        found = times.find(std::string_view("*"));
    return found == times.end() ? 0 : found->second;
}

bool Names(const std::set<std::string, std::less<>>& names, std::string_view method)
{
    return names.count(std::string_view("*")) != 0 || names.count(method) != 0;
}

} // namespace

std::uint32_t SimDelayFor(const SimConfig& config, std::string_view method)
{
    return TimeFor(config.delaysMs, method);
}

bool SimFails(const SimConfig& config, std::string_view method)
{
    return Names(config.failing, method);
}

std::uint32_t SimPumpFor(const SimConfig& config, std::string_view method)
{
    return TimeFor(config.pumpsMs, method);
}

bool SimReadsWindow(const SimConfig& config, std::string_view method)
{
    return Names(config.readingWindow, method);
}

std::string SimToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t unit = static_cast<std::uint32_t>(text[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            std::uint32_t next = static_cast<std::uint32_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF)
            unit = kReplacementCharacter;
        AppendUtf8(out, unit);
    }
    return out;
}

std::string SimQuoted(std::wstring_view text)
{
    std::string out = "\"";
    for (char c : SimToUtf8(text)) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string SimCallLine(std::string_view method, std::string_view args, std::int32_t hr, std::uint32_t threadId)
{
    std::string line;
    line.append(method).append("(").append(args).append(") hr=0x");
    AppendHex8(line, static_cast<std::uint32_t>(hr));
    line.append(" tid=").append(std::to_string(threadId)).append("\n");
    return line;
}

std::string SimEventLine(std::string_view event, std::uint32_t threadId)
{
    std::string line;
    line.append(event).append("() tid=").append(std::to_string(threadId)).append("\n");
    return line;
}

std::string SimConfigErrorLine(std::string_view variable)
{
    std::string line;
    line.append("ConfigError(").append(variable).append(")\n");
    return line;
}
