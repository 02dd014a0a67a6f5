// The connection object: one object and one worker thread per way (peer ways
// 0..49, the node way, the web-task way, the simulator link). Only the way's
// own thread touches its socket; other threads post it messages and write its
// WayRecord under WayTableLock before they post.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/base_socket.h"
#include "net/addon_link.h"
#include "net/frame_format.h"
#include "net/frame_hunter.h"
#include "net/way_ids.h"
#include "net/controller_link.h"
#include "net/pilot_link.h"
#include "net/way_record.h"

inline constexpr std::size_t kWayChunkSize = 204'800;
inline constexpr DWORD kWayRxRingSize = 215'040;
inline constexpr DWORD kWayTxRingSize = 102'400;
inline constexpr DWORD kWaySoRcvBuf = 98'304;
inline constexpr DWORD kWaySoSndBuf = 8'192;
inline constexpr std::uint32_t kDisconnectionTextPiece = 10'240;
inline constexpr std::size_t kWayTextLineSize = 4'096;
inline constexpr std::size_t kWayHostTextSize = 64;
inline constexpr std::size_t kTunnelBodySize = 48;
inline constexpr std::size_t kNeighbourLinkSize = 32;
// The longest session record a pilot way sends.
inline constexpr std::size_t kSimPacketLimit = 1'024;
inline constexpr std::uint16_t kDisconnectionSleepSeconds = 3;
// The wait while the receive ring is full (only this thread drains it).
inline constexpr int kWayIdleWaitMs = 50;
inline constexpr DWORD kProtocolErrorPauseMs = 1'000;
inline constexpr DWORD kDisconnectionPauseMs = 500;
// The loss reason of a link whose frame body did not follow its header in time.
inline constexpr char kBodyTimeoutReason[] = "WID_1005";

// Exit flags of the loop.
inline constexpr DWORD kWayExitStopped = 0x1;
inline constexpr DWORD kWayExitEnded = 0x4;

// Logged-in bits of a way.
inline constexpr DWORD kWayLoggedIn = 0x1;
inline constexpr DWORD kWayLoggedInPeer = 0x2;

struct SimulatorPairOffsets {
  double latitude = 0.0;
  double longitude = 0.0;
  float altitude = 0.0F;
  float heading = 0.0F;
  std::uint32_t lookups = 0;
};

// Base-from-member: the chunk buffer exists before CBaseSoc is given it.
struct WayChunkStorage {
  WayChunkStorage() : chunk(kWayChunkSize) {}
  std::vector<std::uint8_t> chunk;
};

// Two address texts name the same host only when they are equal (never a
// substring test: 10.1.2.3 is not 10.1.2.30); an empty text names none.
bool SameHostAddress(std::string_view a, std::string_view b);

struct PilotLoginRecord;
struct PeerFix;

// Where a peer's position lies from the own aircraft.
struct PeerRange {
  double metres = 0.0;
  double bearingDegrees = 0.0;
};

class COrvSok : private WayChunkStorage, public CBaseSoc {
 public:
  // Pauses of the error paths; a test replaces it so that nothing sleeps for real.
  using PauseFunction = void (*)(DWORD milliseconds);

  COrvSok(void* ownerSlot, std::int32_t wayId, const char* name, DWORD flags);
  ~COrvSok() override;

  DWORD ProcessMessage(const DMessage& message) override;
  DWORD VTFX(DWORD argument) override;
  void OnIdle() override;
  DWORD ProcessReceivedBytes() override;
  void ThreadTaskEachSecond() override;

  void ResetWay(const char* callerTag);
  void OnDisconnection(const char* reason);

  // Connect made by this way (a call accepted from the listener is checked
  // against the trusted addresses instead).
  std::int32_t ConnectWay(const char* host, WORD port);
  std::int32_t AcceptCall(SOCKET listening);

