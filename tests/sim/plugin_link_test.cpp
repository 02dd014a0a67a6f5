// The plug-in link over a real loopback socket: it connects in its second
// second, frames XTK records, and the session flag follows the link.
#include "sim/plugin_link.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "base/main_thread.h"
#include "support/klib_fixture.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 20'000;

std::string Frame(std::uint8_t command, const std::string& body) {
  std::string frame("\xA1\xB2\xC3\x17", 4);
  frame += static_cast<char>(kXtkFrameType);
  frame += static_cast<char>(command);
  frame += std::string(2, '\0');
  for (int i = 0; i < 4; ++i) frame += static_cast<char>((body.size() >> (8 * i)) & 0xFF);
  return frame + body;
}

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return false;
}

class PluginLinkTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    SetMessageBoxEcho(false);
    COrvSok::SetPauseFunction([](DWORD) {});
    ASSERT_TRUE(plugin_.Ok());
    g_networkSettings.xplaneDllPort = plugin_.Port();
    g_setupSettings.defaultVfrSquawk = 1200;
    CreateXPlaneLink();
    ASSERT_NE(XPlaneLinkObject(), nullptr);
  }
  void TearDown() override {
    delete XPlaneLinkObject();
    g_porvDll = nullptr;
    XPlaneLinkUp = false;
    SyncSessionFlagToPlugin();
    g_networkSettings.xplaneDllPort = setting_default::kXplaneDllPortNumber;
    SetMessageBoxEcho(true);
    COrvSok::SetPauseFunction(nullptr);
    KlibFixture::TearDown();
  }
  // The link connects on the second change of the seconds counter it sees: each
  // change is kept until the link has gone round its loop once more. Paused, the
  // link waits until a new second wakes it and serves that second in the same
  // pass, so the pass that follows a change has seen it.
  void LetTheLinkConnect() {
    CXPlaneLink* link = XPlaneLinkObject();
    ASSERT_NE(link, nullptr);
    for (int second = 0; second < 2; ++second) {
      const std::uint64_t before = link->Passes();
      g_secondsCounter.fetch_add(1);
      ASSERT_TRUE(WaitFor(kWaitMs, [&] { return link->Passes() >= before + 1 || XPlaneLinkUp.load(); }));
    }
    ASSERT_TRUE(plugin_.WaitForConnections(1, kWaitMs));
    ASSERT_TRUE(WaitFor(kWaitMs, [] { return XPlaneLinkUp.load(); }));
  }

  LoopbackServer plugin_;
};

TEST_F(PluginLinkTest, TheSessionOpensWithAHelloAndTheSquawkAndClosesWithTheLink) {
  LetTheLinkConnect();
  const std::string hello = Frame(XTK_CMD_HELLO, std::string("\x01\x04\x00\x0B", 4));
  const std::string squawk = Frame(XTK_CMD_SET_SQUAWK, std::string("\xB0\x04", 2));
  ASSERT_TRUE(plugin_.WaitForBytes(hello.size() + squawk.size(), kWaitMs));
  EXPECT_EQ(plugin_.Received(), hello + squawk);
  EXPECT_TRUE(g_sessionOpen.load());

  // The flag did not change: nothing is sent again. A record sent after it takes the same
  // way: once it has arrived, anything the call sent would have arrived before it.
  SyncSessionFlagToPlugin();
  const std::string marker = Frame(106, "");
  ASSERT_EQ(SendToXPlane(nullptr, 106, {}, "TEST0"), 1);
  ASSERT_TRUE(plugin_.WaitForBytes(hello.size() + squawk.size() + marker.size(), kWaitMs));
  EXPECT_EQ(plugin_.Received(), hello + squawk + marker);

  ASSERT_TRUE(plugin_.CloseAbruptly());
  ASSERT_TRUE(WaitFor(kWaitMs, [] { return !XPlaneLinkUp.load(); }));
  EXPECT_TRUE(WaitFor(kWaitMs, [] { return !g_sessionOpen.load(); }));
}

TEST_F(PluginLinkTest, RecordsAreFramedUpToTheLinkLimit) {
  LetTheLinkConnect();
  ASSERT_TRUE(plugin_.WaitForBytes(16 + 14, kWaitMs));
  const std::size_t before = plugin_.ReceivedCount();

  const std::vector<std::uint8_t> largest(kXtkMaxFrameCount - 8, 0x5A);
  EXPECT_EQ(SendToXPlane(nullptr, 30, largest, "TEST1"), 1);
  const std::vector<std::uint8_t> tooLarge(kXtkMaxFrameCount - 7, 0x5A);
  EXPECT_EQ(SendToXPlane(nullptr, 30, tooLarge, "TEST2"), 0);
  EXPECT_EQ(SendToXPlane(nullptr, 106, {}, "TEST3"), 1);

  const std::string empty = Frame(106, "");
  // In order: a refused record sent anyway would show between the two.
  ASSERT_TRUE(plugin_.WaitForBytes(before + 12 + largest.size() + empty.size(), kWaitMs));
  const std::string received = plugin_.Received().substr(before);
  ASSERT_EQ(received.size(), 12 + largest.size() + empty.size());
  EXPECT_EQ(received.substr(0, 12), Frame(30, std::string(largest.size(), 'Z')).substr(0, 12));
  EXPECT_EQ(received.substr(12 + largest.size()), empty);
}

}  // namespace
