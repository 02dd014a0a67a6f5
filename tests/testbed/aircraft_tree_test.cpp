#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/child_process.h"
#include "testbed/aircraft_tree.h"

namespace {
namespace fs = std::filesystem;

TEST(AircraftTree, DistinctEmptyModelFilesBelowPackageAndModelFolders) {
  TempFolder folder;
  const std::string aircraft = folder.Path() + "/Aircraft";
  const auto made = MakeAircraftTree(aircraft, 1'500);
  ASSERT_EQ(made.size(), 1'500u);
  EXPECT_EQ(made[0], "Heavy Metal/B738/B738.acf");
  std::set<std::string> distinct(made.begin(), made.end());
  EXPECT_EQ(distinct.size(), made.size());
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(aircraft)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    EXPECT_EQ(entry.file_size(), 0u);
    EXPECT_EQ(entry.path().extension(), ".acf");
    const std::string relative = fs::relative(entry.path(), aircraft).string();
    EXPECT_EQ(std::count(relative.begin(), relative.end(), '/'), 2) << relative;
    EXPECT_LT(relative.size(), 112u) << relative;
  }
  EXPECT_EQ(files, 1'500u);
  // The same count gives the same names.
  TempFolder again;
  EXPECT_EQ(MakeAircraftTree(again.Path(), 1'500), made);
}

TEST(AircraftTree, UnwritableFolderGivesNothing) {
  TempFolder folder;
  ASSERT_TRUE(MakeEmptyFile(folder.Path(), "file"));
  EXPECT_TRUE(MakeAircraftTree(folder.Path() + "/file", 3).empty());
}
}  // namespace
