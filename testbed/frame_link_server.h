// The link side shared by the framed stand-ins (node, plug-in): TCP on
// 127.0.0.1, one client link at a time, every frame the client sends hunted
// and recorded, frames sent on demand from any thread, the link dropped on
// demand, and a periodic tick while linked. The owner reacts through hooks
// that run on the serving thread. Every wait is bounded; the server stops at
// the latest in its destructor (owners whose hooks use their own members
// call Stop() first).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/frame_hunter.h"
#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

class FrameLinkServer {
 public:
  static constexpr std::size_t kMaxRecordedFrames = 10000;
  static constexpr int kSendTimeoutMs = 5000;
  static constexpr std::size_t kMaxRecordedBytes = 8u << 20;

  struct Hooks {
    // Right after a link is accepted, before anything is read from it.
    std::function<void(SOCKET)> linked;
    // For each frame the client sent, once it is recorded.
    std::function<void(SOCKET, const Frame&)> frame;
    // Every tick interval while linked (see SetTickInterval).
    std::function<void(SOCKET)> tick;
    // After a link ended and its end was logged.
    std::function<void()> ended;
  };
  // One line that describes an event of the link; called from the serving
  // thread and from the threads that send, so it must be thread-safe.
  using EventLog = std::function<void(std::string_view line)>;

  // port 0: an ephemeral one. Frames that announce a longer body end the link.
  FrameLinkServer(std::uint16_t port, std::uint32_t maxFrameBody);
  ~FrameLinkServer();
  FrameLinkServer(const FrameLinkServer&) = delete;
  FrameLinkServer& operator=(const FrameLinkServer&) = delete;

  // Starts the serving thread once; false when the port or the thread could not be had.
  bool Start(Hooks hooks);
  // Ends the current link and joins the serving thread; no hook runs after it.
  void Stop();

  bool Ok() const { return listener_.Ok() && thread_.joinable(); }
  std::uint16_t Port() const { return listener_.Port(); }

  // 0 (the default) turns the tick off. A change starts a new interval; once
  // it returns, no tick of the old interval runs any more.
  void SetTickInterval(int milliseconds);
  void SetEventLog(EventLog log);
  void Log(std::string_view line) const;

  // Frames received, in order (across links).
  std::vector<Frame> Frames() const;
  // Every byte the client sent, as it came (across links; the first 8 MiB).
  std::vector<std::uint8_t> ReceivedBytes() const;
  std::size_t FrameCount() const;
  bool WaitForFrames(std::size_t count, int timeoutMs) const;
  std::size_t LinksAccepted() const;
  // True once `count` links were accepted and one is up.
  bool WaitForLink(std::size_t count, int timeoutMs) const;
  bool Linked() const;
  // True once no link is up (the client closed, or a drop).
  bool WaitForLinkEnd(int timeoutMs) const;
  // The frame hunter refused a header (a body past its bound).
  std::size_t ProtocolErrors() const;
  // Frames of one type and sub-code received so far (across links).
  std::size_t CountOf(std::uint8_t type, std::uint8_t subCode) const;
  bool WaitForCountOf(std::uint8_t type, std::uint8_t subCode, std::size_t count, int timeoutMs) const;

  // Each send goes to the current link; false without one or on failure.
  bool SendRaw(std::span<const std::uint8_t> bytes);
  bool SendFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {});
  // For hooks: a send on the link they were given, under the same lock as the others.
  bool SendOn(SOCKET s, std::span<const std::uint8_t> bytes);

  // Resets the current link (linger 0); the server then waits for the next.
  bool DropLink();

 private:
  enum class EndReason { ClientClosed, Dropped, ProtocolError, Stopped, Failed };
  static const char* EndText(EndReason reason);

  void Run();
  void Serve(SOCKET s);
  // Handles the frames found so far; false once the link is to end.
  bool TakeFrames(SOCKET s, FrameHunter& hunter);
  void EndLink(SOCKET s, EndReason reason);
  int TickInterval() const;

  const std::uint32_t maxFrameBody_;
  TcpListener listener_;
  WakeEvent wake_;  // stop or drop; cleared by the serving thread
  Hooks hooks_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  EventLog log_;
  int tickIntervalMs_ = 0;
  std::vector<Frame> frames_;
  std::vector<std::uint8_t> receivedBytes_;
  std::size_t frameCount_ = 0;
  std::map<std::uint16_t, std::size_t> countByCode_;  // type << 8 | sub-code
  std::size_t linksAccepted_ = 0;
  std::size_t protocolErrors_ = 0;
  bool linked_ = false;
  bool dropRequested_ = false;
  bool stopping_ = false;

  std::mutex tickMutex_;  // held across a tick and by SetTickInterval, before mutex_
  std::mutex sendMutex_;
  SOCKET link_ = INVALID_SOCKET;  // written and closed under sendMutex_
  std::thread thread_;
};

// "127.0.0.1:54321", the far end of a link; "?" when unknown.
std::string PeerText(SOCKET s);
