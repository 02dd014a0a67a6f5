// The multiplayer session: the state in which the client shows the remote
// pilots in the simulator and sends its own aircraft to them. Its opening
// greeting, its close, and the counting of the session's pilots by the
// simulator family of each peer. The session flag itself is g_sessionOpen
// (core/main_dialog_state.h).
#pragma once

#include <cstdint>

class CBaseThread;

// Peer simulator codes of the three families.
inline constexpr std::int32_t kOlderFamilyBelow = 2006;        // codes below 2006
inline constexpr std::int32_t kFamily2006Last = 4000;          // 2006 to 4000
inline constexpr std::int32_t kXPlaneFamilyFrom = 9000;        // 9000 and above

struct SessionPeerCounts {
  int older = 0;       // code below 2006
  int family2006 = 0;  // 2006 to 4000
  int xplane = 0;      // 9000 and above
  int invisible = 0;   // records flagged invisible, whatever their kind
  int total = 0;       // the three families, without the invisible ones

  bool Any() const { return total != 0 || invisible != 0; }
  bool AnyOlder() const { return older != 0 || invisible != 0; }
  bool AnyNewer() const { return family2006 != 0 || xplane != 0 || invisible != 0; }
};

// Counts the pilots of the way table (under WayTableLock) and keeps the result
// as the session's counters. Any thread.
SessionPeerCounts CountSessionPeers();
// The counters as last counted (or zeroed by the session's close).
SessionPeerCounts SessionPeers();

// Prints "{ Initializing Multiplayer Session ...}" in the chat window's text area.
void PrintSessionInitializing();
// Removes the brace-delimited progress text; with the simulator link connected
// prints the greeting in the pilot's language and sets the session flag: 1;
// 0 without the link.
int AnnounceSessionJoin(bool simLinkConnected);
// The simulator link, when given (connected), is posted its close-session
// message. When the session flag was set, the main dialog's session-closed
// step runs; the flag is cleared in any case and the peer total becomes 0.
// Returns 1.
int CloseMultiplayerSession(const char* callerTag, CBaseThread* connectedSimLink);

// Every logged-in pilot way is asked to send its identity and aircraft again
// (after the pilot chose another aircraft type). The number of ways posted.
int SendMyIdentityToSessionPeers();

// The sequence number of the next own record (shared by every record built).
std::uint32_t NextRecordSequence();

// Milliseconds for the records' time stamps and the send-rate limit: the
// program's monotonic millisecond clock unless a test sets another (null
// restores it).
using SessionClock = std::uint32_t (*)();
void SetSessionClock(SessionClock clock);
std::uint32_t SessionMilliseconds();

// Thread messages of the session.
inline constexpr std::uint32_t kSimPilotSendFsPacket = 83;   // 'S': the payload goes out as NCSUB_FS_PACKET
inline constexpr std::uint32_t kSimPilotSendFsxPacket = 84;  // 'T': as NCSUB_FSX_PACKET
inline constexpr std::uint32_t kSimPilotSendIdentity = 93;   // ']'
inline constexpr std::uint32_t kSimLinkCloseSession = 38108;
