#include "tables/TableRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::wstring>;

TEST(TablesFolder, AbsoluteValuesStayRelativeOnesFollowTheProgram) {
  const std::wstring program = L"Z:\\opt\\Lumibrel";
  const struct {
    const wchar_t* value;
    std::wstring folder;
  } cases[] = {
      {L"", program + L"\\tables\\"},     {L"C:\\x", L"C:\\x\\"},
      {L"C:", L"C:\\"},                     {L"C:x", L"C:x\\"},
      {L"C:\\x\\", L"C:\\x\\"},             {L"C:/x/", L"C:/x/"},
      {L"\\\\srv\\share\\t", L"\\\\srv\\share\\t\\"}, {L"\\\\srv\\share\\t\\", L"\\\\srv\\share\\t\\"},
      {L"mine", program + L"\\mine\\"},   {L"mine\\", program + L"\\mine\\"},
      {L"m", program + L"\\m\\"},         {L"\\x", program + L"\\\\x\\"},
      {L"/x", program + L"\\/x\\"},       {L"//srv/share", program + L"\\//srv/share\\"},
      {L"\\", program + L"\\\\"},          {L":x", program + L"\\:x\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveTablesFolderFrom(program, c.value), c.folder) << c.value;
  }
  for (const wchar_t* value : {L"", L"C:\\x", L"\\\\srv\\share", L"mine"}) {
    EXPECT_EQ(ResolveTablesFolderFrom(L"", value), L"") << value;
  }
}

TEST(TableNames, OnlyTheKnownEndingsAreTables) {
  for (const wchar_t* name : {L"en-us-g2.ctb", L"x.utb", L"x.tbl", L"x.cti", L"x.uti", L"x.dis", L".ctb", L"a.b.ctb"}) {
    EXPECT_TRUE(IsTableFileName(name)) << name;
  }
  for (const wchar_t* name : {L"", L"ctb", L"xctb.", L"x.ctb.bak", L"x.ctbx", L"x.ct", L"x.txt", L"x.CTB", L"x_ctb"}) {
    EXPECT_FALSE(IsTableFileName(name)) << name;
  }
}

TEST(TableNames, KeywordsPickTheLists) {
  const struct {
    const wchar_t* name;
    bool literary, computer, math;
  } cases[] = {
      {L"en-us-g1.ctb", true, false, false},     {L"EN-US-G2.CTB", true, false, false},
      {L"de-g0-core.uti", false, false, false},  {L"split.utb", true, false, false},  // "lit" in a word
      {L"en-ueb-math.ctb", false, false, true},  {L"en-ueb-g1.ctb", true, false, true},
      {L"en-us-comp8.ctb", false, true, false},  {L"Nemeth.TBL", false, false, true},
      {L"grade.dis", true, false, false},        {L"en-us-g2.ctb.bak", false, false, false},
      {L"g1.txt", false, false, false},
      // Only A-Z are lowered: a dotted capital I is not an "i".
      {L"L\u0130T.ctb", false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTableOfCategory(c.name, false, LiteraryKeywords), c.literary) << c.name;
    EXPECT_EQ(IsTableOfCategory(c.name, false, ComputerKeywords), c.computer) << c.name;
    EXPECT_EQ(IsTableOfCategory(c.name, false, MathKeywords), c.math) << c.name;
    for (const auto* keywords : {&LiteraryKeywords, &ComputerKeywords, &MathKeywords}) {
      EXPECT_FALSE(IsTableOfCategory(c.name, true, *keywords)) << c.name;
    }
  }
  EXPECT_EQ(LowerTableName(L"AZaz@[`{\u00C4\u0130"), L"azaz@[`{\u00C4\u0130");
}

TEST(TableNames, SortByUnitsAndDropRepeats) {
  Names names = {L"b", L"_x", L"a", L"Z", L"0", L".x", L"-x", L"ab", L"a", L"\u00e9", L"B", L"9", L"b",
                 L"\uFF21", L"a-b", L"a.b", L"a_b", L"aB"};
  SortTableNames(names);
  EXPECT_EQ(names, (Names{L"-x", L".x", L"0", L"9", L"B", L"Z", L"_x", L"a", L"a-b", L"a.b", L"aB", L"a_b",
                          L"ab", L"b", L"\u00e9", L"\uFF21"}));
  Names empty;
  SortTableNames(empty);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
