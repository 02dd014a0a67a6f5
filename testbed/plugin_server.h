// A stand-in for the X-Plane plug-in, for tests and the demo: TCP on
// 127.0.0.1 (ephemeral port by default; the client reaches it on its
// plug-in port through TK_PORTMAP), one client link at a time. Every frame
// the client sends is recorded, and every byte as it came; type 'k' frames
// are the client's XTK commands, by sub-code. The handshake record
// XTK_MSG_DLL_INFOS goes out as soon as a client links (by default) or as the
// answer to its hello. Once the client acknowledged it, the four data sets of
// a scripted flight stream at a steady interval; a finished model scan is
// answered with the aircraft-loaded record, a model-slot request with the
// slot table, an AI add or remove with its callback (the AI aircraft are
// kept, moved by the refresh records and logged one line per event). Records, data sets, raw
// bytes, faults and drops are sent on demand from any thread. Every wait is
// bounded; the server stops at the latest in its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "net/frame_hunter.h"
#include "testbed/frame_link_server.h"
#include "testbed/plugin_ai.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_records.h"

class PluginServer {
 public:
  using EventLog = FrameLinkServer::EventLog;

  // One XTK record: its code (the frame's sub-code) and body.
  struct Record {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> body;
  };

  // port 0: an ephemeral one.
  explicit PluginServer(std::uint16_t port = 0);
  ~PluginServer();
  PluginServer(const PluginServer&) = delete;
  PluginServer& operator=(const PluginServer&) = delete;

  bool Ok() const { return link_.Ok(); }
  std::uint16_t Port() const { return link_.Port(); }
  // "55007=<port>", for TK_PORTMAP.
  std::string PortMapEntry() const;

  enum class Greeting { OnLink, OnHello, Never };
  // OnLink (the default): XTK_MSG_DLL_INFOS with these values as soon as a client links.
  void SetGreeting(bool send) { SetGreeting(send ? Greeting::OnLink : Greeting::Never); }
  void SetGreeting(Greeting when);
  void SetGreetingInfos(const plugin_link::DllInfos& infos);
  // One line per event: link, greeting, frame received, end.
  void SetEventLog(EventLog log) { link_.SetEventLog(std::move(log)); }

  // Frames received, in order (across links), whatever their type.
  std::vector<Frame> Frames() const { return link_.Frames(); }
  std::size_t FrameCount() const { return link_.FrameCount(); }
  bool WaitForFrames(std::size_t count, int timeoutMs) const { return link_.WaitForFrames(count, timeoutMs); }
  // The type 'k' frames among them.
  std::vector<Record> Records() const;
  // Records of one XTK code received so far.
  std::size_t RecordCount(std::uint8_t code) const { return link_.CountOf(plugin_link::kXtkRecordType, code); }
  bool WaitForRecord(std::uint8_t code, std::size_t count, int timeoutMs) const {
    return link_.WaitForCountOf(plugin_link::kXtkRecordType, code, count, timeoutMs);
  }
  std::size_t GreetingsSent() const;
  std::size_t LinksAccepted() const { return link_.LinksAccepted(); }
  bool WaitForLink(std::size_t count, int timeoutMs) const { return link_.WaitForLink(count, timeoutMs); }
  bool Linked() const { return link_.Linked(); }
  bool WaitForLinkEnd(int timeoutMs) const { return link_.WaitForLinkEnd(timeoutMs); }
  // A header announced more than the client may send: the link ended.
  std::size_t ProtocolErrors() const { return link_.ProtocolErrors(); }

