#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/directory_walker.h"
#include "support/child_process.h"
#include "testbed/aircraft_tree.h"
#include "win/paths.h"

namespace {
namespace fs = std::filesystem;

// Each case runs for the full enumeration and for the names-and-kinds one.
class DirectoryWalkerTest : public ::testing::TestWithParam<bool> {
 protected:
  void Make(std::initializer_list<const char*> paths) {
    for (const char* path : paths) ASSERT_TRUE(MakeEmptyFile(folder_.Path(), path)) << path;
  }
  DirectoryWalker::Options Options() const {
    DirectoryWalker::Options options;
    options.root = folder_.Path();
    options.fileIncludes = "*.acf";
    options.folderExcludes = "Experimental;Radio Control";
    options.kindsOnly = GetParam();
    return options;
  }
  // Paths below the root of every entry, in walk order.
  static std::vector<std::string> Found(const DirectoryWalker& walker, const std::string& root) {
    std::vector<std::string> paths;
    for (const DirectoryEntry& entry : walker.Entries()) {
      const std::string full = JoinPath(walker.FolderOf(entry), entry.find.cFileName);
      paths.push_back(full.substr(root.size() + 1));
    }
    return paths;
  }

  TempFolder folder_;
};

TEST_P(DirectoryWalkerTest, DepthFirstInNameOrderWithoutCase) {
  Make({"b.acf", "A.acf", "c.ACF", "readme.txt", "Zeta/x.acf", "alpha/y.acf", "alpha/inner/z.acf", "alpha/a.acf"});
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"A.acf", "alpha/a.acf", "alpha/inner/z.acf",
                                                                     "alpha/y.acf", "b.acf", "c.ACF", "Zeta/x.acf"}));
}

TEST_P(DirectoryWalkerTest, ExcludedFoldersAndFilesAreLeftOut) {
  Make({"radio control/rc.acf", "RADIO CONTROL/deep/rc2.acf", "Experimental/e.acf", "Radio/r.acf", "keep.acf",
        "drop.acf", "drop.txt"});
  DirectoryWalker::Options options = Options();
  options.fileExcludes = "drop*";
  DirectoryWalker walker(options);
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"keep.acf", "Radio/r.acf"}));
}

TEST_P(DirectoryWalkerTest, FoldersListedWhenAsked) {
  Make({"one/a.acf", "two/b.txt"});
  DirectoryWalker::Options options = Options();
  options.includeFolders = true;
  DirectoryWalker walker(options);
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"one", "one/a.acf", "two"}));
}

// A linked folder is walked under the link's name; a link back to a folder
// on the current path is a loop and is not entered.
TEST_P(DirectoryWalkerTest, LinkedFoldersAreWalkedAndLoopsEnd) {
  TempFolder elsewhere;
  ASSERT_TRUE(MakeEmptyFile(elsewhere.Path(), "Jet/j.acf"));
  Make({"pack/model/m.acf", "other/o.acf", "a/a.acf", "b/b.acf"});
  const auto link = [this](const std::string& target, const char* at) {
    ASSERT_EQ(symlink(target.c_str(), JoinPath(folder_.Path(), at).c_str()), 0) << at;
  };
  link(elsewhere.Path(), "linked");
  link("../other", "pack/alias");  // not a loop: walked twice
  link("..", "pack/model/up");
  link(folder_.Path(), "root");
  link("../b", "a/tob");  // a and b lead to each other
  link("../a", "b/toa");
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()),
            (std::vector<std::string>{"a/a.acf", "a/tob/b.acf", "b/b.acf", "b/toa/a.acf", "linked/Jet/j.acf",
                                      "other/o.acf", "pack/alias/o.acf", "pack/model/m.acf"}));
}

TEST_P(DirectoryWalkerTest, DeepFoldersAreWalkedWhateverTheirPathLength) {
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "folder_of_the_model_" + std::to_string(i) + "/";
  ASSERT_GT(deep.size(), 800u);
  Make({(deep + "deep.acf").c_str()});
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{deep + "deep.acf"}));
}

TEST_P(DirectoryWalkerTest, StopFlagEndsTheWalkAndMissingFoldersYieldNothing) {
  Make({"a.acf", "b.acf"});
  std::atomic<int> stop{1};
  DirectoryWalker::Options options = Options();
  options.stop = &stop;
  DirectoryWalker stopped(options);
  stopped.Walk();
  EXPECT_TRUE(stopped.Entries().empty());

  options = Options();
  options.root = JoinPath(folder_.Path(), "missing");
  DirectoryWalker missing(options);
  missing.Walk();
  EXPECT_TRUE(missing.Entries().empty());

  options = Options();
  options.recurse = false;
  Make({"sub/c.acf"});
  DirectoryWalker flat(options);
  flat.Walk();
  EXPECT_EQ(Found(flat, folder_.Path()), (std::vector<std::string>{"a.acf", "b.acf"}));
}
TEST_P(DirectoryWalkerTest, FilesHandedOverKeepTheOrderAndFoldersOfTheList) {
  Make({"b.acf", "A.acf", "readme.txt", "Zeta/x.acf", "alpha/y.acf", "alpha/inner/z.acf", "Experimental/e.acf"});
  ASSERT_EQ(symlink("b.acf", JoinPath(folder_.Path(), "alpha/linked.acf").c_str()), 0);
  ASSERT_EQ(symlink("missing.acf", JoinPath(folder_.Path(), "alpha/broken.acf").c_str()), 0);
  ASSERT_EQ(symlink("../Zeta", JoinPath(folder_.Path(), "alpha/zlink.acf").c_str()), 0);
  DirectoryWalker listed(Options());
  listed.Walk();
  std::vector<std::string> kept = Found(listed, folder_.Path());

  std::vector<std::string> handed;
  DirectoryWalker::Options options = Options();
  options.onFile = [&](const std::string& folder, const WIN32_FIND_DATAA& file) {
    EXPECT_EQ(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << file.cFileName;
    handed.push_back(JoinPath(folder, file.cFileName).substr(folder_.Path().size() + 1));
  };
  DirectoryWalker visited(options);
  visited.Walk();
  EXPECT_TRUE(visited.Entries().empty());
  EXPECT_EQ(handed, kept);
  // A link to a file, even a dangling one, is listed as a file; a link to a
  // folder is walked as one, whatever its name.
  EXPECT_EQ(kept, (std::vector<std::string>{"A.acf", "alpha/broken.acf", "alpha/inner/z.acf", "alpha/linked.acf",
                                            "alpha/y.acf", "alpha/zlink.acf/x.acf", "b.acf", "Zeta/x.acf"}));
}

INSTANTIATE_TEST_SUITE_P(Enumerations, DirectoryWalkerTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& enumeration) {
                           return enumeration.param ? std::string("KindsOnly") : std::string("Full");
                         });
}  // namespace
