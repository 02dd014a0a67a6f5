// The FSUIPC client against the server stand-in in this process (its window
// on a thread of its own, found by FindWindowA like the real server): the
// request block, the version check, the answers and faults, the result texts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "sim/fsuipc_client.h"
#include "sim/fsuipc_request_block.h"
#include "support/klib_fixture.h"
#include "testbed/fsuipc_server.h"

namespace {

// No pause of the client's waits lasts longer than a test needs.
FsuipcTimings QuickTimings() {
  FsuipcTimings timings;
  timings.sendTimeoutMs = 50;
  timings.sendTries = 2;
  timings.retryPauseMs = 0;
  timings.openPauseMs = 0;
  return timings;
}

TEST(FsuipcResultTexts, EachCodeHasItsText) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "Okay"},
      {1, "Attempt to Open when already Open"},
      {2, "Cannot link to FSUIPC or WideClient"},
      {3, "Failed to Register common message with Windows"},
      {4, "Failed to create Atom for mapping filename"},
      {5, "Failed to create a file mapping object"},
      {6, "Failed to open a view to the file map"},
      {7, "Incorrect version of FSUIPC, or not FSUIPC"},
      {8, "Flight Simulator is not version requested"},
      {9, "Call cannot execute: Link not Open"},
      {10, "Call cannot execute: No requests accumulated"},
      {11, "IPC timed out all retries"},
      {12, "IPC sendmessage failed all retries"},
      {13, "IPC request contains bad data"},
      {14, "Maybe running on WideClient, but FS not running on Server, or wrong FSUIPC"},
      {15, "Read or Write request cannot be added, memory for Process is full"},
      {16, "Unknown error"},
      {-1, "Unknown error"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(CFSUIPC::ErrorText(code), text) << code;
}

TEST(FsuipcRequestBlock, RequestsAreRefusedPastTheLimit) {
  std::vector<std::uint8_t> memory(kFsuipcBlockSize, 0xEE);
  FsuipcRequestBlock block;
  block.Attach(memory);
  std::vector<std::uint8_t> target(kFsuipcRequestLimit);
  EXPECT_FALSE(block.QueueRead(0, target)) << "32,512 bytes and a header pass the limit";
  EXPECT_TRUE(block.Empty());
  std::vector<std::uint8_t> data(kFsuipcRequestLimit - kFsuipcWriteHeaderSize - kFsuipcReadHeaderSize);
  EXPECT_TRUE(block.QueueWrite(0x100, data));
  EXPECT_TRUE(block.QueueRead(0x200, std::span<std::uint8_t>{}));
  EXPECT_EQ(block.Used(), kFsuipcRequestLimit) << "a request ending on the limit fits";
  std::array<std::uint8_t, 1> one{};
  EXPECT_FALSE(block.QueueWrite(0x300, one));
  block.MarkEnd();
  EXPECT_EQ(memory[kFsuipcRequestLimit], 0);
  EXPECT_EQ(memory[kFsuipcRequestLimit + 3], 0) << "the end word follows the last request";
}

TEST(FsuipcRequestBlock, LayoutOfReadsAndWrites) {
  std::vector<std::uint8_t> memory(kFsuipcBlockSize, 0xEE);
  FsuipcRequestBlock block;
  block.Attach(memory);
  std::array<std::uint8_t, 2> target{};
  const std::array<std::uint8_t, 3> data = {7, 8, 9};
  ASSERT_TRUE(block.QueueRead(0x3304, target));
  ASSERT_TRUE(block.QueueWrite(0x1F80, data));
  block.MarkEnd();
  const std::vector<std::uint8_t> expected = {1, 0, 0, 0, 0x04, 0x33, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0,
                                              2, 0, 0, 0, 0x80, 0x1F, 0, 0, 3, 0, 0, 0, 7, 8, 9, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + static_cast<long>(expected.size())), expected);
}

TEST(FsuipcRequestBlock, ReadsAreCopiedBackOnlyAsQueued) {
  std::vector<std::uint8_t> memory(kFsuipcBlockSize, 0);
  FsuipcRequestBlock block;
  block.Attach(memory);
  std::array<std::uint8_t, 6> buffer = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  ASSERT_TRUE(block.QueueRead(0x10, std::span(buffer).subspan(2, 2)));
  memory[16] = 0x34;
  memory[17] = 0x12;
  memory[18] = 0x99;  // past the read: not the target's
  ASSERT_TRUE(block.CopyReadsBack());
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0xAA, 0xAA, 0x34, 0x12, 0xAA, 0xAA}));

  memory[8] = 4;  // the server says the read was longer
  buffer.fill(0xAA);
  EXPECT_FALSE(block.CopyReadsBack());
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
}

class FsuipcClientTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    link_.SetTimings(QuickTimings());
  }
  void TearDown() override {
    link_.Close();
    server_.Stop();
    KlibFixture::TearDown();
  }

  FsuipcServer server_;
  CFSUIPC link_;
};

TEST_F(FsuipcClientTest, WithoutServerTheLinkCannotOpen) {
  EXPECT_FALSE(link_.Open());
  EXPECT_EQ(link_.Result(), kFsuipcNoServer);
  EXPECT_FALSE(link_.IsOpen());
  std::array<std::uint8_t, 2> target{};
  EXPECT_FALSE(link_.Read(0x3304, target));
  EXPECT_EQ(link_.Result(), kFsuipcNotOpen);
  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcNotOpen);
}

