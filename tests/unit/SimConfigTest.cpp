#include "SimConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Errors = std::vector<std::string>;

TEST(SimConfigRead, UnsetVariablesGiveTheDefaults) {
  SimConfig config = ReadSimConfig(SimEnvironment{});
  EXPECT_TRUE(config.journalPath.empty());
  EXPECT_FALSE(config.createFails);
  EXPECT_EQ(config.startHr, 0);
  EXPECT_FALSE(config.hybridFails);
  EXPECT_EQ(config.hybridFirst, 1);
  EXPECT_EQ(config.hybridSecond, 1);
  EXPECT_EQ(config.hybridModeHr, 0);
  EXPECT_TRUE(config.delaysMs.empty());
  EXPECT_TRUE(config.configErrors.empty());

  SimEnvironment environment;
  environment.journal = L"C:\\t\\journal.txt";
  EXPECT_EQ(ReadSimConfig(environment).journalPath, L"C:\\t\\journal.txt");
}

TEST(SimConfigRead, CreateAcceptsOnlyFail) {
  SimEnvironment environment;
  for (const wchar_t* good : {L"fail", L"FAIL"}) {
    environment.create = good;
    SimConfig config = ReadSimConfig(environment);
    EXPECT_TRUE(config.createFails) << good;
    EXPECT_TRUE(config.configErrors.empty()) << good;
  }
  for (const wchar_t* bad : {L"", L"yes", L"fail "}) {
    environment.create = bad;
    SimConfig config = ReadSimConfig(environment);
    EXPECT_FALSE(config.createFails);
    EXPECT_EQ(config.configErrors, Errors{"CELLVANE_SIM_CREATE"}) << bad;
  }
}

TEST(SimConfigRead, HresultsAreOneToEightHexDigits) {
  const std::pair<const wchar_t*, std::int32_t> good[] = {
      {L"0x1", 1}, {L"1", 1}, {L"0X80004005", static_cast<std::int32_t>(0x80004005u)},
      {L"deadBEEF", static_cast<std::int32_t>(0xDEADBEEFu)}, {L"0x00000000", 0}};
  SimEnvironment environment;
  for (const auto& [text, hr] : good) {
    environment.startHr = text;
    environment.hybridModeHr = text;
    SimConfig config = ReadSimConfig(environment);
    EXPECT_EQ(config.startHr, hr) << text;
    EXPECT_EQ(config.hybridModeHr, hr) << text;
    EXPECT_TRUE(config.configErrors.empty()) << text;
  }
  for (const wchar_t* bad : {L"", L"0x", L"123456789", L"0x1g", L" 1", L"-1", L"x1"}) {
    environment.startHr = bad;
    environment.hybridModeHr = bad;
    SimConfig config = ReadSimConfig(environment);
    EXPECT_EQ(config.startHr, 0) << bad;
    EXPECT_EQ(config.hybridModeHr, 0) << bad;
    EXPECT_EQ(config.configErrors, (Errors{"CELLVANE_SIM_START_HR", "CELLVANE_SIM_HYBRID_MODE_HR"})) << bad;
  }
}

TEST(SimConfigRead, HybridTakesTwoSignedIntegersOrFail) {
  SimEnvironment environment;
  environment.hybrid = L"-2147483648,2147483647";
  SimConfig config = ReadSimConfig(environment);
  EXPECT_EQ(config.hybridFirst, INT32_MIN);
  EXPECT_EQ(config.hybridSecond, INT32_MAX);
  EXPECT_TRUE(config.configErrors.empty());

  environment.hybrid = L"0,0";
  EXPECT_EQ(ReadSimConfig(environment).hybridFirst, 0);
  environment.hybrid = L"fail";
  EXPECT_TRUE(ReadSimConfig(environment).hybridFails);

  for (const wchar_t* bad : {L"", L"1", L"1,", L",1", L"1,2,3", L"2147483648,0", L"0,-2147483649", L"a,b", L"1, 1"}) {
    environment.hybrid = bad;
    config = ReadSimConfig(environment);
    EXPECT_FALSE(config.hybridFails) << bad;
    EXPECT_EQ(config.hybridFirst, 1) << bad;
    EXPECT_EQ(config.hybridSecond, 1) << bad;
    EXPECT_EQ(config.configErrors, Errors{"CELLVANE_SIM_HYBRID"}) << bad;
  }
}