  // ---- Sending, into the send ring (the idle step flushes it) ----
  // Sync word, header (its length set from the body), body; 1 when all went into the ring.
  std::int32_t SendFrame(FrameHeader header, std::span<const std::uint8_t> body);
  // A compressed record: 1 sent, else the codec's negative result and nothing sent.
  std::int32_t SendCompressedRecord(FrameHeader header, std::span<const std::uint8_t> record);
  std::int32_t SendTextOnAir();
  std::int32_t SendTextPrivate();

  // ---- The pilot link (pilot_way_*.cpp) ----
  // Way thread: one NCSMSG_PILOT frame with the body of its sub-code (value:
  // the cancel reason or the changes value; data: a packet, at most 1,024
  // bytes). 1 written, 0 the link is down, negative: refused or not packed.
  // From another thread nothing is written: the frame is posted to the way.
  std::int32_t SendToPilot(std::uint8_t subCode, std::uint32_t value = 0, std::span<const std::uint8_t> data = {});
  // Any thread: asks the way to write a header-only or value frame itself.
  std::int32_t PostToPilot(std::uint8_t subCode, std::uint32_t value = 0);
  DWORD PilotWayProcessMessage(const DMessage& message);
  // 1 served, 0 the link was closed.
  DWORD ProcessPilotFrame(const Frame& frame);
  // The admission of the peer (sub-code NCSUB_LOGIN or NCSUB_LOGIN_ACK).
  std::int32_t OnPeerAdded(std::uint8_t subCode);
  void CancelPeerLink();
  void OnPilotOutOfRange(std::uint8_t subCode, std::span<const std::uint8_t> body);
  void OnPilotDropped();
  void MarkPeerLeft();
  void OnPilotInRange();
  // The simulator created the peer's AI aircraft: the login exchange goes on.
  void OnPeerObjectCreated();
  // ---- The peer's position records (pilot_way_position.cpp) ----
  // The pair offsets for the peer's simulator, from the cross-simulator
  // table; the request to look them up again is then settled.
  void UpdateSimPairOffsets();
  bool PairOffsetsDue() const { return pairOffsets_.lookups != 0; }
  // Keeps the distance and bearing of a converted position in the record;
  // more than 20 positions beyond 90 NM cancel the link (reason 3). True
  // when the link was cancelled.
  bool CancelLinkOnPacketError(const PeerFix& fix);
  // Its three steps, for a caller that holds the lock once per record: the
  // range from the own aircraft (without the lock), the record's range and
  // count (within the caller's hold of WayTableLock; true when the link is to
  // be cancelled), and the cancel (after the lock).
  PeerRange RangeFromOwnAircraft(const PeerFix& fix) const;
  bool KeepPositionRangeLocked(const PeerRange& range);
  void CancelForPositionsOutOfRange();
  // The own state record to this peer, in his family's layout.
  void SendPlanePosition();
  // The own identity record to this peer, through the way's own queue.
  void SendMyIdentity(const char* callerTag);
  // Way thread (tests read it once the way is idle).
  const PilotLinkState& PilotLink() const { return pilot_; }
  // Way thread: the way is serving the frames of one receive; what its thread
  // gathered meanwhile (net/gathered_posts.h) is posted when the pass ends.
  bool InReceivePass() const { return receivePassDepth_ != 0; }

  // ---- The controller link (controller_way_*.cpp) ----
  // Way thread: one NCSMSG_ATC frame with the body of its sub-code (value:
  // the item mask of the changed items, one frame per item; data: a position
  // report's 48 bytes, else the own one is built). 1 written, 0 the link is
  // down or nothing to send, negative: refused or not packed.
  std::int32_t SendToAtc(std::uint8_t subCode, std::uint32_t value = 0, std::span<const std::uint8_t> data = {});
  DWORD AtcWayProcessMessage(const DMessage& message);
  // 1 served, 0 the link was closed.
  DWORD ProcessAtcFrame(const Frame& frame);
  // The login just read (sub-code NCSUB_LOGIN or NCSUB_LOGIN_ACK): 1 taken, 0 refused.
  std::int32_t OnAtcLogin(std::uint8_t subCode);
  void OnAtcInRange(const WayRecord& record);
  void OnAtcOutOfRange(std::uint8_t subCode, std::span<const std::uint8_t> body);
  void OnAtcNewAtis(const AtisRecord& atis);
  void OnAtcLocalWeather(const WeatherRecord& weather);
  void OnFlightStrip(const FlightStrip& strip);
  void OnFlightPlanAmended(const AmendedFlightPlan& packet);
  void OnAtcDropped();
  const ControllerLinkState& ControllerLink() const { return atc_; }

