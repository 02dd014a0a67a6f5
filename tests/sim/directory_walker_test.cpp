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

class DirectoryWalkerTest : public ::testing::Test {
 protected:
  void Make(std::initializer_list<const char*> paths) {
    for (const char* path : paths) ASSERT_TRUE(MakeEmptyFile(folder_.Path(), path)) << path;
  }
  DirectoryWalker::Options Options() const {
    DirectoryWalker::Options options;
    options.root = folder_.Path();
    options.fileIncludes = "*.acf";
    options.folderExcludes = "Experimental;Radio Control";
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

TEST_F(DirectoryWalkerTest, DepthFirstInNameOrderWithoutCase) {
  Make({"b.acf", "A.acf", "c.ACF", "readme.txt", "Zeta/x.acf", "alpha/y.acf", "alpha/inner/z.acf", "alpha/a.acf"});
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"A.acf", "alpha/a.acf", "alpha/inner/z.acf",
                                                                     "alpha/y.acf", "b.acf", "c.ACF", "Zeta/x.acf"}));
}

TEST_F(DirectoryWalkerTest, ExcludedFoldersAndFilesAreLeftOut) {
  Make({"radio control/rc.acf", "RADIO CONTROL/deep/rc2.acf", "Experimental/e.acf", "Radio/r.acf", "keep.acf",
        "drop.acf", "drop.txt"});
  DirectoryWalker::Options options = Options();
  options.fileExcludes = "drop*";
  DirectoryWalker walker(options);
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"keep.acf", "Radio/r.acf"}));
}

TEST_F(DirectoryWalkerTest, FoldersListedWhenAsked) {
  Make({"one/a.acf", "two/b.txt"});
  DirectoryWalker::Options options = Options();
  options.includeFolders = true;
  DirectoryWalker walker(options);
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"one", "one/a.acf", "two"}));
}

TEST_F(DirectoryWalkerTest, LinkedFoldersAreNotEnteredSoLoopsEnd) {
  Make({"pack/model/m.acf"});
  ASSERT_EQ(symlink("..", JoinPath(folder_.Path(), "pack/model/up").c_str()), 0);
  ASSERT_EQ(symlink(folder_.Path().c_str(), JoinPath(folder_.Path(), "root").c_str()), 0);
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{"pack/model/m.acf"}));
}

TEST_F(DirectoryWalkerTest, DeepFoldersAreWalkedWhateverTheirPathLength) {
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "folder_of_the_model_" + std::to_string(i) + "/";
  ASSERT_GT(deep.size(), 800u);
  Make({(deep + "deep.acf").c_str()});
  DirectoryWalker walker(Options());
  walker.Walk();
  EXPECT_EQ(Found(walker, folder_.Path()), (std::vector<std::string>{deep + "deep.acf"}));
}

TEST_F(DirectoryWalkerTest, StopFlagEndsTheWalkAndMissingFoldersYieldNothing) {
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
}  // namespace
