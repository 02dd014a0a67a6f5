// The framed stand-ins' link side with many clients at once: frames recorded
// with their link, sends and drops by link, the newest link, a full table
// (refusing or keeping the caller waiting), ticks per link. Over real
// loopback sockets.
#include "testbed/frame_link_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "net/frame_codes.h"
#include "support/frame_bytes.h"
#include "testbed/loopback_peer.h"

namespace {

constexpr int kWaitMs = 20'000;
constexpr int kQuietMs = 200;

// What the hooks saw, waited for by the test.
struct Seen {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<FrameLinkServer::LinkId> ended;
  std::map<FrameLinkServer::LinkId, int> ticks;

  FrameLinkServer::Hooks Hooks() {
    FrameLinkServer::Hooks hooks;
    hooks.ended = [this](FrameLinkServer::LinkId id) {
      std::lock_guard lock(mutex);
      ended.push_back(id);
      changed.notify_all();
    };
    hooks.tick = [this](FrameLinkServer::LinkId id, SOCKET) {
      std::lock_guard lock(mutex);
      ++ticks[id];
      changed.notify_all();
    };
    return hooks;
  }
  template <typename Predicate>
  bool WaitFor(Predicate done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), done);
  }
  bool Ended(FrameLinkServer::LinkId id) { return std::find(ended.begin(), ended.end(), id) != ended.end(); }
};

TEST(FrameLinkServer, EachLinkIsServedAndAddressedOnItsOwn) {
  Seen seen;
  FrameLinkServer links(0, 1024);
  ASSERT_TRUE(links.Start(seen.Hooks()));
  EXPECT_EQ(links.NewestLink(), 0u);

  std::array<LoopbackClient, 3> clients;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    ASSERT_TRUE(clients[i].Connect(links.Port()));
    ASSERT_TRUE(links.WaitForLink(i + 1, kWaitMs));
  }
  EXPECT_EQ(links.LinksUp(), 3u);
  EXPECT_EQ(links.NewestLink(), 3u);

  // Frames come in with the link they came on, whatever the order.
  ASSERT_TRUE(clients[2].Send(AsString(Header(kNcsMsgHeaderOnly, 3, 0, 0))));
  ASSERT_TRUE(links.WaitForFrames(1, kWaitMs));
  ASSERT_TRUE(clients[0].Send(AsString(Header(kNcsMsgHeaderOnly, 1, 0, 0))));
  ASSERT_TRUE(links.WaitForFrames(2, kWaitMs));
  const std::vector<FrameLinkServer::LinkFrame> frames = links.LinkFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].link, 3u);
  EXPECT_EQ(frames[0].frame.header.subCode, 3);
  EXPECT_EQ(frames[1].link, 1u);
  EXPECT_EQ(links.CountOf(kNcsMsgHeaderOnly, 1), 1u);

  // A send reaches its link only; the plain send goes to the newest.
  ASSERT_TRUE(links.SendFrameTo(2, kNcsMsgHeaderOnly, 22));
  EXPECT_EQ(AsBytes(clients[1].Receive(12, kWaitMs)), Header(kNcsMsgHeaderOnly, 22, 0, 0));
  ASSERT_TRUE(links.SendFrame(kNcsMsgHeaderOnly, 33));
  EXPECT_EQ(AsBytes(clients[2].Receive(12, kWaitMs)), Header(kNcsMsgHeaderOnly, 33, 0, 0));
  EXPECT_TRUE(clients[0].Receive(1, kQuietMs).empty());
  EXPECT_FALSE(links.SendFrameTo(9, kNcsMsgHeaderOnly, 0));

  // A drop ends its link only; the newest is then the newest still up.
  ASSERT_TRUE(links.DropLink(3));
  EXPECT_TRUE(clients[2].Receive(1, kWaitMs).empty());
  EXPECT_TRUE(clients[2].PeerClosed());
  ASSERT_TRUE(links.WaitForLinksUp(2, kWaitMs));
  ASSERT_TRUE(seen.WaitFor([&] { return seen.Ended(3); }));
  EXPECT_TRUE(clients[0].Receive(1, kQuietMs).empty());
  EXPECT_FALSE(clients[0].PeerClosed());
  EXPECT_EQ(links.NewestLink(), 2u);
  EXPECT_FALSE(links.DropLink(3));

  clients[0].Close();
  clients[1].Close();
  ASSERT_TRUE(links.WaitForLinkEnd(kWaitMs));
  std::lock_guard lock(seen.mutex);
  std::sort(seen.ended.begin(), seen.ended.end());
  EXPECT_EQ(seen.ended, (std::vector<FrameLinkServer::LinkId>{1, 2, 3}));
}

