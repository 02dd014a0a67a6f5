#include "sim/own_aircraft_poll.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "core/cross_sim_offsets_file.h"
#include "core/main_dialog_state.h"
#include "net/pilot_link.h"
#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "core/sim_family.h"
#include "core/text_fields.h"
#include "core/ui_hooks.h"
#include "net/cross_sim_peers.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/plugin_link.h"

namespace {
constexpr std::uint32_t kThirdCall = 3;
constexpr std::uint32_t kNearestAirportEvery = 30;
constexpr std::uint32_t kNodePilotChanges = 84;
constexpr std::uint32_t kSimPilotChangeMask = 82;
// Peers of client 11.0.0 and later follow the own radios (the voice addressing).
constexpr std::uint8_t kRadioNoticeMajor = 11;

struct RadioCopies {
  OwnComText com1{};
  OwnComText com2{};
  std::uint32_t com1Selected = 0;
  std::uint32_t com2Selected = 0;
  std::uint32_t bothSelected = 0;
  friend bool operator==(const RadioCopies&, const RadioCopies&) = default;
};

// What the poll keeps between its calls (UI thread only).
struct PollState {
  std::uint32_t thirdCounter = 0;
  std::uint32_t airportCounter = 0;
  std::uint32_t lastOnGround = 1;
  RadioCopies lastSent;
  std::uint32_t lastCode = kOwnDefaultSquawk;
  char lastMode = 'S';
  std::uint32_t lastIdent = 0;
  AirportCode lastAirport{};
  std::uint16_t lastDistance = 0;
  OwnTitle lastTitle{};
  std::array<char, kOwnIcaoTypeSize> lastType{};
  bool lastSession = false;
  bool statusShown = false;
};

PollState& Poll() {
  static PollState state;
  return state;
}

std::atomic<bool> g_radioReselect{false};

RadioCopies WorkingRadios(const OwnWorkingCopies& working) {
  return {working.com1, working.com2, working.com1Selected, working.com2Selected, working.bothSelected};
}

// The ways of one kind with their link up; the posts go out after the lock is left.
std::vector<COrvSok*> WaysToTell(char kind, bool allocatedOnly, std::uint8_t minimumMajor = 0) {
  std::vector<COrvSok*> ways;
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) {
    if (record.peerKind != kind || record.way == nullptr) continue;
    if (allocatedOnly && (record.stateFlags & kWayAllocated) == 0) continue;
    if (record.pilot.versionBytes[0] < minimumMajor) continue;
    if ((record.way->LoggedInBits() & kWayLoggedIn) == 0) continue;
    ways.push_back(record.way);
  }
  return ways;
}

void PostToWays(const std::vector<COrvSok*>& ways, std::uint32_t id, std::uint32_t param, std::uint32_t word,
                const char* tag) {
  for (COrvSok* way : ways) CBaseThread::Post(Klib().mainThread, way, id, param, word, tag);
}

void ShowRadioStatus(const OwnWorkingCopies& working) {
  std::string shown = kNoRadioText;
  if (working.com1Selected != 0) {
    shown = FieldText(working.com1);
  } else if (working.com2Selected != 0) {
    shown = FieldText(working.com2);
  }
  ui_hook::SetMainDialogText(kRadioStatusId, shown.c_str());
}

template <std::size_t N>
bool Changed(std::array<char, N>& last, const std::array<char, N>& now) {
  if (std::memcmp(last.data(), now.data(), N) == 0) return false;
  last = now;
  return true;
}

int CopyComText(const OwnComText& text, char* destination, std::size_t size) {
  if (destination == nullptr || size == 0) return 0;
  CopyCut(destination, size, FieldText(text));
  return 1;
}

int CopyFlag(std::uint32_t value, std::uint32_t* destination) {
  if (destination == nullptr) return 0;
  *destination = value;
  return 1;
}
}  // namespace

