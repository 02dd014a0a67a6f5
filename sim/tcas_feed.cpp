#include "sim/tcas_feed.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "net/orv_sok.h"
#include "sim/fsuipc_client.h"
#include "sim/tcas_record.h"
#include "win/clock.h"
#include "win/richedit.h"

namespace {

constexpr std::uint32_t kSlotSizeOffset = 0xF000;
constexpr std::uint32_t kSlotCountOffset = 0xF002;
// The vertical speed is taken over at least this long before the kept altitude moves on.
constexpr std::uint64_t kVerticalSpeedSpanMs = 1'000;

struct TcasSlot {
  bool used = false;
  std::array<char, kWayNameSize> callsign{};
  std::int32_t previousAltitude = 0;
  std::int32_t lastAltitude = 0;
  std::uint64_t lastUpdateMs = 0;
  std::uint32_t counter = 0;
  // The altitude the vertical speed is measured from, and when it was taken.
  std::int32_t keptAltitude = 0;
  std::uint64_t keptAtMs = 0;
};

struct Feed {
  std::mutex lock;
  TcasClock clock = &GetTickCount64;
  bool linkUp = false;
  std::vector<TcasSlot> slots;
  int used = 0;
};

Feed& TheFeed() {
  static Feed* feed = new Feed();
  return *feed;
}

void Print(int colourField, DWORD effects, bool newLine, const char* text) {
  CMainThread* main = Klib().mainThread;
  if (main == nullptr) return;
  main->SetTraceFormat(effects, Klib().Colour(colourField));
  if (newLine) {
    main->TraceLine("%s", text);
  } else {
    main->Trace("%s", text);
  }
}

void Printf(int colourField, bool newLine, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Printf(int colourField, bool newLine, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Print(colourField, 0, newLine, text);
}

std::string_view CallsignOf(const std::array<char, kWayNameSize>& field) {
  return {field.data(), ::strnlen(field.data(), field.size())};
}

void DropLinkLocked(Feed& feed) {
  g_fsuipc.Close();
  feed.linkUp = false;
  feed.slots.clear();
  feed.used = 0;
}

void AllocateTcasSlots(Feed& feed, int count) {
  feed.used = 0;
  feed.slots.clear();
  try {
    feed.slots.resize(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    Printf(kColourError, false, "TCAS : Could not allocate %d slots.\r\n", count);
    return;
  }
  if (Klib().TraceBit(0)) Printf(kColourNormal, false, " and %d TCAS slots allocated.\r\n", count);
}

void SetupTcasSlots(Feed& feed) {
  std::uint16_t slotSize = 0;
  std::uint16_t slotCount = 0;
  if (!FsuipcReadShortAndProcess(g_fsuipc, kSlotSizeOffset, slotSize)) {
    Printf(kColourError, true, "FSUIPC error message : %s\r\n", CFSUIPC::ErrorText(g_fsuipc.Result()));
    return;
  }
  const bool traced = Klib().TraceBit(0);
  if (traced) Printf(kColourNormal, true, "Slot size = %d, ", static_cast<int>(slotSize));
  if (!FsuipcReadShortAndProcess(g_fsuipc, kSlotCountOffset, slotCount)) {
    Printf(kColourError, true, "FSUIPC error message : %s\r\n", CFSUIPC::ErrorText(g_fsuipc.Result()));
    return;
  }
  Printf(kColourNormal, !traced, "Max Slots = %d  ", static_cast<int>(slotCount));
  AllocateTcasSlots(feed, slotCount);
}

// The link is dropped when the server no longer takes requests: retrying
// every pilot at every tick would hold the UI thread for all the retries.
bool WriteTcasRecord(Feed& feed, const TcasRecordBytes& record) {
  if (g_fsuipc.Write(kTcasRecordOffset, record) && g_fsuipc.Process()) return true;
  const int result = g_fsuipc.Result();
  const bool lost = result == kFsuipcTimedOut || result == kFsuipcSendFailed;
  if (lost || Klib().TraceBit(0)) {
    Printf(kColourError, true, "TCAS error message : %s\r\n", CFSUIPC::ErrorText(result));
  }
  if (lost) DropLinkLocked(feed);
  return false;
}

int FindTcasSlotLocked(const Feed& feed, std::string_view callsign) {
  for (std::size_t i = 0; i < feed.slots.size(); ++i) {
    if (feed.slots[i].used && CallsignOf(feed.slots[i].callsign) == callsign) return static_cast<int>(i);
  }
  return -1;
}

int FindFreeTcasSlot(const Feed& feed) {
  for (std::size_t i = 0; i < feed.slots.size(); ++i) {
    if (!feed.slots[i].used) return static_cast<int>(i);
  }
  return -1;
}

std::int32_t WholeFeet(double feet) {
  if (!std::isfinite(feet)) return 0;
  return static_cast<std::int32_t>(std::clamp(feet, -1.0e9, 1.0e9));
}

std::int16_t Clamped16(std::int64_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                            std::numeric_limits<std::int16_t>::max()));
}

TcasTraffic TrafficOf(const TcasPilot& pilot, int slot, std::int16_t verticalSpeed) {
  TcasTraffic traffic;
  traffic.id = static_cast<std::uint32_t>(slot) + 1;
  traffic.latitude = pilot.latitude;
  traffic.longitude = pilot.longitude;
  traffic.altitudeFeet = pilot.altitudeFeet;
  traffic.headingDegrees = pilot.headingDegrees;
  traffic.groundSpeedKnots = pilot.groundSpeedKnots;
  traffic.verticalSpeedFpm = verticalSpeed;
  traffic.callsign = CallsignOf(pilot.callsign);
  return traffic;
}

void ReleaseTcasSlot(Feed& feed, int slot) {
  TcasSlot& entry = feed.slots[static_cast<std::size_t>(slot)];
  entry.used = false;
  --feed.used;
  WriteTcasRecord(feed, EmptyTcasRecord(static_cast<std::uint32_t>(slot) + 1));
}

// A pilot no longer fed (gone without a release, or now special) leaves no
// frozen target in the simulator's table, nor a slot nobody gives back.
void ReleaseSlotsOfOthers(const std::vector<TcasPilot>& fed) {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  for (std::size_t i = 0; feed.linkUp && i < feed.slots.size(); ++i) {
    const TcasSlot& slot = feed.slots[i];
    if (!slot.used) continue;
    const bool stillFed = std::any_of(fed.begin(), fed.end(), [&](const TcasPilot& pilot) {
      return CallsignOf(pilot.callsign) == CallsignOf(slot.callsign);
    });
    if (!stillFed) ReleaseTcasSlot(feed, static_cast<int>(i));
  }
}

}  // namespace

