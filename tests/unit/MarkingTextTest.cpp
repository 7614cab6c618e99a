#include "marking/MarkingText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

Pairs Parse(std::wstring_view units, size_t count = std::wstring_view::npos) {
  Pairs pairs;
  for (const MarkingEntry& entry : ParseMarkingSection(units.data(), std::min(count, units.size()))) {
    pairs.emplace_back(entry.key, entry.value);
  }
  return pairs;
}

TEST(MarkingSection, KeepsEveryKeyedLineAsWritten) {
  using namespace std::literals;
  EXPECT_EQ(Parse(L"Bold=1\0=x\0NoValue\0 Italic = 0 \0Underline=1=2\0Bold=0\0Empty=\0\0"sv),
            (Pairs{{L"Bold", L"1"}, {L" Italic ", L" 0 "}, {L"Underline", L"1=2"}, {L"Bold", L"0"}, {L"Empty", L""}}));
  // The empty line ends the section; so does the end of the units given.
  EXPECT_EQ(Parse(L"a=1\0\0b=2\0\0"sv), (Pairs{{L"a", L"1"}}));
  EXPECT_EQ(Parse(L"a=1\0b=2"sv), (Pairs{{L"a", L"1"}, {L"b", L"2"}}));
  EXPECT_EQ(Parse(L"a=1\0b=2\0\0"sv, 5), (Pairs{{L"a", L"1"}}));
  EXPECT_EQ(Parse(L"a=1\0b=2\0\0"sv, 7), (Pairs{{L"a", L"1"}, {L"b", L"2"}}));
  EXPECT_EQ(Parse(L"\0a=1\0\0"sv), Pairs{});
  EXPECT_TRUE(ParseMarkingSection(nullptr, 10).empty());
}

TEST(MarkingLabels, CamelCaseSplitsBeforeEachNewWord) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"BoldText", L"Bold Text"},       {L"HTMLLink", L"HTML Link"}, {L"Heading1Text", L"Heading1 Text"},
      {L"ABC", L"ABC"},                  {L"Bold Text", L"Bold Text"}, {L"", L""},
      {L"boldText", L"bold Text"},       {L"Bold", L"Bold"},          {L"MarkAsHTML", L"Mark As HTML"},
      {L"AToZ", L"A To Z"},
  };
  for (const auto& [identifier, label] : cases) {
    EXPECT_EQ(SplitCamelCase(identifier), label) << identifier;
  }
}

TEST(MarkingLabels, AccessKeysGoToTheSecondWordsFirstFreeLetter) {
  std::vector<wchar_t> used;
  const std::pair<const wchar_t*, const wchar_t*> sequence[] = {
      {L"Mark Bold", L"Mark &Bold"},     {L"Mark Bright", L"Mark B&right"}, {L"Mark Italic", L"Mark &Italic"},
      {L"Colour", L"Colour"},            {L"Heading 1", L"Heading 1"},      {L"Heading 1-2", L"Heading 1-2"},
      {L"Mark bRIB", L"Mark bRIB"},      {L"Mark ", L"Mark "},              {L"Mark  9Under", L"Mark  9&Under"},
      {L" Strong Text", L" &Strong Text"}, {L"Mark Tiny Text", L"Mark &Tiny Text"},
  };
  for (const auto& [label, keyed] : sequence) {
    EXPECT_EQ(AddAccessKey(label, used), keyed) << label;
  }
  EXPECT_EQ(used, (std::vector<wchar_t>{L'b', L'r', L'i', L'u', L's', L't'}));
}

TEST(MarkingLabels, AccessKeyIsTheUnitAfterTheFirstSingleAmpersand) {
  const struct {
    const wchar_t* text;
    std::optional<wchar_t> key;
  } cases[] = {
      {L"&&a &Bold", L'b'}, {L"Mark B&right", L'r'}, {L"Mark &Bold", L'b'}, {L"a&&&B", L'b'},
      {L"Bold&", std::nullopt}, {L"&&", std::nullopt}, {L"Bold", std::nullopt}, {L"", std::nullopt},
      {L"&1 x", L'1'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AccessKeyOf(c.text), c.key) << c.text;
  }
}

}  // namespace
