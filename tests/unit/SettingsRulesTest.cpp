#include "settings/SettingsRules.h"

#include <gtest/gtest.h>

namespace {

TEST(BoolText, OnlyExactRecognisedFormsOverrideTheDefault) {
  for (const wchar_t* text : {L"1", L"true", L"TRUE", L"yes", L"YES", L"on", L"ON"}) {
    EXPECT_TRUE(ParseBoolText(text, false)) << text;
    EXPECT_TRUE(ParseBoolText(text, true)) << text;
  }
  for (const wchar_t* text : {L"0", L"false", L"FALSE", L"no", L"NO", L"off", L"OFF"}) {
    EXPECT_FALSE(ParseBoolText(text, false)) << text;
    EXPECT_FALSE(ParseBoolText(text, true)) << text;
  }
  // Mixed case, padding, other numbers and near misses are not guessed at.
  for (const wchar_t* text : {L"", L"True", L"Yes", L"On", L" 1", L"1 ", L"2", L"-1", L"01", L"onn", L"tru"}) {
    EXPECT_TRUE(ParseBoolText(text, true)) << text;
    EXPECT_FALSE(ParseBoolText(text, false)) << text;
  }
  // A view into longer text counts only its own units.
  EXPECT_TRUE(ParseBoolText(std::wstring_view(L"onward", 2), false));
  EXPECT_TRUE(ParseBoolText(std::wstring_view(L"1\0", 2), true));
  EXPECT_FALSE(ParseBoolText(std::wstring_view(L"1\0", 2), false));
}

TEST(LanguageCode, FailedLookupFallsBackToEnu) {
  EXPECT_EQ(LanguageCodeFrom(4, L"DEU"), L"DEU");
  EXPECT_EQ(LanguageCodeFrom(0, L"DEU"), L"enu");
  EXPECT_EQ(LanguageCodeFrom(-1, L"DEU"), L"enu");
  EXPECT_EQ(LanguageCodeFrom(0, nullptr), L"enu");
}

}  // namespace
