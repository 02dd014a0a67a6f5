#include <gtest/gtest.h>

#include <vector>

#include "voice/push_to_talk.h"
#include "win/keys.h"

namespace {
class PushToTalk : public ::testing::Test {
 protected:
  void SetUp() override { ResetKeyStates(); }
  void TearDown() override { ResetKeyStates(); }
};
}  // namespace

TEST_F(PushToTalk, KeyChordsBySetting) {
  struct Case {
    std::uint32_t keys;
    std::vector<int> down;
    bool held;
  };
  const Case cases[] = {
      {0, {}, false},
      {0, {VK_LCONTROL}, false},
      {0, {VK_LWIN}, false},
      {0, {VK_LCONTROL, VK_LWIN}, true},
      {0, {VK_RCONTROL, VK_LWIN}, false},
      {0, {VK_LCONTROL, VK_RWIN}, false},
      {0, {VK_LCONTROL, VK_CAPITAL}, false},
      {1, {VK_LCONTROL, VK_CAPITAL}, true},
      {1, {VK_LCONTROL, VK_LWIN}, false},
      {1, {VK_CAPITAL}, false},
      {2, {VK_LCONTROL, VK_LWIN}, false},
      {2, {VK_LCONTROL, VK_CAPITAL}, false},
  };
  for (const Case& c : cases) {
    ResetKeyStates();
    for (const int vk : c.down) SetKeyState(vk, true);
    EXPECT_EQ(PushToTalkHeld(c.keys, 0, 0), c.held) << "keys " << c.keys << ", " << c.down.size() << " down";
  }
}

TEST_F(PushToTalk, JoystickButtonByMask) {
  EXPECT_TRUE(PushToTalkHeld(2, 1u << 3, 1u << 3));
  EXPECT_TRUE(PushToTalkHeld(0, (1u << 3) | 1u, 1u << 3));
  EXPECT_FALSE(PushToTalkHeld(0, 1u << 2, 1u << 3));
  EXPECT_FALSE(PushToTalkHeld(0, 1u << 3, 0)) << "no button configured";
}

TEST_F(PushToTalk, ReleasingTheChordEndsIt) {
  SetKeyState(VK_LCONTROL, true);
  SetKeyState(VK_LWIN, true);
  EXPECT_TRUE(PushToTalkHeld(0, 0, 0));
  SetKeyState(VK_LWIN, false);
  EXPECT_FALSE(PushToTalkHeld(0, 0, 0));
}
