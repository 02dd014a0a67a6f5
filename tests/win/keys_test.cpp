#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "win/keys.h"

namespace {

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetKeyStates(); }
  void TearDown() override { ResetKeyStates(); }
};

bool Down(SHORT state) { return (static_cast<std::uint16_t>(state) & 0x8000u) != 0; }

TEST_F(KeysTest, TheTableAnswersBothCalls) {
  EXPECT_FALSE(Down(GetAsyncKeyState(VK_CONTROL)));
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
  ASSERT_TRUE(SetKeyState(VK_CONTROL, true));
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);  // held reads negative
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 1, 1);  // and toggled
  EXPECT_EQ(static_cast<std::uint16_t>(GetAsyncKeyState(VK_CONTROL)), 0x8001u);  // pressed since last asked
  EXPECT_EQ(static_cast<std::uint16_t>(GetAsyncKeyState(VK_CONTROL)), 0x8000u);
  SetKeyState(VK_CONTROL, false);
  EXPECT_EQ(GetKeyState(VK_CONTROL), 1);  // up, still toggled
  SetKeyState(VK_CONTROL, true);
  SetKeyState(VK_CONTROL, false);
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 1);  // a press came and went since the last call
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(KeysTest, EitherSideHoldsTheGenericKey) {
  SetKeyState(VK_RSHIFT, true);
  EXPECT_TRUE(Down(GetKeyState(VK_SHIFT)));
  EXPECT_TRUE(Down(GetAsyncKeyState(VK_SHIFT)));
  EXPECT_FALSE(Down(GetKeyState(VK_LSHIFT)));
  SetKeyState(VK_LSHIFT, true);
  SetKeyState(VK_RSHIFT, false);
  EXPECT_TRUE(Down(GetKeyState(VK_SHIFT)));
  SetKeyState(VK_LSHIFT, false);
  EXPECT_FALSE(Down(GetKeyState(VK_SHIFT)));
}

TEST_F(KeysTest, KeysOutsideTheTableAreRefused) {
  for (int vk : {0, 255, -1, 1000}) {
    EXPECT_FALSE(SetKeyState(vk, true)) << vk;
    EXPECT_EQ(GetKeyState(vk), 0) << vk;
    EXPECT_EQ(GetAsyncKeyState(vk), 0) << vk;
  }
}

TEST(KeyNames, NamesNumbersAndLettersGiveTheirKeys) {
  struct Case {
    const char* name;
    std::optional<int> vk;
  };
  const std::vector<Case> cases = {
      {"9", VK_TAB},        {"0x13", VK_PAUSE},   {"TAB", VK_TAB},        {"vk_return", VK_RETURN},
      {"Enter", VK_RETURN}, {"ctrl", VK_CONTROL}, {"VK_SHIFT", VK_SHIFT}, {"F12", VK_F12},
      {"f1", VK_F1},        {"a", 'A'},           {"Z", 'Z'},             {"UP", VK_UP},
      {"F13", std::nullopt}, {"F0", std::nullopt}, {"", std::nullopt},    {"0", std::nullopt},
      {"255", std::nullopt}, {"12x", std::nullopt}, {"NOPE", std::nullopt}, {"+", std::nullopt},
      {"VK_", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromName(c.name), c.vk) << c.name;
}

}  // namespace