void StartFsuipc() {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  if (!g_fsuipc.Open()) {
    Print(kColourError, 0, true, " FSUIPC not found.");
    if (g_fsuipc.Result() != kFsuipcOk) {
      Print(kColourError, 0, true, "   Error on FSUIPC at startup. Please reinstall a recent version of FSUIPC.");
    }
    return;
  }
  feed.linkUp = true;
  Print(kColourNormal, 0, true, " FSUIPC v");
  char version[32];
  std::snprintf(version, sizeof version, "%s.  ", FsuipcVersionText(g_fsuipc.ServerVersion()).c_str());
  Print(kColourNormal, CFE_BOLD, false, version);
  Print(kColourNormal, 0, false, "is now monitored.");
  SetupTcasSlots(feed);
}

void StopFsuipc() {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  DropLinkLocked(feed);
}

bool FsuipcLinkUp() {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  return feed.linkUp;
}

void UpdateTcasForPilot(const TcasPilot& pilot) {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  if (!feed.linkUp || feed.slots.empty()) return;
  const std::string_view callsign = CallsignOf(pilot.callsign);
  const std::uint64_t now = feed.clock();
  const std::int32_t altitude = WholeFeet(pilot.altitudeFeet);
  const int found = FindTcasSlotLocked(feed, callsign);
  if (found < 0) {
    const int slot = FindFreeTcasSlot(feed);
    if (feed.used >= static_cast<int>(feed.slots.size()) || slot < 0) return;
    if (!WriteTcasRecord(feed, BuildTcasRecord(TrafficOf(pilot, slot, 0)))) return;
    TcasSlot& entry = feed.slots[static_cast<std::size_t>(slot)];
    entry = TcasSlot{};
    entry.used = true;
    std::copy(pilot.callsign.begin(), pilot.callsign.end(), entry.callsign.begin());
    entry.previousAltitude = altitude;
    entry.lastAltitude = altitude;
    entry.lastUpdateMs = now;
    entry.keptAltitude = altitude;
    entry.keptAtMs = now;
    ++feed.used;
    return;
  }
  TcasSlot& entry = feed.slots[static_cast<std::size_t>(found)];
  entry.counter = 0;
  entry.previousAltitude = entry.lastAltitude;
  entry.lastAltitude = altitude;
  entry.lastUpdateMs = now;
  std::int16_t verticalSpeed = 0;
  const std::uint64_t span = now - entry.keptAtMs;
  if (span > 0) {
    verticalSpeed = Clamped16((static_cast<std::int64_t>(altitude) - entry.keptAltitude) * 60'000 /
                              static_cast<std::int64_t>(span));
  }
  if (span >= kVerticalSpeedSpanMs) {
    entry.keptAltitude = altitude;
    entry.keptAtMs = now;
  }
  WriteTcasRecord(feed, BuildTcasRecord(TrafficOf(pilot, found, verticalSpeed)));
}

void ReleasePilotTcasSlot(std::string_view callsign) {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  if (!feed.linkUp) return;
  const int slot = FindTcasSlotLocked(feed, callsign);
  if (slot >= 0) ReleaseTcasSlot(feed, slot);
}

void FeedTcasFromWayTable() {
  if (!FsuipcLinkUp()) return;
  std::vector<TcasPilot> pilots;
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      const COrvSok* way = record.way;
      if (way == nullptr || record.peerKind != 'P') continue;
      if ((way->LoggedInBits() & kWayLoggedIn) == 0 || (record.stateFlags & kWayInvisible) != 0) continue;
      TcasPilot pilot;
      pilot.callsign = record.callsign;
      pilot.latitude = record.position.latitude;
      pilot.longitude = record.position.longitude;
      pilot.altitudeFeet = record.position.altitude;
      pilot.headingDegrees = record.position.heading;
      pilot.groundSpeedKnots = record.position.groundSpeedKnots;
      pilots.push_back(pilot);
    }
  }
  ReleaseSlotsOfOthers(pilots);
  for (const TcasPilot& pilot : pilots) UpdateTcasForPilot(pilot);
}

void SetTcasClock(TcasClock clock) {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  feed.clock = clock != nullptr ? clock : &GetTickCount64;
}

int FindTcasSlot(std::string_view callsign) {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  return FindTcasSlotLocked(feed, callsign);
}

int TcasSlotsUsed() {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  return feed.used;
}

int TcasSlotCount() {
  Feed& feed = TheFeed();
  std::lock_guard guard(feed.lock);
  return static_cast<int>(feed.slots.size());
}