  // ---- The add-on link (addon_way_*.cpp) ----
  // 1 served, 0 the link was closed.
  DWORD ProcessAddonFrame(const Frame& frame);
  // Sync word, header and body of one add-on frame, sent whole (callsign:
  // what a DS_CMD_FLIGHT_DYNAMICS request named). 1 sent, 0 nothing sent or
  // the link is down, negative: refused.
  std::int32_t SendAddonCommand(std::uint8_t code, std::uint8_t subCode, std::string_view callsign = {});
  // The peer's address checked: a public one closes the link (0), else the
  // way and its record are marked local and the address kept (1).
  DWORD ApplyAddonAddressRule(const FrameHeader& header, std::uint32_t addressNetOrder);
  // Way thread (tests read it once the way is idle).
  const AddonLinkState& AddonLink() const { return addon_; }

  // Any thread (the Listener): hands the way a call already accepted from the
  // listening socket, for the way to take on its own thread, and waits for its
  // answer: 1 taken, -1 the way failed to take it (it cleared its record), 0
  // not taken (no answer in time, or the way could not be told). The descriptor belongs to
  // the way once handed; a call the way has not taken when the wait ends is
  // taken back and closed here, so that no descriptor is used after its close.
  std::int32_t HandAcceptedCall(SOCKET call, DWORD timeoutMs);

  // Any thread: AllocatePeerWay wakes a sleeping free way. It posts nothing
  // (its caller holds WayTableLock): the way takes the allocation before the
  // next message it serves.
  void WakeForAllocation();

  // ---- Idle wait (the way's own thread) ----
  // A deadline (GetTickCount time) that must end an idle wait, for a step that
  // times out between bytes; 0 clears it. Without one an idle way waits for a
  // byte, a post or the next second.
  void SetIdleDeadline(DWORD tickMs) { idleDeadline_ = tickMs; }
  // The wait of one idle pass in milliseconds: 0 after work, with bytes to send,
  // when a new second is due or when the deadline has passed; -1 for no limit.
  int IdleWaitMs() const;

  // ---- State ----
  WayRecord* Record() const { return record_; }
  char PeerKind() const { return peerKind_.load(std::memory_order_acquire); }
  void SetPeerKind(char kind) { peerKind_.store(kind, std::memory_order_release); }
  std::int32_t SimObjectId() const { return simObjectId_; }
  bool TextLineMode() const { return textLineMode_; }
  DWORD WebTaskCode() const { return webTaskCode_; }
  std::uint32_t SecondsSnapshot() const { return secondsSnapshot_; }
  std::uint32_t SimLinkSeconds() const { return simLinkSeconds_; }
  // Any thread (the session's leave reads them).
  DWORD LoggedInBits() const { return loggedIn_.load(std::memory_order_acquire); }
  void SetLoggedInBits(DWORD bits) { loggedIn_.store(bits, std::memory_order_release); }
  DWORD ExitFlags() const { return exitFlags_.load(); }
  bool AcceptedCall() const { return accepted_; }
  const SimulatorPairOffsets& PairOffsets() const { return pairOffsets_; }
  const FrameHunter& Hunter() const { return hunter_; }
  const FrameHeader& ReceivedHeader() const { return receivedHeader_; }
  // The way's own thread only.
  const char* HostText() const { return hostText_.data(); }
  // Any thread: the host and port this way last connected to.
  std::string ConnectedHost() const;
  WORD ConnectedPort() const { return connectedPort_.load(std::memory_order_acquire); }
  const char* LastSenderText() const { return lastSenderText_.data(); }
  const std::array<std::uint8_t, kTunnelBodySize>& TunnelBody() const { return tunnelBody_; }
  const char* PeerName() const { return peerName_.data(); }
  // The way's passes that waited (for tests of the idle cost).
  std::uint64_t WaitingPasses() const { return waitingPasses_.load(); }
  std::uint64_t Passes() const { return passes_.load(); }
  // Any thread: a frame's body is awaited behind its header; the frames
  // whose body did not follow within the read limit.
  bool BodyAwaited() const { return bodyAwaited_.load(std::memory_order_acquire); }
  std::uint64_t LateBodies() const { return lateBodies_.load(std::memory_order_relaxed); }

