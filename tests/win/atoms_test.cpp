#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/child_process.h"
#include "win/atoms.h"

namespace {

// Both tables, this process's own and the folder's, keep the same rules.
class AtomsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) setenv("TK_WINDOWS", folder_.Path().c_str(), 1);
  }
  void TearDown() override { unsetenv("TK_WINDOWS"); }

 private:
  TempFolder folder_;
};

TEST_P(AtomsTest, AnAtomIsCountedPerAddAndFoundWithoutCase) {
  const ATOM atom = GlobalAddAtomA("Atom rules one");
  ASSERT_GE(atom, 0xC000);
  EXPECT_EQ(GlobalAddAtomA("ATOM RULES ONE"), atom);
  EXPECT_EQ(GlobalFindAtomA("atom rules one"), atom);
  const ATOM other = GlobalAddAtomA("Atom rules two");
  EXPECT_NE(other, atom);

  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  EXPECT_EQ(GlobalFindAtomA("Atom rules one"), atom);  // added twice, deleted once
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  EXPECT_EQ(GlobalFindAtomA("Atom rules one"), 0);
  EXPECT_EQ(GlobalDeleteAtom(atom), atom);  // unknown now
  EXPECT_EQ(GlobalDeleteAtom(other), 0);
}

TEST_P(AtomsTest, NamesAreCopiedWithinTheBuffer) {
  const ATOM atom = GlobalAddAtomA("Twelve chars");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(GlobalGetAtomNameA(atom, buffer, sizeof buffer), 7u);
  EXPECT_STREQ(buffer, "Twelve ");
  EXPECT_EQ(GlobalGetAtomNameA(0xBFFF, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(GlobalGetAtomNameA(atom, nullptr, 8), 0u);
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);

  EXPECT_EQ(GlobalAddAtomA(""), 0);
  EXPECT_EQ(GlobalAddAtomA(nullptr), 0);
  EXPECT_EQ(GlobalAddAtomA(std::string(256, 'a').c_str()), 0);
  const ATOM longest = GlobalAddAtomA(std::string(255, 'a').c_str());
  EXPECT_NE(longest, 0);
  EXPECT_EQ(GlobalDeleteAtom(longest), 0);
}

INSTANTIATE_TEST_SUITE_P(Tables, AtomsTest, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Folder" : "Process"; });

}  // namespace
