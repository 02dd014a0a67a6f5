// The link to the X-Plane plug-in: one connection object (way -40,
// "g_porvDll") that connects to 127.0.0.1 on "XplaneDllPortNumber" in its
// second second. Other threads reach the plug-in only by posting framed
// records to it (SendToXPlane); its own thread owns the socket, reads the
// plug-in's records and acts on them.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "net/orv_sok.h"
#include "sim/plugin_link_codes.h"
#include "sim/plugin_link_records.h"

inline constexpr char kXPlaneLinkName[] = "g_porvDll";
inline constexpr DWORD kXPlaneRxRingSize = 4'300'800;
inline constexpr DWORD kXPlaneTxRingSize = 2'048'000;
inline constexpr std::uint16_t kXPlaneLostSleepSeconds = 6;
// The plug-in must let the simulator show at least this many AI aircraft.
inline constexpr std::uint16_t kXPlaneMinimumAiCount = 8;
// The trace category of link errors (bit 0x200000 of the trace mask).
inline constexpr int kLinkErrorTraceBit = 21;

// 1 while the TCP link to the plug-in is up.
extern std::atomic<bool> XPlaneLinkUp;
// The simulator's main window as the handshake gave it; 0 while unknown or the link is down.
extern std::atomic<std::uint32_t> SimMainWindow;
// The version the plug-in reported (a simulator code), its family code, and
// major and minor (code / 1000, code mod 1000); 0 until a handshake.
extern std::atomic<std::uint32_t> g_xplaneSimulatorCode;
extern std::atomic<std::uint32_t> g_xplaneFamilyCode;
extern std::atomic<std::uint32_t> g_xplaneMajor;
extern std::atomic<std::uint32_t> g_xplaneMinor;
// The owner slot of the link object.
extern CBaseThread* g_porvDll;
// The session flag as it was last given to the plug-in.
extern std::atomic<bool> g_sessionFlagSent;

// The family of a simulator code (2002, 2004, 2006, 3000, 9000, 10000), or 0
// for a code of no family (the previous family then stays).
std::uint32_t SimulatorFamily(std::uint32_t code);
// "FS", "FSX", "P3D", "XP9", "XP10"; "" for 0.
const char* SimulatorShortName(std::uint32_t family);

class CXPlaneLink : public COrvSok {
 public:
  explicit CXPlaneLink(void* ownerSlot, const char* name = kXPlaneLinkName);
  ~CXPlaneLink() override;

  // Buffers and the thread: true when it runs.
  bool StartLink();

  // Any thread: the acknowledgement of the handshake went out on the current link.
  bool HandshakeComplete() const { return handshakeComplete_.load(std::memory_order_acquire); }

  // The own records that the data sets of one pass broadcast reach each peer's
  // way in one round: the thread keeps a round open for its life, and posts
  // it before it waits (bytes already there are read first, so that data sets
  // that came as several reads are one pass), when a new pass begins with data
  // set 1, and before any other record or message that may post to a way.
  DWORD VTFX(DWORD argument) override;
  DWORD ProcessMessage(const DMessage& message) override;

 protected:
  DWORD HandleSimLinkMessage(const DMessage& message) override { return XPlaneLinkProcessMessage(message); }
  // Every frame of the link goes to the link's receiver: the link has no text
  // or peer frames of the network.
  DWORD DispatchFrame(const Frame& frame) override { return XPlaneLinkReceive(frame); }
  DWORD HandleSimLinkFrame(const Frame& frame) override { return XPlaneLinkReceive(frame); }
  // The plug-in's link outlives a frame whose body stalled: the frame is
  // dropped and the reader hunts the next sync word. Closing it would end
  // the session, and nothing links it again before the pilot clicks.
  void OnLateBody() override;

  bool HoldsGatheredPosts() const override;
  void PostGathered() override;
  // An AI aircraft's refresh records: the peer's next packet sends them again.
  bool SupersededRecord(std::uint32_t id, std::uint32_t param, std::span<const std::uint8_t> payload) const override;

 private:
  // ---- Thread messages and commands (plugin_link.cpp) ----
  // 1 handled; 0 leaves the message to the connection object's common handling.
  DWORD XPlaneLinkProcessMessage(const DMessage& message);
  void ConnectToPlugin();
  void WriteRecord(const DMessage& message);
  void TakeConnectionNotice(const DMessage& message);
  // Frames and sends one command on the own socket: false (and "Error <tag>"
  // with the link-error category on) when it did not go out.
  bool SendCommand(std::uint8_t command, std::span<const std::uint8_t> body, const char* tag);
  void SendModelsScanned();

  // ---- Received frames (plugin_link_receive.cpp) ----
  // 1 served, 0 the link was closed.
  DWORD XPlaneLinkReceive(const Frame& frame);
  void TraceFrameName(const FrameHeader& header);
  DWORD ReceiveTraceRecord(const Frame& frame);
  DWORD ReceiveXtkRecord(const Frame& frame);
  // The record's fixed-size body: a longer body's surplus is left, a shorter
  // one is dropped (false). The frame reader has taken the body whole either
  // way, so the stream stays in step.
  template <std::size_t N>
  bool TakeBody(const Frame& frame, RecordBytes<N>& out, const char* tag);
  void OnDllInfos(const Frame& frame);
  void OnPluginHandshakeComplete();
  void OnUserAircraftLoaded(const Frame& frame);

  // ---- AI records (plugin_link_ai.cpp) ----
  void OnAddPeerCallback(const Frame& frame);
  void OnRemovePeerCallback(const Frame& frame);
  void OnAcfTable(const Frame& frame);
  void OnHeadingToHim(const Frame& frame);

  // ---- Own aircraft data sets (own_aircraft_link.cpp) ----
  void OnDataSet1(const Frame& frame);
  void OnDataSet2(const Frame& frame);
  void OnDataSet3(const Frame& frame);
  void OnDataSet4(const Frame& frame);

  void TraceError(const char* format, const char* text);

  std::atomic<bool> handshakeComplete_{false};
  bool modelsScannedSent_ = false;  // on the current link
  // The frames of one THRDMSG_XPL_WRITE, kept from message to message.
  std::vector<std::uint8_t> writeBuffer_;
};

// The link object, or null before it was created.
CXPlaneLink* XPlaneLinkObject();
// Creates and starts the link once; a connected link is left alone. An
// existing link that is down is woken and connects at once. UI thread.
void CreateXPlaneLink();
// Frames an XTK record and posts it to the link from `sender` (any thread).
// Nonzero when posted; 0 (nothing posted) without a link object, and (with a
// SYSERR_3900 line) when body + 8 exceeds 20,480. What the calling thread
// gathered (SendRefreshToXPlane) is posted before it.
int SendToXPlane(CBaseThread* sender, std::uint8_t command, std::span<const std::uint8_t> body,
                 const char* callerTag);
// A refresh record of a pilot way's peer, as SendToXPlane; within the way's
// receive pass, on its thread, the refresh records are framed one behind the
// other and reach the link as one post when the pass ends (one wake of the
// link for what one receive of the peer brought).
int SendRefreshToXPlane(COrvSok& way, std::uint8_t command, std::span<const std::uint8_t> body,
                        const char* callerTag);
// Any other post of a way's thread to the link: the refresh records gathered
// before it go first.
std::int32_t PostToXPlaneLink(CBaseThread* sender, std::uint32_t id, std::uint32_t param, const char* callerTag);
// The session flag follows the plug-in link; called whenever it may have changed.
void SyncSessionFlagToPlugin();