  static void SetPauseFunction(PauseFunction pause);
  static PauseFunction CurrentPauseFunction();

 protected:
  // ---- Hooks of the way kinds: non-zero when handled ----
  virtual DWORD HandleSimLinkMessage(const DMessage&) { return 0; }
  virtual DWORD HandleNodeMessage(const DMessage&) { return 0; }
  virtual DWORD HandlePilotMessage(const DMessage& message) { return PilotWayProcessMessage(message); }
  virtual DWORD HandleControllerMessage(const DMessage& message) { return AtcWayProcessMessage(message); }
  // THRDMSG_SIMPILOT: the session's records (sub-codes 83 and 84) go out to
  // a pilot once he is admitted (orv_sok_sim_packets.cpp); the rest goes to
  // the handler the simulator side registered (net/sim_pilot_hook.h).
  virtual DWORD HandleSimPilotMessage(const DMessage& message);
  // A post from another thread that finds the queue full never waits without
  // bound: a record that the next one of its kind supersedes is dropped; any
  // other message waits kBoundedPostWaitMs and, still without room, the link
  // ends by the loss path, so that nothing (a removal, a logout) is lost in
  // silence. Once that loss is asked, posts are refused at once.
  FullQueueAnswer WhenQueueFull(std::uint32_t id, std::uint32_t param,
                                std::span<const std::uint8_t> payload) const override;
  void QueueStayedFull(std::uint32_t id, const char* callerTag) override;
  // The session's own position and state records (THRDMSG_SIMPILOT 83 and 84,
  // and the rounds that carry them); a way kind adds its own.
  virtual bool SupersededRecord(std::uint32_t id, std::uint32_t param, std::span<const std::uint8_t> payload) const;
  virtual DWORD RunWebTask(const DMessage&) { return 0; }
  // Text-line mode: consumes the receive ring; non-zero when it used bytes.
  virtual DWORD FeedTextLines();
  // Frame handlers by way kind: 1 served, 0 the link was closed.
  virtual DWORD HandleSimLinkFrame(const Frame&) { return 1; }
  virtual DWORD HandlePilotFrame(const Frame& frame) { return ProcessPilotFrame(frame); }
  virtual DWORD HandleControllerFrame(const Frame& frame) { return ProcessAtcFrame(frame); }
  virtual DWORD HandleAddonFrame(const Frame& frame) { return ProcessAddonFrame(frame); }
  virtual void PilotTaskEachSecond();
  // Every line the add-on link prints.
  virtual void AddonText(const char* text);
  void AddonTextf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  virtual void ResetPeerState();
  // ---- Hooks of the pilot link: the defaults act on the program ----
  // Every line the pilot link prints (colour field 17..29; kPilot* flags).
  virtual void PilotText(int colourField, unsigned flags, const char* text);
  // The login this client sends to a pilot, as things stand.
  virtual PilotLoginRecord BuildPilotLogin() const;
  virtual bool SessionOpen() const;
  virtual void PlayInRangeSound();
  void PilotTextf(int colourField, unsigned flags, const char* format, ...) __attribute__((format(printf, 4, 5)));
  void SetPeerAdded(bool added) { pilot_.peerAdded = added; }
  virtual std::string PilotCallsign() const;
  // Where a neighbour link starts from: the node way, the own public address
  // learnt from the web page, the NCS server's LAN address setting.
  virtual const COrvSok* NodeWay() const;
  virtual std::string OwnPublicAddress() const;
  virtual std::string LanAddressSetting() const;