TEST(FrameLinkServer, AFullTableRefusesTheNextCallerUntilALinkEnds) {
  Seen seen;
  FrameLinkServer links(0, 1024);
  ASSERT_TRUE(links.Start(seen.Hooks()));
  std::vector<std::unique_ptr<LoopbackClient>> clients;
  for (std::size_t i = 0; i < FrameLinkServer::kMaxLinks; ++i) {
    clients.push_back(std::make_unique<LoopbackClient>());
    ASSERT_TRUE(clients.back()->Connect(links.Port()));
  }
  ASSERT_TRUE(links.WaitForLink(FrameLinkServer::kMaxLinks, kWaitMs));
  LoopbackClient refused;
  ASSERT_TRUE(refused.Connect(links.Port()));
  EXPECT_TRUE(refused.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(refused.PeerClosed());
  EXPECT_EQ(links.LinksAccepted(), FrameLinkServer::kMaxLinks);

  clients.front()->Close();
  ASSERT_TRUE(links.WaitForLinksUp(FrameLinkServer::kMaxLinks - 1, kWaitMs));
  LoopbackClient next;
  ASSERT_TRUE(next.Connect(links.Port()));
  ASSERT_TRUE(links.WaitForLink(FrameLinkServer::kMaxLinks + 1, kWaitMs));
  EXPECT_EQ(links.LinksUp(), FrameLinkServer::kMaxLinks);
}

TEST(FrameLinkServer, OneLinkAtATimeKeepsTheNextCallerWaitingUntilTheLinkEnds) {
  Seen seen;
  FrameLinkServer links(0, 1024, 1, FrameLinkServer::WhenFull::Waits);
  ASSERT_TRUE(links.Start(seen.Hooks()));
  LoopbackClient first;
  ASSERT_TRUE(first.Connect(links.Port()));
  ASSERT_TRUE(links.WaitForLink(1, kWaitMs));
  LoopbackClient waiting;
  ASSERT_TRUE(waiting.Connect(links.Port()));
  ASSERT_TRUE(waiting.Send(AsString(Header(kNcsMsgHeaderOnly, 2, 0, 0))));
  // The first link is served on; the caller behind it is neither accepted nor refused.
  ASSERT_TRUE(first.Send(AsString(Header(kNcsMsgHeaderOnly, 1, 0, 0))));
  ASSERT_TRUE(links.WaitForFrames(1, kWaitMs));
  EXPECT_EQ(links.LinksAccepted(), 1u);

  first.Close();
  ASSERT_TRUE(links.WaitForLink(2, kWaitMs));
  ASSERT_TRUE(links.WaitForFrames(2, kWaitMs));
  const std::vector<FrameLinkServer::LinkFrame> frames = links.LinkFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].link, 2u);
  EXPECT_EQ(frames[1].frame.header.subCode, 2);
  // Every byte outside a tunnel is kept, in the order it was read.
  const std::vector<std::uint8_t> expected = [] {
    std::vector<std::uint8_t> both = Header(kNcsMsgHeaderOnly, 1, 0, 0);
    const std::vector<std::uint8_t> second = Header(kNcsMsgHeaderOnly, 2, 0, 0);
    both.insert(both.end(), second.begin(), second.end());
    return both;
  }();
  EXPECT_EQ(links.ReceivedBytes(), expected);
}

TEST(FrameLinkServer, EveryLinkHasItsOwnTicks) {
  Seen seen;
  FrameLinkServer links(0, 1024);
  ASSERT_TRUE(links.Start(seen.Hooks()));
  LoopbackClient first;
  LoopbackClient second;
  ASSERT_TRUE(first.Connect(links.Port()));
  ASSERT_TRUE(second.Connect(links.Port()));
  ASSERT_TRUE(links.WaitForLink(2, kWaitMs));
  links.SetTickInterval(10);
  EXPECT_TRUE(seen.WaitFor([&] { return seen.ticks[1] >= 3 && seen.ticks[2] >= 3; }));
  // Once turned off, no tick follows: a later event finds the count unchanged.
  links.SetTickInterval(0);
  std::map<FrameLinkServer::LinkId, int> stopped;
  {
    std::lock_guard lock(seen.mutex);
    stopped = seen.ticks;
  }
  first.Close();
  ASSERT_TRUE(seen.WaitFor([&] { return seen.Ended(1); }));
  std::lock_guard lock(seen.mutex);
  EXPECT_EQ(seen.ticks, stopped);
}

}  // namespace