  // Each send goes to the current link; false without one or on failure.
  bool SendRaw(std::span<const std::uint8_t> bytes) { return link_.SendRaw(bytes); }
  bool SendFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {}) {
    return link_.SendFrame(type, subCode, body);
  }
  bool SendRecord(std::uint8_t code, std::span<const std::uint8_t> body = {}) {
    return SendFrame(plugin_link::kXtkRecordType, code, body);
  }
  bool SendDllInfos(const plugin_link::DllInfos& infos);
  // Data set 1..4 (XTK_MSG_PLANE_DATASET1..4) with the caller's body, of any
  // length (a short one is a fault to inject); false for another index.
  bool SendDataSet(int index, std::span<const std::uint8_t> body);

  // Resets the current link (linger 0); the server then waits for the next.
  bool DropLink() { return link_.DropLink(); }

  // Every byte the client sent, as it came.
  std::vector<std::uint8_t> ReceivedBytes() const { return link_.ReceivedBytes(); }

  // ---- The scripted flight ----
  void SetFlight(const plugin_link::FlightScript& flight);
  // Milliseconds between two rounds of the four data sets once the client has
  // acknowledged the handshake (default 200); 0 streams nothing.
  void SetStreamInterval(int milliseconds);
  // Rounds sent on all links, and the last sample sent.
  std::uint64_t SamplesSent() const;
  plugin_link::FlightSample LastSample() const;
  bool WaitForSamples(std::uint64_t count, int timeoutMs) const;

  // ---- Answers ----
  // The titles of the model slots (slot 0 the user's aircraft) for the table
  // that answers XTK_CMD_GET_ACF_TABLE.
  void SetAcfTitles(std::vector<std::string> titles);
  // The user's aircraft, sent when the client reports its model scan.
  void SetAircraftTitle(std::string title);
  bool SendAircraftLoaded(std::string_view title);
  // The AI callbacks; a remove may come for a way the client never asked about.
  bool SendAddPeerCallback(std::uint16_t way, std::uint8_t result, std::uint8_t detail = 0);
  bool SendRemovePeerCallback(std::uint32_t way);
  // While held, a removal is done at once but its answer waits (a slow
  // plug-in); the release sends the answers held, in order. The number sent.
  void HoldRemovalAnswers(bool hold);
  std::size_t ReleaseRemovalAnswers();
  bool SendTraceText(std::string_view text);
  bool SendTraceRecord(std::uint8_t subCode, std::span<const std::uint8_t> body) {
    return SendFrame(plugin_link::kTraceRecordType, subCode, body);
  }

  // ---- AI aircraft ----
  // The aircraft the client created, moved and removed; SetRefuseAdds makes
  // the add callbacks say "not created" (result 0, detail kRefusedDetail).
  static constexpr std::uint8_t kRefusedDetail = 0x21;
  plugin_link::PluginAiTraffic& Ai() { return ai_; }
  const plugin_link::PluginAiTraffic& Ai() const { return ai_; }

  // ---- Faults ----
  enum class Fault {
    GarbageBeforeFrame,  // bytes without a sync word, then a second data set (code 2345)
    SplitSyncWord,       // a second data set (code 3456) whose sync word comes in two sends
    TruncatedBody,       // a second data set's header and 10 of its 28 bytes; the link then stays quiet
    OverlongHeader,      // a second data set's header announcing 100 bytes, then only a whole second data set
                         // (code 6666); the link then stays quiet
    ShortRecord,         // a second data set announcing and carrying 20 bytes (code 1111)
    SurplusRecord,       // a second data set of 40 bytes (code 5555 in its first 28)
    UnknownType,         // a frame of type 0x55
    UnknownCode,         // an XTK record of code 99
    LongTrace,           // a trace text of 0x5000 bytes
    OversizedBody,       // a header announcing more than the client reads (204,801 bytes)
  };
  // The transponder codes the faults carry, so a test sees which records were taken.
  static constexpr std::uint16_t kGarbageCode = 2345;
  static constexpr std::uint16_t kSplitCode = 3456;
  static constexpr std::uint16_t kShortCode = 1111;
  static constexpr std::uint16_t kSurplusCode = 5555;
  static constexpr std::uint16_t kInsideCode = 6666;
  bool InjectFault(Fault fault);

 private:
  void OnLinked(SOCKET s);
  void OnFrame(SOCKET s, const Frame& frame);
  void OnTick(SOCKET s);
  void SendGreeting(SOCKET s);
  bool SendRecordOn(SOCKET s, std::uint8_t code, std::span<const std::uint8_t> body);
  std::vector<std::uint8_t> DataSet2Frame(std::uint16_t code, std::size_t size) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Greeting greet_ = Greeting::OnLink;
  plugin_link::DllInfos greeting_;
  std::size_t greetingsSent_ = 0;
  plugin_link::FlightScript flight_ = plugin_link::DemoFlight();
  int streamIntervalMs_ = 200;
  std::uint64_t samplesSent_ = 0;
  plugin_link::FlightSample lastSample_;
  std::vector<std::string> acfTitles_;
  std::string aircraftTitle_ = "Cessna Skyhawk 172SP";
  bool holdRemovalAnswers_ = false;
  std::vector<std::uint32_t> heldRemovalAnswers_;
  // Held across a round of data sets and across a fault's sends, so that
  // neither cuts into the other.
  std::mutex sendOrder_;
  plugin_link::PluginAiTraffic ai_;

  FrameLinkServer link_;  // last: its thread stops before the members above go
};
