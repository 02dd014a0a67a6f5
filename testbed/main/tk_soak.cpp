// tk_soak: a long run of the real client against the stand-ins, on 127.0.0.1
// only. Scripted pilots join and leave at random (a fixed seed), a controller
// comes and goes, the node drops the client's link 30 s after each login, the plug-in
// stand-in restarts once (the session closes; the soak clicks the simulator
// status as a pilot would, and the session opens again) and hostile callers
// write bytes that once broke a parser, or frames announcing oversize bodies.
// It prints the reconnections, the pilots added and removed at the plug-in
// against the client's admissions and the pilots' leaves, the resident memory
// and threads each minute and what the sanitizers said at the ordered quit.
// Exit status 0 when nothing was lost, memory stayed flat and no sanitizer
// reported; 1 otherwise; 2 for a bad command line.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/frame_codes.h"
#include "net/pilot_records.h"
#include "testbed/aircraft_ledger.h"
#include "testbed/automation_client.h"
#include "testbed/client_process.h"
#include "testbed/controller_peer.h"
#include "testbed/event_printer.h"
#include "testbed/hostile_caller.h"
#include "testbed/node_server.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_server.h"
#include "testbed/tcp_listener.h"
#include "testbed/web_page_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::size_t kMaxPilots = 45;
constexpr int kNodeDropSeconds = 30;
constexpr int kClosedSessionCallers = 3;
constexpr int kWayFreedSeconds = 3;
// The client waits 65 s before it logs in again after a lost link.
constexpr int kReconnectBoundSeconds = 95;
constexpr int kHostileEverySeconds = 5;
// A caller who never logs in is kept this long at most before he counts as left open.
constexpr int kHostileWaitMs = 8'000;
constexpr int kWaitMs = 30'000;
constexpr std::uint16_t kListenPort = 55009;
constexpr double kMemorySlack = 1.10;
// A cancel whose body does not read.
constexpr std::uint32_t kUnreadableReason = 0xFFFFFFFFu;

struct Options {
  std::string client;
  std::string program;
  std::string workFolder;
  double minutes = 2.0;
  unsigned seed = 21;
  std::vector<std::string> hostileFolders;
  std::vector<std::string> pluginHostileFolders;
  std::uint16_t listenPort = 0;
};

void Usage(std::ostream& out) {
  out << "usage: tk_soak --client PATH --program FOLDER --work FOLDER [--listen-port PORT] [--minutes M] [--seed N]\n"
         "              [--hostile FOLDER]... [--plugin-hostile FOLDER]...\n"
         "  Runs the client at PATH in its program FOLDER against the stand-ins for M minutes (2 unless told);\n"
         "  its output, the stand-ins' lines and the automation socket go to the work FOLDER.\n"
         "  --listen-port PORT      where the client's listening port 55009 is mapped (a free one unless told)\n"
         "  --hostile FOLDER        files written to the client's listening port, each on a call of its own\n"
         "  --plugin-hostile FOLDER files sent to the client on its plug-in link\n"
         "  Exit status 0: nothing lost, memory flat, no sanitizer report; 1 otherwise; 2 a bad command line.\n";
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      Usage(std::cout);
      std::exit(0);
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string value = argv[++i];
    if (name == "--client") {
      options.client = value;
    } else if (name == "--program") {
      options.program = value;
    } else if (name == "--work") {
      options.workFolder = value;
    } else if (name == "--minutes") {
      options.minutes = std::atof(value.c_str());
      if (!(options.minutes > 0.0 && options.minutes <= 600.0)) return std::nullopt;
    } else if (name == "--seed") {
      options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    } else if (name == "--hostile") {
      options.hostileFolders.push_back(value);
    } else if (name == "--plugin-hostile") {
      options.pluginHostileFolders.push_back(value);
    } else if (name == "--listen-port") {
      const long port = std::strtol(value.c_str(), nullptr, 10);
      if (port <= 0 || port > 65535) return std::nullopt;
      options.listenPort = static_cast<std::uint16_t>(port);
    } else {
      return std::nullopt;
    }
  }
  if (options.client.empty() || options.program.empty() || options.workFolder.empty()) return std::nullopt;
  if (options.listenPort == 0) {
    // One the system hands out, given back for the client to take.
    const TcpListener free;
    if (!free.Ok()) return std::nullopt;
    options.listenPort = free.Port();
  }
  return options;
}

// ---- The scripted pilots ----

enum class PilotState { Calling, Admitted, Leaving, Done };
enum class PilotEnd {
  None,
  LoggedOut,
  OutOfRange,
  Dropped,
  Refused,
  CancelledAfterAdmission,
  ClosedUnsaid,
  NoAnswer,
  NoListener,  // nobody took the call
};