  // ---- The node frame handler (orv_sok_node_frames.cpp) ----
  // The node way's frames, and those of every way whose peer kind is not yet
  // known: the login gate, then the test and text-style types; the rest goes
  // to HandleNodeOrder. 1 served, 0 the link was closed.
  virtual DWORD HandleNodeFrame(const Frame& frame);
  // What only the node orders: on another way refused as the gate refuses; an
  // unknown type is a protocol error (SYSERR_4900).
  virtual DWORD HandleNodeOrder(const Frame& frame);
  // Every line the node frames print (colour: see kNodeHiddenColour; flags kNode*).
  virtual void NodeTrace(int colourField, unsigned flags, const char* text);
  // SYSERR line, header dump, pause, receive ring emptied, disconnection.
  virtual void NodeProtocolError(const char* line, const FrameHeader& header, const char* tag);
  // The node's text formatting of the text window.
  virtual void SetTextFormat(DWORD effects, COLORREF colour);
  virtual void RemoveDelimiters(char first, char second);
  virtual void RemoveDelimitedText(char first, char second);
  bool Verbose() const;
  void NodeTracef(int colourField, unsigned flags, const char* format, ...) __attribute__((format(printf, 4, 5)));
  // A body shorter than its record closes the link; false then.
  bool BodyHolds(const Frame& frame, std::size_t size);
  void ShortBody(const FrameHeader& header);
  // "SYSERR_<code> : type / sub-code", then the protocol error's close.
  DWORD FrameError(int code, const FrameHeader& header, const char* tag);
  // The transmit header as it stands (the open-port test's answer carries it).
  void SetOutgoingHeader(const FrameHeader& header) { outgoingHeader_ = header; }

  // Takes a call accepted from the listening socket on this thread: 0 taken.
  std::int32_t AdoptCall(SOCKET call);

  // Hands one frame to the handler of its way (the kind is learnt from the first frame).
  virtual DWORD DispatchFrame(const Frame& frame);
  // A header whose body did not follow within the read limit: a network way
  // closes the link as a lost one.
  virtual void OnLateBody();
  // Drops the frame whose body is late and serves the frames the reader
  // then finds among the bytes it had taken for that body.
  void HuntPastLateFrame();
  // Forgets the frames fed to the reader and not yet served.
  void DropFramesFed() { hunter_.Reset(); }
  // The fixed-size record a compressed frame carries: kRecordOk, or the
  // negative code of net/compressed_record.h after its SYSERR trace line.
  std::int32_t ReadCompressedRecord(const Frame& frame, std::span<std::uint8_t> record);

  // The answer to a protocol error: SYSERR line, header dump, pause, receive
  // ring emptied, disconnection with the tag.
  void ProtocolError(const char* errorLine, const FrameHeader& header, const char* tag);

  void Pause(DWORD milliseconds) const;

  // Paused: woken for a new second only while a countdown runs (or the simulator
  // link still counts towards its connect).
  bool PausedWaitOver() override;

  // What the way's thread gathered for other threads and holds until it waits
  // (the simulator link's broadcast round): the idle step posts it before the
  // thread blocks, and not while more bytes are already there to read.
  virtual bool HoldsGatheredPosts() const { return false; }
  virtual void PostGathered() {}

  // The reason text of a THRDMSG_DISCONNECTION, popped from its payload: at
  // most 10,240 bytes are kept; a longer payload is drained in pieces, each
  // announced by a "Warning" box naming boxName.
  std::string PopReasonText(const DMessage& message, const char* boxName);

