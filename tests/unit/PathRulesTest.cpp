#include "app/PathRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PathRules, RootIsDriveLeadingSeparatorOrServerShare) {
  const struct {
    const wchar_t* path;
    size_t root;
  } cases[] = {
      {L"", 0},          {L"a\\b", 0},         {L"C:", 2},
      {L"C:x", 2},       {L"C:\\", 3},         {L"C:/x", 3},
      {L"\\", 1},        {L"/x", 1},           {L"\\\\srv\\share\\x", 12},
      {L"//srv/share", 11}, {L"\\\\srv\\share", 11}, {L"\\\\srv", 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathRootLength(c.path), c.root) << c.path;
  }
}

TEST(PathRules, ParentDropsLastComponentButNeverTheRoot) {
  const struct {
    const wchar_t* path;
    const wchar_t* parent;
  } cases[] = {
      {L"C:\\a\\b\\f.ini", L"C:\\a\\b"}, {L"C:/a/b/f.ini", L"C:/a/b"},
      {L"C:\\a/b\\f.ini", L"C:\\a/b"},   {L"C:\\a\\\\/f.ini", L"C:\\a"},
      {L"C:\\f.ini", L"C:\\"},          {L"C:\\\\f.ini", L"C:\\"},
      {L"C:f.ini", L"C:"},             {L"C:", L"C:"},
      {L"\\f.ini", L"\\"},             {L"\\a\\f.ini", L"\\a"},
      {L"\\\\srv\\share\\f.ini", L"\\\\srv\\share\\"}, {L"\\\\srv\\share\\a\\f.ini", L"\\\\srv\\share\\a"},
      {L"a\\\\f.ini", L"a"},           {L"f.ini", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParentFolderOf(c.path), c.parent) << c.path;
  }
}

TEST(PathRules, FolderChainRunsFromTheRootDown) {
  using Chain = std::vector<std::wstring>;
  EXPECT_EQ(FolderChainOf(L"C:\\a\\b\\c"), (Chain{L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c"}));
  EXPECT_EQ(FolderChainOf(L"C:/a//b"), (Chain{L"C:/a", L"C:/a//b"}));
  EXPECT_EQ(FolderChainOf(L"\\\\srv\\share\\a\\b"), (Chain{L"\\\\srv\\share\\a", L"\\\\srv\\share\\a\\b"}));
  EXPECT_EQ(FolderChainOf(L"\\a\\b"), (Chain{L"\\a", L"\\a\\b"}));
  EXPECT_EQ(FolderChainOf(L"a\\b"), (Chain{L"a", L"a\\b"}));
  EXPECT_EQ(FolderChainOf(L"C:\\"), (Chain{L"C:\\"}));
  EXPECT_EQ(FolderChainOf(L"C:"), (Chain{L"C:"}));
  EXPECT_EQ(FolderChainOf(L""), Chain{});
}

}  // namespace
