#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "win/find_file.h"
#include "win/paths.h"

namespace {
namespace fs = std::filesystem;

struct Found {
  std::string name;
  DWORD attributes;
  unsigned long long size;
};

using FindFirst = HFIND (*)(const char*, WIN32_FIND_DATAA*);

std::vector<Found> List(const std::string& pattern, FindFirst first = FindFirstFileA) {
  std::vector<Found> found;
  WIN32_FIND_DATAA data;
  HFIND search = first(pattern.c_str(), &data);
  if (search == INVALID_FIND_HANDLE) return found;
  do {
    found.push_back({data.cFileName, data.dwFileAttributes,
                     (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
  } while (FindNextFileA(search, &data) != FALSE);
  EXPECT_EQ(FindClose(search), TRUE);
  return found;
}

std::vector<std::string> Names(const std::vector<Found>& found) {
  std::vector<std::string> names;
  for (const Found& f : found) names.push_back(f.name);
  return names;
}

TEST(FindFile, NamesComeSortedWithoutCaseDotsIncluded) {
  TempFolder folder;
  for (const char* name : {"b.acf", "A.acf", "C.txt", "a2.acf"}) std::ofstream(JoinPath(folder.Path(), name)) << "xy";
  fs::create_directory(JoinPath(folder.Path(), "Beta"));
  const auto found = List(JoinPath(folder.Path(), "*"));
  EXPECT_EQ(Names(found), (std::vector<std::string>{".", "..", "A.acf", "a2.acf", "b.acf", "Beta", "C.txt"}));
  for (const Found& f : found) {
    const bool folderEntry = f.name == "." || f.name == ".." || f.name == "Beta";
    EXPECT_EQ((f.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, folderEntry) << f.name;
    if (!folderEntry) {
      EXPECT_EQ(f.size, 2u) << f.name;
    }
  }
  EXPECT_EQ(Names(List(JoinPath(folder.Path(), "*.ACF"))), (std::vector<std::string>{"A.acf", "a2.acf", "b.acf"}));
}

TEST(FindFile, LinksAreReportedNotFollowed) {
  TempFolder folder;
  fs::create_directory(JoinPath(folder.Path(), "real"));
  std::ofstream(JoinPath(folder.Path(), "real/model.acf")) << "";
  ASSERT_EQ(symlink("real", JoinPath(folder.Path(), "folderLink").c_str()), 0);
  ASSERT_EQ(symlink("real/model.acf", JoinPath(folder.Path(), "fileLink.acf").c_str()), 0);
  ASSERT_EQ(symlink("missing", JoinPath(folder.Path(), "dangling").c_str()), 0);
  for (const Found& f : List(JoinPath(folder.Path(), "*"))) {
    DWORD expected = 0;
    if (f.name == "folderLink") expected = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (f.name == "fileLink.acf" || f.name == "dangling") expected = FILE_ATTRIBUTE_REPARSE_POINT;
    if (f.name == "real") expected = FILE_ATTRIBUTE_DIRECTORY;
    if (expected != 0) {
      EXPECT_EQ(f.attributes, expected) << f.name;
    }
  }
}

// The names-and-kinds enumeration lists what the full one lists, in the same
// order with the same folder and link bits, and nothing of sizes and times.
TEST(FindFile, BasicEnumerationGivesTheSameNamesAndKinds) {
  TempFolder folder;
  for (const char* name : {"b.acf", "B.acf", "A.acf", "readonly.acf", "_x.acf"})
    std::ofstream(JoinPath(folder.Path(), name)) << "xyz";
  fs::permissions(JoinPath(folder.Path(), "readonly.acf"), fs::perms::owner_read);
  for (const char* name : {"Beta", "alpha", "b"}) fs::create_directory(JoinPath(folder.Path(), name));
  ASSERT_EQ(symlink("alpha", JoinPath(folder.Path(), "folderLink").c_str()), 0);
  ASSERT_EQ(symlink("b.acf", JoinPath(folder.Path(), "fileLink.acf").c_str()), 0);
  ASSERT_EQ(symlink("missing", JoinPath(folder.Path(), "dangling").c_str()), 0);
  ASSERT_EQ(symlink("..", JoinPath(folder.Path(), "alpha/up").c_str()), 0);

  for (const char* pattern : {"*", "*.ACF", "alpha/*", "b*"}) {
    SCOPED_TRACE(pattern);
    const std::vector<Found> full = List(JoinPath(folder.Path(), pattern));
    const std::vector<Found> basic = List(JoinPath(folder.Path(), pattern), FindFirstFileBasicA);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(Names(basic), Names(full));
    for (std::size_t i = 0; i < basic.size() && i < full.size(); ++i) {
      constexpr DWORD kKindBits = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
      EXPECT_EQ(basic[i].attributes & kKindBits, full[i].attributes & kKindBits) << basic[i].name;
      if ((basic[i].attributes & kKindBits) == 0) {
        EXPECT_EQ(basic[i].attributes, FILE_ATTRIBUTE_NORMAL) << basic[i].name;
      }
      EXPECT_EQ(basic[i].size, 0u) << basic[i].name;
    }
  }
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileBasicA(JoinPath(folder.Path(), "missing/*").c_str(), &data), INVALID_FIND_HANDLE);
  EXPECT_EQ(FindFirstFileBasicA(JoinPath(folder.Path(), "*.txt").c_str(), &data), INVALID_FIND_HANDLE);
  EXPECT_EQ(FindFirstFileBasicA(nullptr, &data), INVALID_FIND_HANDLE);
}

TEST(FindFile, NothingToListGivesAnInvalidHandle) {
  TempFolder folder;
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA(JoinPath(folder.Path(), "missing/*").c_str(), &data), INVALID_FIND_HANDLE);
  EXPECT_EQ(FindFirstFileA(JoinPath(folder.Path(), "*.acf").c_str(), &data), INVALID_FIND_HANDLE);
  EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_FIND_HANDLE);
  EXPECT_EQ(FindNextFileA(INVALID_FIND_HANDLE, &data), FALSE);
  EXPECT_EQ(FindClose(INVALID_FIND_HANDLE), FALSE);
}
}  // namespace