TEST_F(FsuipcClientTest, OpensCheckingTheVersionsAndSaysItsOwn) {
  ASSERT_TRUE(server_.Start());
  ASSERT_TRUE(link_.Open()) << CFSUIPC::ErrorText(link_.Result());
  EXPECT_EQ(link_.Result(), kFsuipcOk);
  EXPECT_EQ(link_.ServerVersion(), FsuipcServer::kDefaultServerVersion);
  EXPECT_EQ(link_.SimulatorVersion(), FsuipcServer::kDefaultSimulatorVersion);
  EXPECT_EQ(server_.ClientLibraryVersion(), kFsuipcLibraryVersion);
  EXPECT_EQ(server_.Requests(), 1u);
  EXPECT_EQ(server_.LastBlockName().rfind("FsasmLib:IPC:", 0), 0u);
  EXPECT_EQ(link_.BlockName(), server_.LastBlockName());
  const std::string firstBlock = link_.BlockName();

  EXPECT_FALSE(link_.Open());
  EXPECT_EQ(link_.Result(), kFsuipcAlreadyOpen);
  EXPECT_TRUE(link_.IsOpen()) << "a second open leaves the link as it was";

  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcNothingQueued);

  link_.Close();
  ASSERT_TRUE(link_.Open()) << "again after a close: " << CFSUIPC::ErrorText(link_.Result());
  EXPECT_NE(link_.BlockName(), firstBlock) << "each link its own block";

  std::uint16_t slots = 0;
  EXPECT_TRUE(FsuipcReadShortAndProcess(link_, 0xF002, slots));
  EXPECT_EQ(slots, FsuipcServer::kDefaultSlotCount);
}

TEST_F(FsuipcClientTest, RefusedVersionsCloseTheLink) {
  struct Case {
    const char* window;
    std::uint32_t serverVersion;
    std::uint32_t simulatorVersion;
    int result;
  };
  const Case cases[] = {
      {"UIPCMAIN", 0x19980004, FsuipcServer::kDefaultSimulatorVersion, kFsuipcWrongVersion},
      {"FS98MAIN", 0x19980004, FsuipcServer::kDefaultSimulatorVersion, kFsuipcWideClientOnly},
      {"UIPCMAIN", FsuipcServer::kDefaultServerVersion, 0xFADD000C, kFsuipcWrongVersion},
      {"FS98MAIN", 0x19980005, 0xFADE0001, kFsuipcOk},
  };
  for (const Case& c : cases) {
    FsuipcServer server;
    server.SetServerVersion(c.serverVersion);
    server.SetSimulatorVersion(c.simulatorVersion);
    ASSERT_TRUE(server.Start(c.window));
    EXPECT_EQ(link_.Open(), c.result == kFsuipcOk) << c.window;
    EXPECT_EQ(link_.Result(), c.result) << c.window;
    EXPECT_EQ(link_.IsOpen(), c.result == kFsuipcOk);
    EXPECT_EQ(server.Requests(), c.result == kFsuipcOk ? 1u : 5u) << "five tries before giving up";
    EXPECT_EQ(server.ClientLibraryVersion(), kFsuipcLibraryVersion);
    link_.Close();
    server.Stop();
  }
}

TEST_F(FsuipcClientTest, QueuingPastTheBlockFails) {
  ASSERT_TRUE(server_.Start());
  ASSERT_TRUE(link_.Open());
  std::vector<std::uint8_t> data(32'512);
  EXPECT_FALSE(link_.Write(0x100, data));
  EXPECT_EQ(link_.Result(), 15);
  EXPECT_STREQ(CFSUIPC::ErrorText(link_.Result()), "Read or Write request cannot be added, memory for Process is full");
  EXPECT_FALSE(link_.Read(0x100, data));
  EXPECT_EQ(link_.Result(), 15);
}

TEST_F(FsuipcClientTest, ServerFaultsFailTheRequest) {
  ASSERT_TRUE(server_.Start());
  ASSERT_TRUE(link_.Open());

  server_.SetAnswer(0);
  std::array<std::uint8_t, 4> target = {0xAA, 0xAA, 0xAA, 0xAA};
  ASSERT_TRUE(link_.Read(0x3304, target));
  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcBadData);
  EXPECT_EQ(target, (std::array<std::uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));

  server_.SetAnswer(1);
  server_.SetReadSizeChange(+2);
  ASSERT_TRUE(link_.Read(0x3304, target));
  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcBadData);
  EXPECT_EQ(target, (std::array<std::uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA})) << "nothing copied past the read";

  server_.SetReadSizeChange(0);
  ASSERT_TRUE(link_.Read(0x3304, target));
  EXPECT_TRUE(link_.Process()) << "the block was reset after each failure";
  EXPECT_EQ(target, (std::array<std::uint8_t, 4>{0x00, 0x00, 0x30, 0x39}));

  server_.SetSilent(true);
  ASSERT_TRUE(link_.Read(0x3304, target));
  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcTimedOut);
  server_.SetSilent(false);

  server_.Stop();
  ASSERT_TRUE(link_.Read(0x3304, target));
  EXPECT_FALSE(link_.Process());
  EXPECT_EQ(link_.Result(), kFsuipcSendFailed) << "the window is gone";
}

TEST_F(FsuipcClientTest, ASilentServerEndsTheVersionCheckAtOnce) {
  ASSERT_TRUE(server_.Start());
  server_.SetSilent(true);
  EXPECT_FALSE(link_.Open());
  EXPECT_EQ(link_.Result(), kFsuipcTimedOut);
  EXPECT_FALSE(link_.IsOpen());
  server_.SetSilent(false);
}

TEST(FsuipcVersionText, DigitsAndLetter) {
  EXPECT_EQ(FsuipcVersionText(0x39300000), "3.930");
  EXPECT_EQ(FsuipcVersionText(0x36230002), "3.623b");
  EXPECT_EQ(FsuipcVersionText(0x19980005), "1.998e");
}

}  // namespace
