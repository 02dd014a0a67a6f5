// The add-on link's frames, through a peer way's own receive pass as a call
// taken on the listening port: the login, the kinds, the questions and their
// answers, with three pilots in the way table (one of them special) for the
// lists to name. The way holds one end of a socket pair, so that its answers
// have somewhere to go; no thread runs it but the target's.
//
// The first byte picks the session (bit 0), whether the way is logged in
// already (bit 1), the login trace (bit 2) and the add-on trace (bit 3); the
// second the size of the pieces the stream arrives in.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "fuzz/way_fuzz_setup.h"
#include "net/addon_link.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {

using PeerWay = FuzzWay<COrvSok>;
constexpr std::int32_t kAddonWay = 0;
constexpr std::array<std::int32_t, 3> kPilotWays{1, 2, 3};

// The pilots' ways: never linked, only logged in.
std::array<std::unique_ptr<PeerWay>, kPilotWays.size()>& PilotWays() {
  static std::array<std::unique_ptr<PeerWay>, kPilotWays.size()> ways;
  return ways;
}

void PutPilots() {
  WayTableGuard guard;
  WayTable() = WayTableArray{};
  for (std::size_t i = 0; i < kPilotWays.size(); ++i) {
    WayRecord& record = *PeerWayRecord(kPilotWays[i]);
    record.way = PilotWays()[i].get();
    record.peerKind = 'P';
    record.stateFlags = kWayAllocated | (i == 1 ? kWayInvisible : 0);
    CopyToField(record.callsign, "FUZZ0" + std::to_string(i + 1));
    CopyToField(record.frequencyA, "122.800");
    record.position.latitude = 45.0 + static_cast<double>(i);
    record.position.altitude = 1e12;  // beyond every float
    record.distanceMetres = -1.0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  SetUpWayLibrary();
  for (std::size_t i = 0; i < kPilotWays.size(); ++i) {
    PilotWays()[i] = std::make_unique<PeerWay>(true, nullptr, kPilotWays[i], "[FUZZ PILOT]", 1);
    PilotWays()[i]->SetLoggedInBits(kWayLoggedIn);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  QuietLibrary();
  const bool sessionOpen = (data[0] & 1) != 0;
  const bool loggedIn = (data[0] & 2) != 0;
  std::uint32_t traces = 0;
  if ((data[0] & 4) != 0) traces |= 1u;
  if ((data[0] & 8) != 0) traces |= 1u << kAddonTraceBit;
  Klib().traceMask = traces;
  g_sessionOpen.store(sessionOpen);
  const std::size_t piece = 1 + data[1] * 4;
  const auto stream = AsSpan(data + 2, size - 2);

  PutPilots();
  {
    PeerWay way(sessionOpen, nullptr, kAddonWay, "[FUZZ ADDON]", 1);
    {
      WayTableGuard guard;
      PeerWayRecord(kAddonWay)->way = &way;
      PeerWayRecord(kAddonWay)->stateFlags = kWayAllocated;
    }
    WaySocketPair sockets;
    if (way.LinkAsCaller(sockets)) {
      if (loggedIn) way.SetLoggedInBits(kWayLoggedIn);
      FeedWay(way, stream, piece, sockets);
      if (way.IsConnected()) way.OneSecond();
      sockets.DrainFarEnd();
    }
  }
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
  Klib().traceMask = 0;
  return 0;
}