TEST(SimConfigDelay, NamedMethodBeatsStar) {
  SimEnvironment environment;
  environment.delay = L"Start=0,*=50,SetEnabled=3600000";
  SimConfig config = ReadSimConfig(environment);
  EXPECT_TRUE(config.configErrors.empty());
  EXPECT_EQ(SimDelayFor(config, "Start"), 0u);
  EXPECT_EQ(SimDelayFor(config, "SetEnabled"), 3600000u);
  EXPECT_EQ(SimDelayFor(config, "Reserved8"), 50u);

  environment.delay = L"Stop=200";
  config = ReadSimConfig(environment);
  EXPECT_EQ(SimDelayFor(config, "Stop"), 200u);
  EXPECT_EQ(SimDelayFor(config, "Start"), 0u);

  for (const wchar_t* bad : {L"", L"Strat=5", L"start=5", L"Start=", L"Start=-1", L"Start=3600001", L"Stop=1,",
                             L"Stop", L"*=1,Stop=x"}) {
    environment.delay = bad;
    config = ReadSimConfig(environment);
    EXPECT_TRUE(config.delaysMs.empty()) << bad;
    EXPECT_EQ(config.configErrors, Errors{"CELLVANE_SIM_DELAY"}) << bad;
  }
}

TEST(SimConfigFail, StarOrListOfMethodNames) {
  SimEnvironment environment;
  EXPECT_FALSE(SimFails(ReadSimConfig(environment), "Start"));

  environment.fail = L"*";
  SimConfig config = ReadSimConfig(environment);
  EXPECT_TRUE(config.configErrors.empty());
  EXPECT_TRUE(SimFails(config, "Start"));
  EXPECT_TRUE(SimFails(config, "Reserved34"));

  environment.fail = L"Start,SetBrailleTables";
  config = ReadSimConfig(environment);
  EXPECT_TRUE(SimFails(config, "SetBrailleTables"));
  EXPECT_FALSE(SimFails(config, "Stop"));

  for (const wchar_t* bad : {L"", L"start", L"Start,", L",Start", L"Start,Strat", L"Start=1", L"* "}) {
    environment.fail = bad;
    config = ReadSimConfig(environment);
    EXPECT_FALSE(SimFails(config, "Start")) << bad;
    EXPECT_EQ(config.configErrors, Errors{"CELLVANE_SIM_FAIL"}) << bad;
  }
}

TEST(SimConfigJournal, LineFormats) {
  EXPECT_EQ(SimCallLine("Start", "0", 0, 52), "Start(0) hr=0x00000000 tid=52\n");
  EXPECT_EQ(SimCallLine("QueryHybridSupport", "-1,0", static_cast<std::int32_t>(0x80004005u), 7),
            "QueryHybridSupport(-1,0) hr=0x80004005 tid=7\n");
  EXPECT_EQ(SimCallLine("Stop", "", static_cast<std::int32_t>(0xdeadbeefu), 4294967295u),
            "Stop() hr=0xDEADBEEF tid=4294967295\n");
  EXPECT_EQ(SimEventLine("Created", 52), "Created() tid=52\n");
  EXPECT_EQ(SimConfigErrorLine("CELLVANE_SIM_DELAY"), "ConfigError(CELLVANE_SIM_DELAY)\n");
}

TEST(SimConfigJournal, StringsAreQuotedUtf8) {
  EXPECT_EQ(SimQuoted(L"en-us-g2.ctb"), "\"en-us-g2.ctb\"");
  EXPECT_EQ(SimQuoted(L""), "\"\"");
  EXPECT_EQ(SimQuoted(L"a\\b\"c"), "\"a\\\\b\\\"c\"");
  EXPECT_EQ(SimQuoted(L"\u00e9\u20ac"), "\"\xC3\xA9\xE2\x82\xAC\"");

  const wchar_t surrogatePair[] = {0xD83D, 0xDE00, 0};
  EXPECT_EQ(SimToUtf8(surrogatePair), "\xF0\x9F\x98\x80");
  const wchar_t lone[] = {L'a', 0xD800, L'b', 0xDC00, 0xD83D, 0};
  EXPECT_EQ(SimToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
