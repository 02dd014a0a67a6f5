// A scripted air-traffic controller on 127.0.0.1. It calls a client's
// listening port (--connect PORT) and logs in with its 856-byte record, or
// waits for the client's call (--listen PORT, 0: a free one, printed) and
// answers its login. Once logged in it sends, --step milliseconds apart, a
// flight strip, an amended flight plan, an ATIS, the local weather, a rate
// change and a hand-off to --handoff, then leaves as --end says (logout,
// out-of-range, drop). The amended plan's cruise speed is --amended-speed
// (a pilot's form refuses more than 2000). Every frame received is printed on
// one line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/flight_plan_record.h"
#include "net/frame_codes.h"
#include "testbed/controller_peer.h"

namespace {
void Usage() {
  std::puts(
      "tk_controller (--connect PORT | --listen PORT) [--callsign CS] [--pilot CS] [--frequency MHZ KHZ]\n"
      "              [--transition FT] [--atis TEXT] [--handoff CS] [--squawk CODE] [--amended-speed KTS]\n"
      "              [--step MS]\n"
      "              [--end logout|out-of-range|drop]");
}
}  // namespace

int main(int argc, char** argv) {
  ControllerPeerScript script;
  int connectPort = -1;
  int listenPort = -1;
  int stepMs = 500;
  std::string pilot = "DEMO01";
  std::string handOff = "LFPG_APP";
  std::string end = "logout";
  int squawk = 4721;
  std::uint32_t amendedSpeed = 250;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--connect") connectPort = std::atoi(next());
    else if (arg == "--listen") listenPort = std::atoi(next());
    else if (arg == "--callsign") script.callsign = next();
    else if (arg == "--pilot") pilot = next();
    else if (arg == "--frequency") {
      script.frequencyMhz = static_cast<std::uint16_t>(std::atoi(next()));
      script.frequencyKhz = static_cast<std::uint16_t>(std::atoi(next()));
    } else if (arg == "--transition") script.transitionAltitudeFeet = static_cast<std::uint32_t>(std::atoi(next()));
    else if (arg == "--atis") script.atis = next();
    else if (arg == "--handoff") handOff = next();
    else if (arg == "--squawk") squawk = std::atoi(next());
    else if (arg == "--amended-speed") amendedSpeed = static_cast<std::uint32_t>(std::atoi(next()));
    else if (arg == "--step") stepMs = std::max(0, std::atoi(next()));
    else if (arg == "--end") end = next();
    else { Usage(); return arg == "--help" ? 0 : 2; }
  }
  if ((connectPort < 0) == (listenPort < 0)) {
    Usage();
    return 2;
  }
  ControllerPeer peer(script);
  bool linked = false;
  if (connectPort >= 0) {
    linked = peer.Connect(static_cast<std::uint16_t>(connectPort)) && peer.SendLogin() &&
             peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, 60'000);
  } else {
    const std::uint16_t port = peer.Listen(static_cast<std::uint16_t>(listenPort));
    if (port == 0) return 1;
    std::printf("listening %u\n", port);
    std::fflush(stdout);
    linked = peer.WaitForCall(60'000) && peer.WaitForCountOf(NCSUB_LOGIN, 1, 60'000);
  }
  if (!linked) {
    std::fprintf(stderr, "tk_controller: no login\n");
    return 1;
  }
  std::size_t printed = 0;
  const auto printNew = [&] {
    const auto frames = peer.Frames();
    for (; printed < frames.size(); ++printed) std::printf("%s\n", DescribeControllerFrame(frames[printed]).c_str());
    std::fflush(stdout);
  };
  const auto step = [&] {
    printNew();
    std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
  };
  step();
  FlightStrip strip;
  strip.callsign = pilot;
  strip.controller = script.callsign;
  strip.waypoint = "RESMI";
  strip.kind = kStripInstructions;
  strip.heading = 270;
  strip.altitudeFeet = 9'000;
  strip.minimumSpeed = 180;
  strip.maximumSpeed = 220;
  strip.transponder = static_cast<std::uint16_t>(squawk);
  peer.SendStrip(strip);
  step();
  FlightPlanRecord plan{};
  SetPlanText(plan.flightType, "I");
  SetPlanText(plan.altitude, "FL090");
  SetPlanText(plan.departure, "LFPG");
  SetPlanText(plan.destination, "EGLL");
  SetPlanText(plan.route, "RESMI DCT");
  plan.cruiseSpeed = amendedSpeed;
  AmendedFlightPlan amended;
  amended.transponder = static_cast<std::uint16_t>(squawk);
  amended.controller = script.callsign;
  amended.plan = WriteFlightPlanRecord(plan);
  peer.SendAmendedPlan(amended);
  step();
  peer.SendAtis(script.atis + " (updated)");
  step();
  peer.SendWeather("LFPG", "LFPG 101200Z 27010KT CAVOK 15/05 Q1015");
  step();
  peer.SendRate(4);
  step();
  peer.SendHandOff(handOff);
  step();
  if (end == "logout") peer.SendLogout();
  else if (end == "out-of-range") peer.SendOutOfRange();
  if (end == "drop") {
    peer.Drop();
  } else {
    peer.WaitForClose(2'000);
    peer.Close();
  }
  printNew();
  return 0;
}
