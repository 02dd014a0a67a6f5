// The link side of the framed stand-ins (node, plug-in): TCP on 127.0.0.1,
// client links served by one thread that polls them all (the node takes many
// at once: each client's node way, and the extra links a tunnel opens; the
// plug-in one at a time). Every frame a client sends is hunted and recorded
// with the id of its link; frames go out on demand from any thread, to one
// link by id or to the newest link; a link can be dropped; a periodic tick
// runs per link. Two links can be spliced: from then on the bytes of each go
// to the other unread (a tunnel). The owner reacts through hooks that run on
// the serving thread. Every wait is bounded; Stop() (at the latest the
// destructor; owners whose hooks use their own members call it first) ends
// every link and joins the thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
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
  using LinkId = std::uint32_t;  // 1, 2, ... in accept order; 0 is none
  static constexpr std::size_t kMaxLinks = 128;
  static constexpr std::size_t kMaxRecordedFrames = 10000;
  static constexpr int kSendTimeoutMs = 5000;
  static constexpr std::size_t kMaxRecordedBytes = 8u << 20;
  // What a caller meets while `maxLinks` links are up.
  enum class WhenFull { Refused, Waits };

  struct Hooks {
    // Right after a link is accepted, before anything is read from it.
    std::function<void(LinkId, SOCKET)> linked;
    // For each frame a client sent, once it is recorded (never for a spliced link).
    std::function<void(LinkId, SOCKET, const Frame&)> frame;
    // Every tick interval while the link is up and not spliced.
    std::function<void(LinkId, SOCKET)> tick;
    // After a link ended and its end was logged.
    std::function<void(LinkId)> ended;
  };
  struct LinkFrame {
    LinkId link = 0;
    Frame frame;
  };
  // Thread-safe; called from the serving thread and from senders.
  using EventLog = std::function<void(std::string_view line)>;

  // port 0: an ephemeral one. Frames that announce a longer body end their link.
  FrameLinkServer(std::uint16_t port, std::uint32_t maxFrameBody, std::size_t maxLinks = kMaxLinks,
                  WhenFull whenFull = WhenFull::Refused);
  ~FrameLinkServer();
  FrameLinkServer(const FrameLinkServer&) = delete;
  FrameLinkServer& operator=(const FrameLinkServer&) = delete;

  // Starts the serving thread once; false when the port or the thread could not be had.
  bool Start(Hooks hooks);
  // Ends every link and joins the serving thread; no hook runs after it.
  void Stop();

  bool Ok() const { return listener_.Ok() && thread_.joinable(); }
  std::uint16_t Port() const { return listener_.Port(); }

  // 0 turns the tick off; a change starts a new interval on every link. Once
  // it returns, no tick of the old interval runs any more.
  void SetTickInterval(int milliseconds);
  void SetEventLog(EventLog log);
  void Log(std::string_view line) const;

  std::vector<Frame> Frames() const;
  std::vector<LinkFrame> LinkFrames() const;
  // Every byte the clients sent outside a tunnel, as it came (the first 8 MiB).
  std::vector<std::uint8_t> ReceivedBytes() const;
  std::size_t FrameCount() const;
  bool WaitForFrames(std::size_t count, int timeoutMs) const;
  // Frames of one type and sub-code received so far (all links).
  std::size_t CountOf(std::uint8_t type, std::uint8_t subCode) const;
  bool WaitForCountOf(std::uint8_t type, std::uint8_t subCode, std::size_t count, int timeoutMs) const;
  std::size_t LinksAccepted() const;
  // True once `count` links were accepted and one is up.
  bool WaitForLink(std::size_t count, int timeoutMs) const;
  bool Linked() const;
  std::size_t LinksUp() const;
  // True once exactly `count` links are up.
  bool WaitForLinksUp(std::size_t count, int timeoutMs) const;
  // True once no link is up.
  bool WaitForLinkEnd(int timeoutMs) const;
  std::size_t ProtocolErrors() const;
  // Bytes passed from one spliced link to the other.
  std::uint64_t BytesSpliced() const;

  // The newest link still up; 0 without one.
  LinkId NewestLink() const;
  bool SendTo(LinkId link, std::span<const std::uint8_t> bytes);
  bool SendFrameTo(LinkId link, std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {});
  // For hooks: a send on the link they were given, under the same lock as the others.
  bool SendOn(SOCKET s, std::span<const std::uint8_t> bytes);
  // To the newest link.
  bool SendRaw(std::span<const std::uint8_t> bytes) { return SendTo(NewestLink(), bytes); }
  bool SendFrame(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body = {}) {
    return SendFrameTo(NewestLink(), type, subCode, body);
  }
  // Resets a link (linger 0); false when it is not up.
  bool DropLink(LinkId link);
  bool DropLink() { return DropLink(NewestLink()); }
  // From the next bytes on, each link's bytes go to the other unread. For
  // the serving thread's hooks; false when either is not up or already spliced.
  bool Splice(LinkId first, LinkId second);

 private:
  struct Link {
    SOCKET socket = INVALID_SOCKET;
    FrameHunter hunter;
    LinkId partner = 0;
    tcp_io::Clock::time_point nextTick{};
  };
  enum class EndReason { ClientClosed, Dropped, ProtocolError, Stopped, Failed, PartnerEnded };
  static const char* EndText(EndReason reason);

  void Run();
  void Accept();
  // False once the link is to end, with the reason.
  bool Receive(LinkId id, Link& link, EndReason& reason);
  bool TakeFrames(LinkId id, Link& link);
  void EndLink(LinkId id, EndReason reason);
  void RunTicks();
  int TickInterval() const;

  // The link's number, for the log, where links can be up together.
  std::string Numbered(LinkId id) const;

  const std::uint32_t maxFrameBody_;
  const std::size_t maxLinks_;
  const WhenFull whenFull_;
  TcpListener listener_;
  WakeEvent wake_;
  Hooks hooks_;

  // Serving thread only.
  std::map<LinkId, Link> links_;
  int servedInterval_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  EventLog log_;
  int tickIntervalMs_ = 0;
  std::vector<LinkFrame> frames_;
  std::vector<std::uint8_t> receivedBytes_;
  std::size_t frameCount_ = 0;
  std::map<std::uint16_t, std::size_t> countByCode_;
  std::size_t linksAccepted_ = 0;
  std::size_t protocolErrors_ = 0;
  std::uint64_t bytesSpliced_ = 0;
  std::set<LinkId> up_;
  std::set<LinkId> dropRequests_;
  LinkId lastId_ = 0;
  bool stopping_ = false;

  std::mutex tickMutex_;  // held across the ticks and by SetTickInterval, before mutex_
  std::mutex sendMutex_;
  std::map<LinkId, SOCKET> sockets_;  // written and closed under sendMutex_
  std::thread thread_;
};

// The IPv4 address (network order) a link comes from; 0 when unknown.
std::uint32_t PeerAddressOf(SOCKET s);
// "127.0.0.1:54321", the far end of a link; "?" when unknown.
std::string PeerText(SOCKET s);