 private:
  void ServeAllMessages();
  bool ServeOneMessage();
  void HandleDisconnectionMessage(const DMessage& message);
  // Texts need a logged-in way, NCSMSG_ANY_PEER a trusted sender.
  DWORD DispatchText(const Frame& frame);
  DWORD DispatchAnyPeer(const Frame& frame);
  void TraceUnknownMessage(const DMessage& message);
  void TraceNodeFrame(const FrameHeader& header);
  DWORD RefuseNodeFrame(const FrameHeader& header);
  DWORD OpenPortTest(const FrameHeader& header);
  DWORD TextStyle(const Frame& frame);
  void TraceTestMessage(const DMessage& message);
  // Waits on the socket and the queue together: 1 readable, 0 nothing, -1 poll failed.
  int WaitReadable(int timeoutMs);
  // WaitReadable for the idle step: bytes already there are taken without
  // posting what was gathered; before a wait that may block it is posted.
  int WaitReadableAfterGathering(int timeoutMs);
  // A frame body awaited since its header: after the read limit OnLateBody acts.
  void WatchBodyInProgress();
  void SetBodyAwaited(bool awaited);
  // Serves every frame the reader holds whole: false after a protocol error closed the link.
  bool DispatchHuntedFrames(Frame& frame);
  bool BodyOverdue();
  int MsUntilBodyDeadline() const;
  // The new link starts clean: nothing of the old one survives a connect.
  void ResetLinkState();
  void TakeAllocation();
  void TakeHandedCall();
  // The end of a link frees the record that link held, and only that one.
  // Its steps pause, and the first of them may free the record already: the
  // Listener or the node can then give it to a new caller before the last
  // step. The allocation is noted when the outermost step begins, and every
  // clear of the end is of that allocation only (ClearEndingRecord).
  class LinkEnd {
   public:
    explicit LinkEnd(COrvSok& way);
    ~LinkEnd();
    LinkEnd(const LinkEnd&) = delete;
    LinkEnd& operator=(const LinkEnd&) = delete;

   private:
    COrvSok& way_;
  };
  // Within a LinkEnd: the record is cleared while it is still the ending link's.
  void ClearEndingRecord(const char* callerTag);
  // One receive into the ring as far as it has room: false when the link was lost.
  bool ReceiveIntoRing();
  void DrainFullRing();
  void GoToSleep();
  // The node's neighbour messages: the block comes as the message payload.
  void ConnectNeighbour(const DMessage& message);
  void ConnectTunnelled(const DMessage& message);
  void TakePeerKind(char kind);
  void SendSimPacket(const DMessage& message);
  // THRDMSG_SIMPILOT_ROUND: each record as its THRDMSG_SIMPILOT message would send it.
  void HandleSimPilotRound(const DMessage& message);
  void SendSimPacketToPilot(std::uint32_t subCode, std::uint32_t length);
  void TraceOversizedSimPacket(std::uint32_t length);
  // ---- The pilot link's pieces ----
  bool PilotVerbose() const;
  void PilotLogoutAndClose();
  void PilotDisconnection(const DMessage& message);
  DWORD PilotLoginReceived(const Frame& frame);
  DWORD PilotCancelReceived(const Frame& frame);
  DWORD PilotPeerAddedReceived();
  DWORD PilotCommReceived(const Frame& frame);
  DWORD PilotChanges2Received(const Frame& frame);
  DWORD PilotPacketReceived(const Frame& frame);
  void TracePilotFrame(const FrameHeader& header);
  DWORD RefusePilotFrame(const FrameHeader& header);
  void FillRecordFromLogin(const PilotLoginRecord& login, std::uint8_t subCode);
  void TakePilotRadios(std::uint8_t selection, std::string_view com1, std::string_view com2);
  std::int32_t SendPilotPacked(std::uint8_t subCode, std::span<const std::uint8_t> record);
  void TracePilotSend(std::uint8_t subCode);
  // ---- The add-on link's pieces ----
  bool MayCarryAddonLink() const;
  void TraceAddonFrame(const FrameHeader& header);
  void TraceAddonSend(std::uint8_t code);
  // A body shorter than its record is a protocol error; false then.
  bool AddonBodyHolds(const Frame& frame, std::size_t size);
  DWORD AddonLoginReceived(const Frame& frame);
  DWORD AddonCommonReceived(const FrameHeader& header);
  std::int32_t SendAddonDynamics(std::uint8_t subCode, std::string_view callsign);
  std::int32_t SendAddonAiList(std::uint8_t subCode);
  std::int32_t SendAddonBytes(std::span<const std::uint8_t> bytes);
  // ---- The controller link's pieces ----
  bool AtcVerbose() const;
  bool OwnController(std::string_view named) const;
  void AtcLogoutAndClose();
  void AtcDisconnection(const DMessage& message);
  void AtcTestMessage(const DMessage& message);
  void TraceAtcFrame(const FrameHeader& header);
  DWORD RefuseAtcFrame(const FrameHeader& header);
  DWORD AtcLoginReceived(const Frame& frame);
  DWORD AtcHandOffReceived(const Frame& frame);
  DWORD AtcRateReceived(const Frame& frame);
  DWORD AtcReadFailed(const FrameHeader& header);
  std::int32_t SendAtcPacked(std::uint8_t subCode, std::span<const std::uint8_t> record);
  void TraceAtcSend(std::uint8_t subCode);
  // The scope of one pass over the received frames.
  class ReceivePass {
   public:
    explicit ReceivePass(COrvSok& way) : way_(way) { ++way_.receivePassDepth_; }
    ~ReceivePass();
    ReceivePass(const ReceivePass&) = delete;
    ReceivePass& operator=(const ReceivePass&) = delete;