std::uint32_t PollOwnAircraftState() {
  PollState& poll = Poll();
  std::uint32_t mask = 0;
  // Step 1: the working on-ground copy.
  OwnAircraftSnapshot own;
  g_ownAircraft().Update([&](OwnAircraftSnapshot& state) {
    state.working.onGround = state.flight.onGround;
    own = state;
  });
  if (own.working.onGround != poll.lastOnGround) {
    poll.lastOnGround = own.working.onGround;
    mask |= kOwnChangeOnGround;
  }
  const bool loggedIn = g_networkState.load() != 0;
  if (loggedIn) {
    if (++poll.thirdCounter >= kThirdCall) {
      poll.thirdCounter = 0;
      // The working radios are the simulator's as the last data set gave them.
      // They are not emptied while voice is off, and the code is not set back
      // to 1200 once the plug-in has reported one: the network would otherwise
      // hear the default and the real values by turns every few seconds.
      SetDefaultOwnSquawk();
      g_ownAircraft().Update([&](OwnAircraftSnapshot& state) {
        state.working.com1 = state.radios.com1;
        state.working.com2 = state.radios.com2;
        state.working.com1Selected = state.radios.com1Selected;
        state.working.com2Selected = state.radios.com2Selected;
        state.working.bothSelected = state.radios.bothSelected;
        own = state;
      });
      const bool session = g_sessionOpen.load();
      if (session != poll.lastSession) {
        poll.lastSession = session;
        PostToWays(WaysToTell('P', false), THRDMSG_SIMPILOT, kSimPilotChangeMask, kPilotChangeSessionStatus,
                   "PZGN1014");
      }
      const RadioCopies now = WorkingRadios(own.working);
      if (now != poll.lastSent || g_radioReselect.exchange(false)) {
        poll.lastSent = now;
        mask |= kOwnChangeRadios;
      }
    }
    if (++poll.airportCounter > kNearestAirportEvery) {
      poll.airportCounter = 0;
      FindNearestAirport();
    }
    if (WorkingRadios(own.working) != poll.lastSent) {
      poll.lastSent = WorkingRadios(own.working);
      mask |= kOwnChangeRadios;
    }
    if (own.radios.transponderCode != poll.lastCode) {
      poll.lastCode = own.radios.transponderCode;
      mask |= kOwnChangeTransponder;
    }
    if (own.radios.transponderMode != poll.lastMode) {
      poll.lastMode = own.radios.transponderMode;
      mask |= kOwnChangeTransponderMode;
    }
    if (const std::uint32_t ident = g_dashIdentFlag.load(); ident != poll.lastIdent) {
      poll.lastIdent = ident;
      mask |= kOwnChangeDashFlag;
    }
    const NearestAirport airport = CurrentNearestAirport();
    const bool airportChanged = Changed(poll.lastAirport, airport.icao);
    // Another airport has offsets of its own: they are in place before the change is
    // told, and the pilot ways, which keep the pair they read until told, read it again.
    if (airportChanged && LoadCrossSimOffsets(LocalSimulatorFamily()).entriesRead > 0) {
      NotifyPeersOffsetsChanged();
    }
    if (airportChanged || airport.distanceNm != poll.lastDistance) {
      poll.lastDistance = airport.distanceNm;
      mask |= kOwnChangeNearestAirport;
    }
    if (Changed(poll.lastTitle, own.model.titleForPeers)) mask |= kOwnChangeTitle;
    if (Changed(poll.lastType, own.model.icaoType)) mask |= kOwnChangeIcaoType;
  }
  if ((mask & kOwnChangeRadios) != 0 || (!poll.statusShown && loggedIn)) {
    poll.statusShown = true;
    ShowRadioStatus(own.working);
  }
  if ((mask & kOwnChangeRadios) != 0) {
    // Told of every change, not only of one found on the third second: the
    // link refreshes the working radios with each data set, so most changes
    // show first between third seconds.
    ui_hook::OwnRadiosChanged();
    PostToWays(WaysToTell('P', false, kRadioNoticeMajor), THRDMSG_SIMPILOT, kSimPilotRadios, 0, "PZGN1015");
  }
  if (mask != 0) {
    CNodeWay* node = NodeWayObject();
    if (node != nullptr && node->IsConnected()) {
      CBaseThread::Post(Klib().mainThread, node, THRDMSG_NODE_PILOT, kNodePilotChanges, mask, "PZGN1016");
    }
    PostToWays(WaysToTell('A', true), THRDMSG_NODE_PILOT, kNodePilotChanges, mask, "PZGN1017");
  }
  return mask;
}

