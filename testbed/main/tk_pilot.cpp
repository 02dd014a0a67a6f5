// A scripted pilot peer on 127.0.0.1. It calls a client's listening port
// (--connect PORT) or waits for the client's call (--listen PORT, 0: a free
// one, printed), logs in either way round, flies a circuit and sends one
// position record per --interval milliseconds for --seconds, a heartbeat
// every 30 s, and at the end leaves as --end says: logout, out-of-range,
// cancel:N, drop or close. Once the client has added it, it says each --say
// text on air and sends each --private text (to the client's callsign) once.
// Every frame received is printed on one line.
//
// The exit status tells how the flight ended: 0 it ran its --seconds and he
// left as --end says while still linked; 3 the client closed the link first
// (no leave was sent); 1 no flight (the call failed or never came, or the
// client did not add him within a minute); 2 a bad command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/frame_codes.h"
#include "testbed/pilot_peer.h"

namespace {
constexpr int kExitFlown = 0;
constexpr int kExitNoLink = 1;
constexpr int kExitUsage = 2;
constexpr int kExitClosedByClient = 3;
constexpr int kCallWaitMs = 60'000;
constexpr int kAdmissionWaitMs = 60'000;

void Usage() {
  std::puts(
      "tk_pilot (--connect PORT | --listen PORT) [--callsign CS] [--code SIMCODE] [--older]\n"
      "         [--centre LAT LON] [--radius DEG] [--altitude FT] [--circuit SECONDS]\n"
      "         [--seconds N] [--interval MS] [--end logout|out-of-range|cancel:N|drop|close]\n"
      "         [--say MHZ TEXT]... [--private CALLSIGN TEXT]...\n"
      "Exit status: 0 flown and left as --end says, 3 the client closed the link first,\n"
      "1 no flight (no link, or not added within a minute), 2 a bad command line.");
}
}  // namespace

int main(int argc, char** argv) {
  PilotPeerScript script;
  script.answerLogin = true;
  int connectPort = -1;
  int listenPort = -1;
  double seconds = 60.0;
  int intervalMs = 200;
  std::string end = "logout";
  std::vector<std::pair<double, std::string>> sayings;
  std::vector<std::pair<std::string, std::string>> privates;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--connect") connectPort = std::atoi(next());
    else if (arg == "--listen") listenPort = std::atoi(next());
    else if (arg == "--callsign") script.callsign = next();
    else if (arg == "--code") script.simulatorCode = std::atoi(next());
    else if (arg == "--older") script.newerLayout = false;
    else if (arg == "--centre") { script.centreLatitude = std::atof(next()); script.centreLongitude = std::atof(next()); }
    else if (arg == "--radius") script.radiusDegrees = std::atof(next());
    else if (arg == "--altitude") script.altitudeFeet = std::atof(next());
    else if (arg == "--circuit") script.secondsPerCircuit = std::atof(next());
    else if (arg == "--seconds") seconds = std::atof(next());
    else if (arg == "--interval") intervalMs = std::max(1, std::atoi(next()));
    else if (arg == "--end") end = next();
    else if (arg == "--say") { const double mhz = std::atof(next()); sayings.emplace_back(mhz, next()); }
    else if (arg == "--private") { std::string to = next(); privates.emplace_back(std::move(to), next()); }
    else { Usage(); return arg == "--help" ? 0 : kExitUsage; }
  }
  const bool knownEnd = end == "logout" || end == "out-of-range" || end == "drop" || end == "close" ||
                        (end.rfind("cancel:", 0) == 0 && end.size() > 7);
  if ((connectPort < 0) == (listenPort < 0) || !knownEnd) {
    Usage();
    return kExitUsage;
  }
  PilotPeer peer(script);
  if (connectPort >= 0) {
    if (!peer.Connect(static_cast<std::uint16_t>(connectPort)) || !peer.SendLogin()) {
      std::fprintf(stderr, "tk_pilot: cannot call port %d\n", connectPort);
      return kExitNoLink;
    }
  } else {
    const std::uint16_t port = peer.Listen(static_cast<std::uint16_t>(listenPort));
    if (port == 0) return kExitNoLink;
    std::printf("listening %u\n", port);
    std::fflush(stdout);
    if (!peer.WaitForCall(kCallWaitMs)) return kExitNoLink;
  }
  std::size_t printed = 0;
  const auto printNew = [&] {
    const auto frames = peer.Frames();
    for (; printed < frames.size(); ++printed) std::printf("%s\n", DescribePilotFrame(frames[printed]).c_str());
    std::fflush(stdout);
  };
  // The flight's --seconds run from the client's admission: positions before it would close the link.
  const bool added = peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kAdmissionWaitMs);
  printNew();
  if (!added && !peer.PeerClosed()) {
    std::fprintf(stderr, "tk_pilot: the client did not add him\n");
    peer.Close();
    return kExitNoLink;
  }
  const auto start = std::chrono::steady_clock::now();
  std::uint32_t sequence = 0;
  double lastHeartbeat = 0.0;
  bool spoken = false;
  for (;;) {
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (t >= seconds || peer.PeerClosed()) break;
    peer.SendPositionAt(t, ++sequence);
    if (!spoken) {
      for (const auto& [mhz, text] : sayings) peer.SendTextOnAir(text, mhz);
      for (const auto& [to, text] : privates) peer.SendPrivateText(to, text);
      spoken = true;
    }
    if (t - lastHeartbeat >= 30.0) {
      peer.SendHeartbeat();
      lastHeartbeat = t;
    }
    printNew();
    std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
  }
  if (peer.PeerClosed()) {
    printNew();
    std::fprintf(stderr, "tk_pilot: the client closed the link before the flight ended\n");
    return kExitClosedByClient;
  }
  bool left = true;
  if (end == "logout") left = peer.SendLogout();
  else if (end == "out-of-range") left = peer.SendOutOfRange();
  else if (end.rfind("cancel:", 0) == 0) left = peer.SendCancel(static_cast<std::uint32_t>(std::atoi(end.c_str() + 7)));
  if (end == "drop") {
    peer.Drop();
  } else {
    peer.WaitForClose(2'000);
    peer.Close();
  }
  printNew();
  if (!left) {
    std::fprintf(stderr, "tk_pilot: the link closed before he could leave (--end %s)\n", end.c_str());
    return kExitClosedByClient;
  }
  return kExitFlown;
}