   private:
    COrvSok& way_;
  };
  bool PilotRecordCallsign(std::array<char, kWayNameSize + 1>& callsign) const;
  void NameAfterCallsign();
  const char* LogTag() const;

  WayRecord* record_ = nullptr;
  std::int32_t simObjectId_ = -1;
  std::atomic<char> peerKind_{0};
  bool textLineMode_ = false;
  std::array<char, kWayTextLineSize> textLine_{};
  std::size_t textLineLength_ = 0;
  FrameHunter hunter_{kWayChunkSize};
  FrameHeader outgoingHeader_;
  FrameHeader receivedHeader_;
  sockaddr_in lastSender_{};
  std::array<char, 64> lastSenderText_{};
  std::array<char, kWayHostTextSize> hostText_{};
  mutable std::mutex hostMutex_;  // hostText_ is read by other ways
  std::atomic<WORD> connectedPort_{0};
  std::array<char, kWayNameSize> peerName_{};
  std::array<std::uint8_t, kNeighbourLinkSize> neighbourBlock_{};
  std::array<std::uint8_t, kTunnelBodySize> tunnelRequestBlock_{};
  std::array<std::uint8_t, kTunnelBodySize> tunnelBody_{};
  std::array<std::uint8_t, kSimPacketLimit> simPacket_{};
  PilotLinkState pilot_;
  ControllerLinkState atc_;
  AddonLinkState addon_;
  DWORD webTaskCode_ = 0;
  std::uint32_t secondsSnapshot_ = 0;
  std::uint32_t simLinkSeconds_ = 0;
  SimulatorPairOffsets pairOffsets_;
  std::atomic<DWORD> loggedIn_{0};
  DWORD idleDeadline_ = 0;
  bool accepted_ = false;
  bool ringFullTraced_ = false;
  std::atomic<DWORD> exitFlags_{0};
  std::atomic<std::int32_t> acceptAnswer_{0};
  std::atomic<SOCKET> handedCall_{INVALID_SOCKET};
  std::atomic<bool> allocationPending_{false};
  // The allocation of the record whose link is ending, and the LinkEnd nesting.
  std::uint32_t endingAllocation_ = 0;
  int linkEndDepth_ = 0;
  // The frame whose handler runs (its body is the stream behind its header).
  const Frame* dispatching_ = nullptr;
  int receivePassDepth_ = 0;
  // The frame the reader fills, kept from pass to pass with its body's room.
  Frame frame_;
  // The frame reader's frame whose body is awaited, and since when.
  std::uint64_t bodyFrame_ = 0;
  std::atomic<bool> bodyAwaited_{false};
  std::atomic<std::uint64_t> lateBodies_{0};
  DWORD bodySince_ = 0;
  std::atomic<std::uint64_t> waitingPasses_{0};
  std::atomic<std::uint64_t> passes_{0};
};
