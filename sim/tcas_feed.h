// Feeding the remote pilots into the FSUIPC server's TCAS traffic table: the
// link's start and stop, one slot per pilot shown, his record written at each
// update and zeroed when he leaves. One lock covers the link's request block
// and the slot table: the updates run on the UI thread, a release on the
// leaving pilot's way thread. While the link is down every TCAS call does
// nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "net/way_record.h"

// What an update takes of a pilot's way record.
struct TcasPilot {
  std::array<char, kWayNameSize> callsign{};  // as the way record holds it
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double headingDegrees = 0.0;
  std::uint16_t groundSpeedKnots = 0;
};

// Opens the link and sets up the slot table, printing what it found.
void StartFsuipc();
// Closes the link and drops the slot table.
void StopFsuipc();
bool FsuipcLinkUp();

// The 500-ms duty: every pilot way logged in and not special.
void FeedTcasFromWayTable();
void UpdateTcasForPilot(const TcasPilot& pilot);
// A pilot left: his slot, when he has one, is zeroed and freed.
void ReleasePilotTcasSlot(std::string_view callsign);

// The milliseconds the vertical speeds are measured in (GetTickCount64
// unless a test gives its own clock; null restores it).
using TcasClock = std::uint64_t (*)();
void SetTcasClock(TcasClock clock);

// The table as it stands (tests and dumps).
int FindTcasSlot(std::string_view callsign);
int TcasSlotsUsed();
int TcasSlotCount();
