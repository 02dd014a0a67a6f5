#include "win/shared_memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

std::string UniqueName(const char* what) { return "tk-test-" + std::string(what) + "-" + std::to_string(getpid()); }

TEST(SharedMemory, AnOpenerSeesTheCreatorsBytesAndTheNameGoesWithTheCreator) {
  const std::string name = UniqueName("share");
  win::SharedMemory creator;
  ASSERT_TRUE(creator.Create(name, 4096));
  EXPECT_EQ(creator.Bytes()[100], 0);
  creator.Bytes()[100] = 0x5A;
  {
    win::SharedMemory opener;
    ASSERT_TRUE(opener.Open(name, 4096));
    EXPECT_EQ(opener.Bytes()[100], 0x5A);
    opener.Bytes()[200] = 0x11;
    EXPECT_FALSE(win::SharedMemory().Open(name, 8192)) << "larger than the block";
  }
  EXPECT_EQ(creator.Bytes()[200], 0x11);
  win::SharedMemory still;
  ASSERT_TRUE(still.Open(name, 4096)) << "an opener closing leaves the name";
  still.Close();
  creator.Close();
  EXPECT_FALSE(win::SharedMemory().Open(name, 4096)) << "the creator removed it";
}

TEST(SharedMemory, ACreateReplacesAStaleBlockAndRefusesNothingSized) {
  const std::string name = UniqueName("stale");
  win::SharedMemory first;
  ASSERT_TRUE(first.Create(name, 64));
  first.Bytes()[0] = 9;
  win::SharedMemory second;
  ASSERT_TRUE(second.Create(name, 64));
  EXPECT_EQ(second.Bytes()[0], 0) << "a fresh block";
  EXPECT_FALSE(win::SharedMemory().Create(UniqueName("empty"), 0));
  EXPECT_FALSE(win::SharedMemory().Open(UniqueName("none"), 16));
}

}  // namespace