void MarkOwnAircraftReported() {
  PollState& poll = Poll();
  const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
  poll.lastOnGround = own.working.onGround;
  poll.lastSent = WorkingRadios(own.working);
  poll.lastCode = own.radios.transponderCode;
  poll.lastMode = own.radios.transponderMode;
  poll.lastIdent = g_dashIdentFlag.load();
  // The login read the offsets of this airport: the poll reads them again
  // only for another one.
  const NearestAirport airport = CurrentNearestAirport();
  poll.lastAirport = airport.icao;
  poll.lastDistance = airport.distanceNm;
  poll.lastTitle = own.model.titleForPeers;
  poll.lastType = own.model.icaoType;
}

void RequestRadioReselect() { g_radioReselect = true; }

void ResetOwnAircraftPoll() {
  Poll() = PollState{};
  g_radioReselect = false;
}

int SetDefaultOwnSquawk() {
  g_ownAircraft().Update([](OwnAircraftSnapshot& own) {
    if (!own.radios.simulatorCodeKnown) own.radios.transponderCode = kOwnDefaultSquawk;
  });
  return 1;
}

int GetOwnSpeed(double* destination) {
  if (destination == nullptr) return 0;
  *destination = g_ownAircraft().Snapshot().flight.speed2;
  return 1;
}

int GetOwnTrueHeading(double* destination) {
  if (destination == nullptr) return 0;
  *destination = g_ownAircraft().Snapshot().flight.trueHeading;
  return 1;
}

int GetOwnCom1Text(char* destination, std::size_t size) {
  return CopyComText(g_ownAircraft().Snapshot().working.com1, destination, size);
}

int GetOwnCom2Text(char* destination, std::size_t size) {
  return CopyComText(g_ownAircraft().Snapshot().working.com2, destination, size);
}

int GetOwnCom1Selected(std::uint32_t* destination) {
  return CopyFlag(g_ownAircraft().Snapshot().working.com1Selected, destination);
}

int GetOwnCom2Selected(std::uint32_t* destination) {
  return CopyFlag(g_ownAircraft().Snapshot().working.com2Selected, destination);
}

int GetOwnComBothSelected(std::uint32_t* destination) {
  return CopyFlag(g_ownAircraft().Snapshot().working.bothSelected, destination);
}

int GetOwnOnGround(std::uint32_t* destination) {
  return CopyFlag(g_ownAircraft().Snapshot().working.onGround, destination);
}

int TuneCom1Frequency(const char* text) {
  if (text == nullptr) return 0;
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  const bool form = ::strnlen(text, 8) == 6 && text[0] == '1' && digit(text[1]) && digit(text[2]) &&
                    text[3] == '.' && digit(text[4]) && digit(text[5]);
  return form ? 1 : 0;
}

int RequestSimDateTimeSync() {
  CXPlaneLink* link = XPlaneLinkObject();
  if (link != nullptr && XPlaneLinkUp.load()) {
    CBaseThread::Post(Klib().mainThread, link, THRDMSG_XPL_SYNC_DATE_TIME, 0, 0, "PZGN1018");
  }
  return 1;
}

int SetSimSquawk(std::uint32_t code) {
  CXPlaneLink* link = XPlaneLinkObject();
  if (link != nullptr && XPlaneLinkUp.load()) {
    CBaseThread::Post(Klib().mainThread, link, THRDMSG_XPL_SET_SQUAWK, code, 0, "PZGN1019");
  }
  return 1;
}
