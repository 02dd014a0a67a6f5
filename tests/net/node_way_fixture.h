// The node way under test: every hook is recorded instead of acting on the
// program's windows, and calls can be run on the way's own thread. The
// fixture links it to the node stand-in over loopback.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/node_way.h"
#include "support/thread_calls.h"
#include "test_way.h"
#include "testbed/node_server.h"

class RecordingNodeWay : public CNodeWay {
 public:
  static constexpr std::uint32_t kRunCall = 0xAEF0;

  struct Line {
    int colour = 0;
    unsigned flags = 0;
    std::string text;
  };

  RecordingNodeWay() : CNodeWay(nullptr) {}

  template <typename Call>
  auto RunOnThread(Call call) -> decltype(call()) {
    auto result = calls_.Add(std::move(call));
    Post(nullptr, this, kRunCall, 0, 0, "TESTCALL");
    return result.get();
  }

  std::vector<Line> Lines();
  // A line holding this text was printed.
  bool Traced(const std::string& part);
  // The first line holding this text, or an empty line.
  Line Find(const std::string& part);
  std::vector<std::string> Actions();
  bool Did(const std::string& action);
  std::vector<std::uint32_t> Events();
  bool Posted(std::uint32_t code);
  std::vector<std::string> ProtocolErrors();
  std::vector<PrivateTextRecord> LongHaulTexts();
  std::vector<std::vector<std::uint8_t>> Voices();
  void ClearRecords();

  void SetOwnAircraft(const OwnAircraftReport& own);
  void SetFlightPlan(std::optional<FlightPlanRecordBytes> plan);
  void SetPeerWay(std::int32_t way, COrvSok* object);

 protected:
  DWORD HandleNodeMessage(const DMessage& message) override;
  void NodeTrace(int colourField, unsigned flags, const char* text) override;
  void PostUiEvent(std::uint32_t code) override;
  void NodeProtocolError(const char* line, const FrameHeader& header, const char* tag) override;
  OwnAircraftReport OwnAircraftForNode() const override;
  std::optional<FlightPlanRecordBytes> FlightPlanForNode() const override;
  void SearchNearestAirport() override { Act("nearest airport"); }
  void SetConnectionState(int state) override { Act("bitmap " + std::to_string(state)); }
  void ShowNodeCountdown(std::uint32_t seconds) override { Act("countdown " + std::to_string(seconds)); }
  void ShowMainWindow() override { Act("show main window"); }
  void ShowChat() override { Act("show chat"); }
  void EnableChat(bool enable) override { Act(enable ? "chat input on" : "chat input off"); }
  void CloseMainWindow() override { Act("close main window"); }
  void LeaveQuietly() override { Act("leave quietly"); }
  void Beep() override { Act("beep"); }
  void SetMainDialogText(int controlId, const char* text) override;
  void SetTextFormat(DWORD effects, COLORREF colour) override;
  void RemoveDelimiters(char first, char second) override;
  void RemoveDelimitedText(char first, char second) override;
  void DisplayLongHaulText(const PrivateTextRecord& record) override;
  void PlayReceivedVoice(std::span<const std::uint8_t> frame) override;
  COrvSok* PeerWayFor(std::int32_t way) const override;

 private:
  void Act(std::string action);

  ThreadCalls calls_;
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
  std::vector<std::string> actions_;
  std::vector<std::uint32_t> events_;
  std::vector<std::string> protocolErrors_;
  std::vector<PrivateTextRecord> longHaul_;
  std::vector<std::vector<std::uint8_t>> voices_;
  OwnAircraftReport own_;
  std::optional<FlightPlanRecordBytes> plan_;
  std::array<COrvSok*, kPeerWayCount> peerWays_{};
};

class NodeWayTest : public WayTest {
 protected:
  static constexpr int kWaitMs = 5000;

  void SetUp() override;
  void TearDown() override;

  void Post(std::uint32_t id, std::uint32_t param = 0, std::uint32_t word3 = 0);
  void Connect();
  // Connects and waits until the accepted acknowledgement was handled.
  void LogIn();
  // The frames the server got after the first `skip`, once there are `count` more.
  std::vector<Frame> FramesAfter(std::size_t skip, std::size_t count);
  // The link is alive and every frame the server sent before was handled.
  void Settle();
  bool WaitTraced(const std::string& part);
  bool WaitDid(const std::string& action);
  // Frames the server got of this type (and sub-code, when given).
  std::vector<Frame> FramesOfType(std::uint8_t type, int subCode = -1);
  void SetVerbose(bool on);

  std::unique_ptr<NodeServer> server_;
  std::unique_ptr<RecordingNodeWay> way_;
};
