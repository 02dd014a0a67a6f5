// The link to the X-Plane plug-in: one connection object (way -40,
// "g_porvDll") that connects to 127.0.0.1 on "XplaneDllPortNumber" in its
// second second. Other threads reach the plug-in only by posting framed
// records to it (SendToXPlane); its own thread owns the socket.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "net/orv_sok.h"

// Link frames: type 'k' for XTK records; a frame holds at most 20,480 bytes
// counted as body + 8.
inline constexpr std::uint8_t kXtkFrameType = 0x6B;
inline constexpr std::uint32_t kXtkMaxFrameCount = 20'480;

inline constexpr std::uint8_t XTK_CMD_HELLO = 10;
inline constexpr std::uint8_t XTK_CMD_MODELS_SCANNED = 106;
inline constexpr std::uint8_t XTK_CMD_SET_SQUAWK = 122;
inline constexpr std::uint8_t XTK_CMD_SYNC_DATE_TIME = 120;

// Thread messages of the link.
inline constexpr std::uint32_t THRDMSG_XPL_SYNC_DATE_TIME = 38078;
inline constexpr std::uint32_t THRDMSG_XPL_MODELS_SCANNED = 38098;
inline constexpr std::uint32_t THRDMSG_XPL_SET_SQUAWK = 38088;
inline constexpr std::uint32_t THRDMSG_XPL_DISCONNECT = 38108;
inline constexpr std::uint32_t THRDMSG_XPL_WRITE = 38128;
inline constexpr std::uint32_t THRDMSG_XPL_LEAVE = 38278;

inline constexpr char kXPlaneLinkName[] = "g_porvDll";
inline constexpr DWORD kXPlaneRxRingSize = 4'300'800;
inline constexpr DWORD kXPlaneTxRingSize = 2'048'000;
inline constexpr std::uint16_t kXPlaneLostSleepSeconds = 6;

// 1 while the TCP link to the plug-in is up.
extern std::atomic<bool> XPlaneLinkUp;
// The owner slot of the link object.
extern CBaseThread* g_porvDll;
// The session flag as it was last given to the plug-in.
extern std::atomic<bool> g_sessionFlagSent;

class CXPlaneLink : public COrvSok {
 public:
  explicit CXPlaneLink(void* ownerSlot, const char* name = kXPlaneLinkName);
  ~CXPlaneLink() override;

  // Buffers and the thread: true when it runs.
  bool StartLink();

 protected:
  DWORD HandleSimLinkMessage(const DMessage& message) override;
  // Received records are read by the simulator-side handlers; until they
  // exist a frame is taken and dropped whole.
  DWORD HandleSimLinkFrame(const Frame&) override { return 1; }

 private:
  void ConnectToPlugin();
  void WriteRecord(const DMessage& message);
  void TakeConnectionNotice(const DMessage& message);
  void SendCommand(std::uint8_t command, std::span<const std::uint8_t> body, const char* tag);
};

// The link object, or null before it was created.
CXPlaneLink* XPlaneLinkObject();
// Creates and starts the link once; a connected link is left alone. UI thread.
void CreateXPlaneLink();
// Frames an XTK record and posts it to the link from `sender` (any thread).
// Nonzero when posted; 0 (and a SYSERR_3900 line) when body + 8 exceeds 20,480.
int SendToXPlane(CBaseThread* sender, std::uint8_t command, std::span<const std::uint8_t> body,
                 const char* callerTag);
// The session flag follows the plug-in link; called whenever it may have changed.
void SyncSessionFlagToPlugin();