struct SoakPilot {
  std::unique_ptr<PilotPeer> peer;
  std::string callsign;
  PilotState state = PilotState::Calling;
  PilotEnd end = PilotEnd::None;
  std::optional<std::uint32_t> cancelReason;
  bool admitted = false;
  bool calledWhileSessionClosed = false;
  Clock::time_point called;
  Clock::time_point leaveAt;
  Clock::time_point leftAt;
  std::optional<Clock::time_point> doneAt;
  bool flyingAtRestart = false;
  std::uint32_t sequence = 0;
};

std::optional<std::uint32_t> CancelReason(const PilotPeer& peer) {
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.type != NCSMSG_PILOT || frame.header.subCode != NCSUB_CANCEL_LINK) continue;
    std::uint32_t reason = 0;
    if (ReadCancelLinkBody(frame.body, reason) == kNodeRecordOk && !frame.bodySkipped) return reason;
    return kUnreadableReason;
  }
  return std::nullopt;
}

std::string ReasonText(std::uint32_t reason) {
  switch (reason) {
    case kCancelNotInSession: return "not in a session";
    case kCancelCouldNotAdd: return "could not add him";
    case kCancelRemoved: return "removed";
    case kCancelOutOfRange: return "out of range";
    default: return "an unreadable reason";
  }
}

// ---- The run ----

class Soak {
 public:
  explicit Soak(Options options) : options_(std::move(options)), random_(options_.seed) {}
  int Run();

 private:
  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
  std::string Stamp(Clock::time_point when) const {
    const int t = static_cast<int>(std::chrono::duration<double>(when - start_).count());
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d", t / 60, t % 60);
    return stamp;
  }
  void Say(const std::string& line) { std::cout << "[soak " << Stamp(Clock::now()) << "] " << line << std::endl; }
  void Fail(const std::string& line) {
    failures_.push_back(line);
    Say("FAIL: " + line);
    // What the client showed then, for the post-mortem.
    if (client_.Running() && dumpsKept_ < 5) {
      std::ofstream(options_.workFolder + "/dump-" + std::to_string(++dumpsKept_) + ".txt") << line << "\n" << Dump();
    }
  }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
  double Between(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

  std::unique_ptr<PluginServer> StartPlugin(std::uint16_t port);
  bool StartClient();
  std::string Dump();
  bool DumpShows(const std::string& text, int timeoutMs);
  bool LogIn();
  // joining: new pilots may call; allLeave: every pilot flying leaves now.
  void StepPilots(bool joining, bool allLeave);
  SoakPilot& AddPilot();
  void StepController(bool coming);
  void StepNode();
  void StepHostile();
  void SayHostileResults();
  void RestartPlugin();
  bool SessionOpenNow();
  bool WaitForSession(int timeoutMs);
  void SampleFigures(int minute);
  void EndPilots();
  void Quit();
  void Account();
  void ReadSanitizers();

  Options options_;
  std::mt19937 random_;
  Clock::time_point start_ = Clock::now();
  std::vector<std::string> failures_;
  std::ofstream standinLog_;
  std::unique_ptr<EventPrinter> printer_;

  WebPageServer web_{"/h.php"};
  NodeServer node_;
  std::uint16_t pluginPort_ = 0;
  std::unique_ptr<PluginServer> plugin_;
  std::vector<std::unique_ptr<PluginServer>> retiredPlugins_;
  AircraftLedger ledger_;
  ClientProcess client_;
  AutomationClient automation_;
  std::string socketPath_;
  bool sessionOpen_ = false;

  std::vector<SoakPilot> pilots_;
  int nextPilot_ = 1;
  std::unique_ptr<ControllerPeer> controller_;
  Clock::time_point controllerNext_;
  int controllerVisits_ = 0;
  int controllerAdmitted_ = 0;
  bool controllerAdmittedNow_ = false;
  int nextController_ = 1;

  std::size_t loginsSeen_ = 0;
  Clock::time_point lastLogin_;
  std::optional<Clock::time_point> droppedAt_;
  std::vector<double> nodeDelays_;
  std::vector<double> pluginDelays_;
  bool pluginRestarted_ = false;
  std::optional<Clock::time_point> reopenedAt_;

  std::vector<HostileInput> hostile_;
  std::vector<HostileInput> pluginHostile_;
  std::size_t nextHostile_ = 0;
  std::size_t nextPluginHostile_ = 0;
  Clock::time_point hostileNext_;
  int hostileCalls_ = 0;
  int hostileClosed_ = 0;
  int hostileLeftOpen_ = 0;
  std::thread hostileCall_;
  std::atomic<bool> hostileBusy_{false};
  std::mutex hostileMutex_;
  std::vector<std::string> hostileResults_;
  std::size_t pluginHostileSent_ = 0;

  std::vector<ProcessFigures> figures_;
  int dumpsKept_ = 0;
  int hostileTurns_ = 0;
};

std::unique_ptr<PluginServer> Soak::StartPlugin(std::uint16_t port) {
  std::unique_ptr<PluginServer> plugin;
  // The port of the one before may stay taken a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    plugin = std::make_unique<PluginServer>(port);
    if (plugin->Ok()) break;
    plugin.reset();
    std::this_thread::sleep_for(milliseconds(100));
  }
  if (!plugin) return nullptr;
  plugin->SetEventLog([this](std::string_view line) {
    ledger_.Take(line);
    // A move a second per pilot would drown the rest.
    if (line.rfind("move ", 0) != 0 && line.find("PEER_POSITION") == std::string_view::npos) {
      printer_->Print("plug-in", line);
    }
  });
  plugin->SetGreeting(PluginServer::Greeting::OnHello);
  return plugin;
}

