// The posts a thread gathers during a receive: kept one behind the other per
// target and message, and posted as one when the thread says so, when another
// target or message comes, or before the payload would pass its limit.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/thread_messages.h"
#include "net/gathered_posts.h"
#include "test_way.h"

namespace {

constexpr std::size_t kLimit = 8;

TestWay* g_first = nullptr;
TestWay* g_second = nullptr;
CBaseThread* First() { return g_first; }
CBaseThread* Second() { return g_second; }
CBaseThread* Gone() { return nullptr; }

class GatheredPostsTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    first_ = std::make_unique<TestWay>(0, "[FIRST]");
    second_ = std::make_unique<TestWay>(1, "[SECOND]");
    ASSERT_TRUE(first_->Start());
    ASSERT_TRUE(second_->Start());
    first_->RecordSimPilotPosts();
    second_->RecordSimPilotPosts();
    g_first = first_.get();
    g_second = second_.get();
  }
  void TearDown() override {
    PostGatheredPosts();
    g_first = g_second = nullptr;
    first_.reset();
    second_.reset();
    WayTest::TearDown();
  }
  static bool Gather(PostTarget target, const std::string& text, std::uint32_t id = THRDMSG_SIMPILOT) {
    return GatherPost(nullptr, target, id, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                      kLimit, "TEST");
  }
  static std::vector<std::string> Payloads(TestWay& way) {
    way.Drain();
    std::vector<std::string> payloads;
    for (const TestWay::SimPilotPost& post : way.SimPilotPosts()) payloads.push_back(post.payload);
    return payloads;
  }

  std::unique_ptr<TestWay> first_;
  std::unique_ptr<TestWay> second_;
};

TEST_F(GatheredPostsTest, PayloadsGoOutTogetherOncePostedAndNeverPastTheLimit) {
  EXPECT_TRUE(Gather(&First, "ab"));
  EXPECT_TRUE(Gather(&First, "cd"));
  EXPECT_TRUE(Gather(&First, "efg"));
  EXPECT_TRUE(Payloads(*first_).empty()) << "posted before the thread said so";
  // Nine bytes would pass the limit: the seven gathered go first.
  EXPECT_TRUE(Gather(&First, "hi"));
  EXPECT_EQ(Payloads(*first_), (std::vector<std::string>{"abcdefg"}));
  EXPECT_FALSE(Gather(&First, "123456789")) << "longer than the limit on its own";
  PostGatheredPosts();
  EXPECT_EQ(Payloads(*first_), (std::vector<std::string>{"abcdefg", "hi"}));
  PostGatheredPosts();
  EXPECT_EQ(Payloads(*first_).size(), 2u) << "nothing gathered, nothing posted";
}

TEST_F(GatheredPostsTest, AnotherTargetOrMessageTakesWhatWasGatheredOutFirst) {
  EXPECT_TRUE(Gather(&First, "ab"));
  EXPECT_TRUE(Gather(&Second, "cd"));
  EXPECT_EQ(Payloads(*first_), (std::vector<std::string>{"ab"}));
  EXPECT_TRUE(Gather(&Second, "ef", THRDMSG_SIMPILOT_ROUND + 0x100));
  EXPECT_EQ(Payloads(*second_), (std::vector<std::string>{"cd"}));
  // A target that is gone by the time of the post takes nothing.
  EXPECT_TRUE(Gather(&Gone, "gh"));
  PostGatheredPosts();
  EXPECT_EQ(Payloads(*first_).size(), 1u);
  EXPECT_EQ(Payloads(*second_).size(), 1u);
}

}  // namespace
