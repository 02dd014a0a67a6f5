// A stand-in for the X-Plane plug-in, for tests and the demo: TCP on
// 127.0.0.1 (ephemeral port by default; the client reaches it on its
// plug-in port through TK_PORTMAP), one client link at a time. Every frame
// the client sends is recorded; type 'k' frames are the client's XTK
// commands, by sub-code. By default the handshake record XTK_MSG_DLL_INFOS
// goes out as soon as a client links, as the plug-in does. Records, data sets,
// raw bytes and drops are sent on demand from any thread. Every wait is
// bounded; the server stops at the latest in its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "net/frame_hunter.h"
#include "testbed/frame_link_server.h"
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

  // On (the default): XTK_MSG_DLL_INFOS with these values as soon as a client links.
  void SetGreeting(bool send);
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

 private:
  void OnLinked(SOCKET s);
  void OnFrame(SOCKET s, const Frame& frame);

  mutable std::mutex mutex_;
  bool greet_ = true;
  plugin_link::DllInfos greeting_;
  std::size_t greetingsSent_ = 0;

  FrameLinkServer link_;  // last: its thread stops before the members above go
};