bool Soak::StartClient() {
  socketPath_ = options_.workFolder + "/automation.sock";
  const std::string portMap = "TK_PORTMAP=" + std::to_string(kListenPort) + "=" + std::to_string(options_.listenPort) +
                              ",55007=" + std::to_string(pluginPort_) + ",80=" + std::to_string(web_.Port());
  // The exit statistics show that the client's exit handlers ran, the leak check among them.
  // A small quarantine: freed memory held back for use-after-free checks would
  // otherwise grow the resident figure by up to 256 MB.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions = "ASAN_OPTIONS=" +
                                  std::string(asan != nullptr && *asan != '\0' ? asan : "detect_leaks=1") +
                                  ":atexit=1:quarantine_size_mb=4:thread_local_quarantine_size_kb=64";
  if (!client_.Start(options_.client, options_.program,
                     {"TK_HEADLESS=1", "TK_AUTOMATION=" + socketPath_, portMap, asanOptions},
                     options_.workFolder + "/client.out", options_.workFolder + "/client.err")) {
    return false;
  }
  return automation_.Connect(socketPath_, kWaitMs);
}

std::string Soak::Dump() {
  std::string joined;
  for (const std::string& line : automation_.Request("dump")) joined += line + "\n";
  return joined;
}

bool Soak::DumpShows(const std::string& text, int timeoutMs) {
  const auto deadline = Clock::now() + milliseconds(timeoutMs);
  do {
    if (Dump().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(milliseconds(250));
  } while (Clock::now() < deadline);
  return false;
}

// The first server, then Connect; true once the button shows the logged-in bitmap.
bool Soak::LogIn() {
  automation_.Request("command 7055 33000");
  automation_.Request("click 7055 7212");
  return DumpShows("image 7096", kWaitMs);
}

void Soak::StepPilots(bool joining, bool allLeave) {
  const auto now = Clock::now();
  std::size_t active = 0;
  for (SoakPilot& pilot : pilots_) {
    PilotPeer& peer = *pilot.peer;
    switch (pilot.state) {
      case PilotState::Calling:
        if (peer.CountOf(NCSUB_PEER_ADDED) > 0) {
          pilot.state = PilotState::Admitted;
          pilot.admitted = true;
          pilot.leaveAt = now + milliseconds(static_cast<int>(Between(8'000, 70'000)));
        } else if (const auto reason = CancelReason(peer)) {
          pilot.state = PilotState::Done;
          pilot.end = PilotEnd::Refused;
          pilot.cancelReason = reason;
        } else if (peer.PeerClosed()) {
          pilot.state = PilotState::Done;
          pilot.end = PilotEnd::ClosedUnsaid;
        } else if (now - pilot.called > milliseconds(kWaitMs)) {
          pilot.state = PilotState::Done;
          pilot.end = PilotEnd::NoAnswer;
          peer.Drop();
        }
        break;
      case PilotState::Admitted:
        if (const auto reason = CancelReason(peer)) {
          pilot.state = PilotState::Done;
          pilot.end = PilotEnd::CancelledAfterAdmission;
          pilot.cancelReason = reason;
        } else if (peer.PeerClosed()) {
          pilot.state = PilotState::Done;
          pilot.end = PilotEnd::ClosedUnsaid;
        } else if (now >= pilot.leaveAt || allLeave) {
          pilot.state = PilotState::Leaving;
          pilot.leftAt = now;
          const double how = allLeave ? 0.0 : Between(0.0, 1.0);
          if (how < 0.8) {
            pilot.end = PilotEnd::LoggedOut;
            peer.SendLogout();
          } else if (how < 0.9) {
            pilot.end = PilotEnd::OutOfRange;
            peer.SendOutOfRange();
          } else {
            pilot.end = PilotEnd::Dropped;
            peer.Drop();
          }
        } else {
          peer.SendPositionAt(std::chrono::duration<double>(now - pilot.called).count(), ++pilot.sequence);
        }
        break;
      case PilotState::Leaving:
        if (peer.PeerClosed() || pilot.end == PilotEnd::Dropped || now - pilot.leftAt > seconds(10)) {
          pilot.state = PilotState::Done;
        }
        break;
      case PilotState::Done: break;
    }
    // A leaving pilot holds his way until the client closes it, and the
    // client frees it a moment after the link ended.
    if (pilot.state != PilotState::Done || !pilot.doneAt || now - *pilot.doneAt < seconds(kWayFreedSeconds)) ++active;
  }
  // Their reader threads end with them; the record of each stays.
  for (SoakPilot& pilot : pilots_) {
    if (pilot.state != PilotState::Done || pilot.doneAt) continue;
    pilot.doneAt = now;
    if (pilot.peer->Linked()) pilot.peer->Close();
  }
  if (!joining) return;
  // Arrivals in bursts and lulls, up to the limit.
  const int arrivals = Chance(0.15) ? static_cast<int>(Between(3, 9)) : (Chance(0.5) ? 1 : 0);
  for (int k = 0; k < arrivals && active < kMaxPilots; ++k, ++active) AddPilot();
}

SoakPilot& Soak::AddPilot() {
  PilotPeerScript script;
  char callsign[16];
  std::snprintf(callsign, sizeof callsign, "SK%04d", nextPilot_);
  script.callsign = callsign;
  script.login = "soak" + std::to_string(nextPilot_);
  script.newerLayout = nextPilot_ % 3 != 0;
  script.simulatorCode = script.newerLayout ? 9000 : 2004;
  script.centreLatitude = 49.0 + Between(-0.05, 0.05);
  script.centreLongitude = 2.55 + Between(-0.05, 0.05);
  script.altitudeFeet = Between(1500, 9000);
  script.answerLogin = false;
  ++nextPilot_;
  SoakPilot pilot;
  pilot.callsign = script.callsign;
  pilot.peer = std::make_unique<PilotPeer>(script);
  pilot.called = Clock::now();
  pilot.calledWhileSessionClosed = !sessionOpen_;
  if (!pilot.peer->Connect(options_.listenPort)) {
    pilot.state = PilotState::Done;
    pilot.end = PilotEnd::NoListener;
  } else if (!pilot.peer->SendLogin()) {
    pilot.state = PilotState::Done;
    pilot.end = PilotEnd::ClosedUnsaid;
  }
  pilots_.push_back(std::move(pilot));
  return pilots_.back();
}

void Soak::StepController(bool coming) {
  const auto now = Clock::now();
  if (controller_) {
    if (controller_->CountOf(NCSUB_LOGIN_ACK) > 0 && !controllerAdmittedNow_) {
      controllerAdmittedNow_ = true;
      ++controllerAdmitted_;
    }
    if (now >= controllerNext_ || !coming) {
      controller_->SendLogout();
      controller_->WaitForClose(5'000);
      controller_.reset();
      controllerNext_ = now + milliseconds(static_cast<int>(Between(5'000, 20'000)));
    }
    return;
  }
  if (!coming || now < controllerNext_) return;
  ControllerPeerScript script;
  script.callsign = "SOAK" + std::to_string(nextController_++) + "_TWR";
  controller_ = std::make_unique<ControllerPeer>(script);
  controllerAdmittedNow_ = false;
  ++controllerVisits_;
  if (!controller_->Connect(options_.listenPort) || !controller_->SendLogin()) {
    Fail("controller " + script.callsign + " could not call");
  }
  controllerNext_ = now + milliseconds(static_cast<int>(Between(15'000, 40'000)));
}

void Soak::StepNode() {
  const auto now = Clock::now();
  const std::size_t logins = node_.LoginsAnswered();
  if (logins > loginsSeen_) {
    loginsSeen_ = logins;
    lastLogin_ = now;
    if (droppedAt_) {
      const double delay = std::chrono::duration<double>(now - *droppedAt_).count();
      nodeDelays_.push_back(delay);
      char line[96];
      std::snprintf(line, sizeof line, "node: the client logged in again %.1f s after the drop", delay);
      Say(line);
      droppedAt_.reset();
    } else {
      Say("node: the client logged in");
    }
  }
  if (droppedAt_ && now - *droppedAt_ > seconds(kReconnectBoundSeconds)) {
    Fail("no login to the node " + std::to_string(kReconnectBoundSeconds) + " s after the drop; clicking Connect");
    droppedAt_.reset();
    if (!LogIn()) Fail("the client did not log in after Connect");
    return;
  }
  if (!droppedAt_ && loginsSeen_ > 0 && now - lastLogin_ >= seconds(kNodeDropSeconds) && node_.Linked()) {
    if (node_.DropLink()) {
      droppedAt_ = now;
      Say("node: dropped the client's link");
    }
  }
}

void Soak::SayHostileResults() {
  std::lock_guard lock(hostileMutex_);
  for (const std::string& line : hostileResults_) Say(line);
  hostileResults_.clear();
}

void Soak::StepHostile() {
  const auto now = Clock::now();
  SayHostileResults();
  if (now < hostileNext_) return;
  hostileNext_ = now + seconds(kHostileEverySeconds);
  if (!hostile_.empty() && !hostileBusy_) {
    if (hostileCall_.joinable()) hostileCall_.join();
    hostileBusy_ = true;
    const HostileInput& input = hostile_[nextHostile_++ % hostile_.size()];
    ++hostileCalls_;
    hostileCall_ = std::thread([this, &input] {
      const HostileOutcome outcome = CallAndWrite(options_.listenPort, input.bytes, kHostileWaitMs);
      std::lock_guard lock(hostileMutex_);
      std::string line = "hostile caller: " + input.name + " (" + std::to_string(input.bytes.size()) + " bytes): ";
      if (!outcome.called) {
        line += "could not call";
      } else if (outcome.closedByClient) {
        ++hostileClosed_;
        line += "the client ended the call " + std::to_string(outcome.closeMs) + " ms after the last byte";
      } else {
        ++hostileLeftOpen_;
        line += "still open after " + std::to_string(kHostileWaitMs / 1000) + " s (sent " +
                std::string(outcome.sentAll ? "all" : "part") + ")";
      }
      hostileResults_.push_back(line);
      hostileBusy_ = false;
    });
  }
  // Now and then a record that once broke the plug-in link's reader.
  if (!pluginHostile_.empty() && ++hostileTurns_ % 4 == 1 && plugin_ && plugin_->Linked()) {
    const HostileInput& input = pluginHostile_[nextPluginHostile_++ % pluginHostile_.size()];
    if (plugin_->SendRaw(input.bytes)) {
      ++pluginHostileSent_;
      Say("plug-in: sent " + input.name + " (" + std::to_string(input.bytes.size()) + " bytes) on the link");
    }
  }
}

bool Soak::SessionOpenNow() {
  // The trace keeps both lines; the later one tells.
  const std::string dump = Dump();
  const std::size_t joined = dump.rfind("have joined your session.");
  const std::size_t left = dump.rfind("Disconnected from multiplayer session !");
  return joined != std::string::npos && (left == std::string::npos || joined > left);
}

bool Soak::WaitForSession(int timeoutMs) {
  const auto deadline = Clock::now() + milliseconds(timeoutMs);
  do {
    if (SessionOpenNow()) return true;
    std::this_thread::sleep_for(milliseconds(250));
  } while (Clock::now() < deadline);
  return false;
}

void Soak::RestartPlugin() {
  Say("plug-in: the stand-in stops");
  const auto stopped = Clock::now();
  sessionOpen_ = false;
  for (SoakPilot& pilot : pilots_) pilot.flyingAtRestart = pilot.state == PilotState::Admitted;
  plugin_.reset();
  ledger_.NextInstance();
  std::this_thread::sleep_for(seconds(2));
  plugin_ = StartPlugin(pluginPort_);
  if (!plugin_) {
    Fail("the plug-in stand-in could not listen again on port " + std::to_string(pluginPort_));
    return;
  }
  if (!DumpShows("Disconnected from multiplayer session !", kWaitMs)) Fail("the client did not close the session");
  // Callers while no session is open are turned away, each told why.
  std::vector<std::size_t> closedCallers;
  for (int k = 0; k < kClosedSessionCallers; ++k) {
    AddPilot();
    closedCallers.push_back(pilots_.size() - 1);
  }
  const auto answered = Clock::now() + milliseconds(kWaitMs);
  for (const std::size_t index : closedCallers) {
    const PilotPeer& peer = *pilots_[index].peer;
    while (Clock::now() < answered && pilots_[index].state == PilotState::Calling && !CancelReason(peer) &&
           !peer.PeerClosed() && peer.CountOf(NCSUB_PEER_ADDED) == 0) {
      std::this_thread::sleep_for(milliseconds(50));
    }
  }
  StepPilots(false, false);
  Say("plug-in: the stand-in listens again; the session closed; " + std::to_string(kClosedSessionCallers) +
      " pilots called meanwhile; clicking the simulator status (7111)");
  int clicks = 0;
  for (int attempt = 0; attempt < 10 && plugin_->LinksAccepted() == 0; ++attempt) {
    automation_.Request("click 7055 7111");
    ++clicks;
    plugin_->WaitForLink(1, 3'000);
  }
  if (plugin_->LinksAccepted() == 0) {
    Fail("the client did not link to the plug-in again after " + std::to_string(clicks) + " clicks");
    return;
  }
  if (!WaitForSession(kWaitMs)) {
    Fail("the session did not open again");
    return;
  }
  reopenedAt_ = Clock::now();
  sessionOpen_ = true;
  const double delay = std::chrono::duration<double>(*reopenedAt_ - stopped).count();
  pluginDelays_.push_back(delay);
  char line[128];
  std::snprintf(line, sizeof line, "plug-in: linked and the session open again %.1f s after the stop (%d click%s)",
                delay, clicks, clicks == 1 ? "" : "s");
  Say(line);
  // A press during the node's reconnection countdown would cancel it.
  if (droppedAt_) {
    Say("the node's reconnection is still counting down: left to the client");
  } else if (!DumpShows("image 7096", 3'000)) {
    Say("the client is logged out of the node: clicking Connect");
    if (!LogIn()) Fail("the client did not log in again after the session reopened");
  }
}

void Soak::SampleFigures(int minute) {
  const auto figures = client_.Figures();
  if (!figures) return;
  figures_.push_back(*figures);
  char line[128];
  std::snprintf(line, sizeof line, "minute %d: resident %.1f MB, %d threads", minute,
                static_cast<double>(figures->residentKb) / 1024.0, figures->threads);
  Say(line);
}

void Soak::EndPilots() {
  const auto deadline = Clock::now() + seconds(30);
  for (;;) {
    StepPilots(false, true);
    StepController(false);
    const bool done = std::all_of(pilots_.begin(), pilots_.end(),
                                  [](const SoakPilot& p) { return p.state == PilotState::Done; });
    if (done || Clock::now() > deadline) break;
    std::this_thread::sleep_for(milliseconds(250));
  }
  // The client's removals reach the plug-in a moment after the logouts.
  const auto removals = Clock::now() + seconds(20);
  while (plugin_ && !plugin_->Ai().Aircraft().empty() && Clock::now() < removals) {
    std::this_thread::sleep_for(milliseconds(100));
  }
  if (plugin_) {
    for (const auto& aircraft : plugin_->Ai().Aircraft()) {
      Fail("aircraft " + aircraft.callsign + " left at the plug-in after every pilot left");
    }
  }
}

void Soak::Quit() {
  if (hostileCall_.joinable()) hostileCall_.join();
  SayHostileResults();
  const int instance = ledger_.Instances() - 1;
  const auto before = ledger_.All(instance);
  automation_.Request("quit");
  // The leak check runs at the end of the process and takes its time.
  const auto status = client_.WaitForExit(120'000);
  if (!status) {
    Fail("the client did not end within 2 minutes of the ordered quit");
    client_.Kill();
    return;
  }
  Say("the client ended with status " + std::to_string(*status) + " after the ordered quit");
  if (*status != 0) Fail("exit status " + std::to_string(*status) + " after the ordered quit");
  if (plugin_) plugin_->WaitForLinkEnd(5'000);
  for (const auto& [callsign, events] : ledger_.All(instance)) {
    const auto it = before.find(callsign);
    const int earlier = it == before.end() ? 0 : it->second.linkEndRemoves;
    if (events.linkEndRemoves > earlier) Fail("aircraft " + callsign + " still at the plug-in when the session closed");
  }
}

void Soak::ReadSanitizers() {
  std::ifstream err(options_.workFolder + "/client.err");
  int leaks = 0, errors = 0, undefined = 0;
  bool exitHandlersRan = false;
  std::vector<std::string> summaries;
  for (std::string line; std::getline(err, line);) {
    if (line.find("AddressSanitizer exit stats:") != std::string::npos) exitHandlersRan = true;
    if (line.find("ERROR: LeakSanitizer") != std::string::npos) ++leaks;
    if (line.find("ERROR: AddressSanitizer") != std::string::npos) ++errors;
    if (line.find("runtime error:") != std::string::npos) ++undefined;
    if (line.rfind("SUMMARY: ", 0) == 0) summaries.push_back(line);
  }
  for (const std::string& line : summaries) Say("client: " + line);
  if (leaks > 0) Fail("LeakSanitizer reported leaks at the ordered quit (see client.err)");
  if (errors > 0) Fail("AddressSanitizer reported an error (see client.err)");
  if (undefined > 0) Fail(std::to_string(undefined) + " undefined-behaviour reports (see client.err)");
  // An end through _exit skips the leak check, and says nothing of it; a leak
  // report ends the process before the statistics.
  if (!exitHandlersRan && leaks == 0) {
    Fail("the client ended without its exit handlers (no exit statistics): the leak check never ran");
  }
  if (leaks == 0 && errors == 0 && undefined == 0 && exitHandlersRan) {
    Say("LeakSanitizer: no leak reported at the ordered quit; no ASan or UBSan report");
  }
}

void Soak::Account() {
  std::map<std::string, int> refusals;
  std::map<std::string, int> cancels;
  int called = 0, admitted = 0, loggedOut = 0, outOfRange = 0, dropped = 0, noListener = 0;
  int adds = 0, removes = 0, linkEnds = 0;
  for (const SoakPilot& pilot : pilots_) {
    ++called;
    int pilotAdds = 0;
    for (int instance = 0; instance < ledger_.Instances(); ++instance) {
      const AircraftEvents events = ledger_.Of(instance, pilot.callsign);
      adds += events.adds;
      removes += events.removes;
      linkEnds += events.linkEndRemoves;
      pilotAdds += events.adds;
      const int gone = events.removes + events.linkEndRemoves;
      if (events.adds > 1 || gone != events.adds) {
        Fail("pilot " + pilot.callsign + ": at plug-in stand-in " + std::to_string(instance + 1) +
             " his aircraft was added " +
             std::to_string(events.adds) + " times, removed " + std::to_string(gone));
      }
    }
    if (pilot.admitted) {
      ++admitted;
      if (pilot.calledWhileSessionClosed) Fail("pilot " + pilot.callsign + " admitted while no session was open");
      if (pilotAdds == 0) Fail("pilot " + pilot.callsign + " admitted, his aircraft never added");
      // Still flying well after the session came back: the new simulator shows him too.
      const bool flewOn = reopenedAt_ && (!pilot.doneAt || *pilot.doneAt > *reopenedAt_ + seconds(15));
      if (pilot.flyingAtRestart && flewOn && ledger_.Of(ledger_.Instances() - 1, pilot.callsign).adds != 1) {
        Fail("pilot " + pilot.callsign + " flew on through the restart, his aircraft not added to the new simulator");
      }
    } else if (pilotAdds != 0) {
      Fail("pilot " + pilot.callsign + " never admitted, his aircraft added");
    }
    switch (pilot.end) {
      case PilotEnd::LoggedOut: ++loggedOut; break;
      case PilotEnd::OutOfRange: ++outOfRange; break;
      case PilotEnd::Dropped: ++dropped; break;
      case PilotEnd::Refused: ++refusals[ReasonText(*pilot.cancelReason)]; break;
      case PilotEnd::CancelledAfterAdmission: ++cancels[ReasonText(*pilot.cancelReason)]; break;
      case PilotEnd::ClosedUnsaid:
        Fail("pilot " + pilot.callsign + (pilot.admitted ? " admitted" : " calling") + " at " + Stamp(pilot.called) +
             (pilot.calledWhileSessionClosed ? " (session closed)" : "") +
             ": the client closed his link without a reason");
        break;
      case PilotEnd::NoAnswer: Fail("pilot " + pilot.callsign + ": no admission nor refusal within 30 s"); break;
      case PilotEnd::NoListener:
        ++noListener;
        if (!pilot.calledWhileSessionClosed) Fail("pilot " + pilot.callsign + ": nobody took his call in the session");
        break;
      case PilotEnd::None: Fail("pilot " + pilot.callsign + ": still linked at the end"); break;
    }
    if (pilot.end == PilotEnd::Refused && pilot.cancelReason == kUnreadableReason) {
      Fail("pilot " + pilot.callsign + ": refused with an unreadable reason");
    }
  }
  Say("pilots: " + std::to_string(called) + " called, " + std::to_string(admitted) + " admitted; left: " +
      std::to_string(loggedOut) + " logged out, " + std::to_string(outOfRange) + " out of range, " +
      std::to_string(dropped) + " dropped their link");
  for (const auto& [reason, count] : refusals) Say("  refused (" + reason + "): " + std::to_string(count));
  if (noListener > 0) Say("  calls nobody took while the session was closed: " + std::to_string(noListener));
  for (const auto& [reason, count] : cancels) {
    Say("  cancelled by the client after admission (" + reason + "): " + std::to_string(count));
  }
  Say("plug-in: " + std::to_string(adds) + " aircraft added, " + std::to_string(removes) + " removed by the client, " +
      std::to_string(linkEnds) + " gone with the stand-in's restart");
  Say("controller: " + std::to_string(controllerVisits_) + " visits, " + std::to_string(controllerAdmitted_) +
      " answered with the client's acknowledgement");
  if (controllerAdmitted_ < controllerVisits_) Fail("a controller's login was not acknowledged");
  Say("hostile callers: " + std::to_string(hostileCalls_) + " calls, " + std::to_string(hostileClosed_) +
      " ended by the client, " + std::to_string(hostileLeftOpen_) + " left open after " +
      std::to_string(kHostileWaitMs / 1000) + " s; " +
      std::to_string(pluginHostileSent_) + " hostile records on the plug-in link");

  std::string delays;
  for (const double d : nodeDelays_) {
    char text[16];
    std::snprintf(text, sizeof text, " %.1f s", d);
    delays += text;
  }
  Say("node: " + std::to_string(nodeDelays_.size() + (droppedAt_ ? 1 : 0)) + " drops, " +
      std::to_string(nodeDelays_.size()) + " reconnections" + (delays.empty() ? "" : ", after" + delays) +
      (droppedAt_ ? " (the last drop's reconnection was still due at the end)" : ""));
  for (const double d : pluginDelays_) {
    char text[96];
    std::snprintf(text, sizeof text, "plug-in: 1 restart, linked again after %.1f s", d);
    Say(text);
  }
  if (!pluginRestarted_) Fail("the plug-in stand-in was not restarted");

  if (figures_.size() >= 2) {
    const std::uint64_t first = figures_.front().residentKb;
    std::uint64_t most = first;
    for (const ProcessFigures& f : figures_) most = std::max(most, f.residentKb);
    char text[160];
    std::snprintf(text, sizeof text, "memory: %.1f MB after the first minute, at most %.1f MB later (%+.1f%%)",
                  static_cast<double>(first) / 1024.0, static_cast<double>(most) / 1024.0,
                  100.0 * (static_cast<double>(most) / static_cast<double>(first) - 1.0));
    Say(text);
    if (static_cast<double>(most) > static_cast<double>(first) * kMemorySlack) {
      Fail("resident memory grew by more than 10%");
    }
  } else {
    Say("memory: fewer than two minutes sampled");
  }
}

int Soak::Run() {
  standinLog_.open(options_.workFolder + "/standins.log");
  printer_ = std::make_unique<EventPrinter>(standinLog_);
  if (!web_.Ok() || !node_.Ok()) {
    Say("could not listen on 127.0.0.1");
    return 1;
  }
  web_.SetLines(WebPageServer::HubListLines("203.0.113.7", "127.0.0.1:" + std::to_string(node_.Port())));
  web_.SetEventLog([this](std::string_view line) { printer_->Print("web", line); });
  node_.SetEventLog([this](std::string_view line) {
    if (line.find("received") == std::string_view::npos) printer_->Print("node", line);
  });
  node_.SetHeartbeatInterval(30'000);
  node_.SetAnswerHeartbeats(true);
  plugin_ = StartPlugin(0);
  if (!plugin_) {
    Say("could not listen on 127.0.0.1");
    return 1;
  }
  pluginPort_ = plugin_->Port();
  // Kept inputs and oversize frames in turn, so that a short run meets both kinds.
  std::vector<HostileInput> kept = HostileInputsFromFolders(options_.hostileFolders);
  std::vector<HostileInput> oversize = OversizeFrames();
  for (std::size_t k = 0; k < std::max(kept.size(), oversize.size()); ++k) {
    if (k < oversize.size()) hostile_.push_back(std::move(oversize[k]));
    if (k < kept.size()) hostile_.push_back(std::move(kept[k]));
  }
  pluginHostile_ = HostileInputsFromFolders(options_.pluginHostileFolders);

  char intro[200];
  std::snprintf(intro, sizeof intro,
                "%.1f minutes, seed %u, up to %zu pilots, %zu hostile inputs (%zu for the plug-in link)",
                options_.minutes, options_.seed, kMaxPilots, hostile_.size(), pluginHostile_.size());
  Say(intro);
  if (!StartClient()) {
    Fail("the client did not start (see client.err)");
    return 1;
  }
  if (!WaitForSession(60'000)) {
    Fail("the session did not open");
    Quit();
    return 1;
  }
  sessionOpen_ = true;
  Say("the session is open; clicking Connect");
  if (!LogIn()) Fail("the client did not log in");

  const double total = options_.minutes * 60.0;
  const double restartAt = total * 0.45;
  int minute = 0;
  auto nextStep = Clock::now();
  auto nextStatus = Clock::now() + seconds(15);
  while (Elapsed() < total) {
    if (!client_.Running()) {
      Fail("the client ended during the run (see client.err)");
      break;
    }
    StepNode();
    StepPilots(true, false);
    StepController(true);
    StepHostile();
    if (!pluginRestarted_ && Elapsed() >= restartAt) {
      pluginRestarted_ = true;
      RestartPlugin();
    }
    if (Elapsed() >= 60.0 * (minute + 1)) SampleFigures(++minute);
    if (Clock::now() >= nextStatus) {
      nextStatus += seconds(15);
      const auto linked = std::count_if(pilots_.begin(), pilots_.end(),
                                        [](const SoakPilot& p) { return p.state == PilotState::Admitted; });
      Say(std::to_string(linked) + " pilots flying, " + std::to_string(plugin_ ? plugin_->Ai().Aircraft().size() : 0) +
          " aircraft at the plug-in, controller " + (controller_ ? "linked" : "away") + ", node " +
          (node_.Linked() ? "linked" : "not linked"));
    }
    printer_->FlushDue();
    // After a long wait (a restart, a login) the schedule goes on from now, without a burst.
    nextStep = std::max(nextStep + seconds(1), Clock::now());
    std::this_thread::sleep_until(nextStep);
  }
  if (client_.Running()) {
    if (figures_.size() < static_cast<std::size_t>(options_.minutes)) SampleFigures(++minute);
    EndPilots();
    StepHostile();
    Quit();
    ReadSanitizers();
  } else {
    ReadSanitizers();
  }
  Account();
  printer_->Flush();
  if (failures_.empty()) {
    Say("PASS: nothing lost, memory flat, no sanitizer report");
    return 0;
  }
  Say("FAILED: " + std::to_string(failures_.size()) + " finding(s)");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    Usage(std::cerr);
    return 2;
  }
  // The soak's own sockets go where they say; only the client's are mapped.
  unsetenv("TK_PORTMAP");
  signal(SIGPIPE, SIG_IGN);
  Soak soak(*options);
  return soak.Run();
}
