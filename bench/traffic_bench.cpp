// The real client logged in to the stand-ins with 49 scripted pilot peers (the
// way table full but one) and a plug-in stand-in in this process:
// - the relay time from a peer's position record leaving him to the refresh
//   record reaching the plug-in stand-in, beside one raw loopback hop and one
//   reference hop (the same refresh record sent to a second plug-in stand-in,
//   which parses it as the first does) timed the same way in the same run;
//   the client's relay is the end-to-end time less the peer's own raw hop;
// - the client's CPU over 10 s with the 49 peers quiet, and with each of them
//   sending a position record every 33 ms (the rate limit of the records),
//   beside what this process (the peers and the plug-in stand-ins) used;
// - the client's resident memory with the 49 peers.
// Every figure is printed beside its goal.
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/idle_client.h"
#include "bench/pilot_fleet.h"
#include "net/frame_format.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kPeers = 49;
constexpr int kLoginTimeoutMs = 60'000;
constexpr auto kMeasured = 10s;
constexpr auto kSettle = 3s;
constexpr int kRateLimitMs = 33;
constexpr std::size_t kRelaySamples = 200;
constexpr auto kSampleGap = 40ms;
constexpr auto kSampleTimeout = 2s;
constexpr std::size_t kHopBytes = 60;  // about a framed 48-byte position record

constexpr double kGoalRelayOverReference = 2.0;
constexpr double kGoalQuietCpu = 1.0;  // % of one core
// One thread per peer: a record each 33 ms from each of 49 peers is some
// 1,500 wakes of a way and as many posts to the plug-in link each second.
constexpr double kGoalRateCpu = 5.0;
constexpr double kGoalResidentMiB = 64.0;

double Microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

// One event the main thread waits for: a count and the time of the last one.
class Arrivals {
 public:
  void Note() {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    ++count_;
    last_ = now;
    changed_.notify_all();
  }
  std::uint64_t Count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }
  // The time of arrival number `count`, or nothing within the time.
  bool WaitFor(std::uint64_t count, Clock::time_point& at) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, kSampleTimeout, [&] { return count_ >= count; })) return false;
    at = last_;
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t count_ = 0;
  Clock::time_point last_;
};

// A TCP link over loopback: a connected sender and the accepted receiver,
// with Nagle off on the sender (as the client's ways and the peers have it).
struct LoopbackPair {
  int sender = -1;
  int receiver = -1;

  // port 0: a listener of its own on an ephemeral port; else the receiver
  // is the caller's (a stand-in that listens on that port), left at -1.
  bool Open(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    int listener = -1;
    if (port == 0) {
      listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      socklen_t length = sizeof a;
      if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 1) != 0 ||
          getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (listener >= 0) close(listener);
        return false;
      }
    }
    sender = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = sender >= 0 && connect(sender, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (listener >= 0) {
      if (connected) receiver = accept(listener, nullptr, nullptr);
      close(listener);
    }
    if (!connected || (port == 0 && receiver < 0)) return false;
    const int one = 1;
    setsockopt(sender, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
  }
  void Close() {
    if (receiver >= 0) close(receiver);
    if (sender >= 0) close(sender);
    receiver = sender = -1;
  }
};

bool SendAll(int s, std::span<const std::uint8_t> bytes) {
  return send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// One TCP link over loopback with a reader thread that notes each whole
// message as it arrives: the raw hop, without any parsing at its end.
class LoopbackHop {
 public:
  LoopbackHop() {
    if (!pair_.Open(0)) return;
    reader_ = std::thread([this] { Read(); });
  }
  ~LoopbackHop() {
    if (pair_.receiver >= 0) shutdown(pair_.receiver, SHUT_RDWR);
    if (reader_.joinable()) reader_.join();
    pair_.Close();
  }
  LoopbackHop(const LoopbackHop&) = delete;
  LoopbackHop& operator=(const LoopbackHop&) = delete;

  bool Ok() const { return reader_.joinable(); }
  bool Send() {
    const std::vector<std::uint8_t> bytes(kHopBytes, 'x');
    return SendAll(pair_.sender, bytes);
  }
  Arrivals& Received() { return arrivals_; }

 private:
  void Read() {
    std::vector<char> buffer(kHopBytes);
    std::size_t have = 0;
    for (;;) {
      pollfd p{pair_.receiver, POLLIN, 0};
      if (poll(&p, 1, -1) < 0) return;
      const ssize_t n = recv(pair_.receiver, buffer.data() + have, kHopBytes - have, 0);
      if (n <= 0) return;
      have += static_cast<std::size_t>(n);
      if (have == kHopBytes) {
        have = 0;
        arrivals_.Note();
      }
    }
  }

  LoopbackPair pair_;
  std::thread reader_;
  Arrivals arrivals_;
};

// The reference hop: the refresh record the client sent for the first
// peer's aircraft, sent again over loopback to a second plug-in stand-in,
// which hunts, parses, applies and logs it as the first one does. The
// aircraft is added there first, with the client's own add record.
class ReferenceHop {
 public:
  // The add and position frames, whole, as the client sent them.
  ReferenceHop(std::vector<std::uint8_t> addFrame, std::vector<std::uint8_t> positionFrame, const std::string& callsign)
      : position_(std::move(positionFrame)) {
    if (!standIn_.Ok()) return;
    standIn_.SetGreeting(PluginServer::Greeting::Never);
    standIn_.SetStreamInterval(0);
    const std::string moveOf = "move " + callsign + " ";
    standIn_.SetEventLog([this, moveOf](std::string_view line) {
      if (line.substr(0, moveOf.size()) == moveOf) arrivals_.Note();
    });
    if (!pair_.Open(standIn_.Port())) return;
    // The stand-in's answers (the add callback) are read and dropped.
    drain_ = std::thread([this] {
      std::array<char, 4096> buffer{};
      while (recv(pair_.sender, buffer.data(), buffer.size(), 0) > 0) {
      }
    });
    if (!SendAll(pair_.sender, addFrame)) return;
    const auto end = Clock::now() + kSampleTimeout;
    while (standIn_.Ai().Aircraft().empty() && Clock::now() < end) std::this_thread::sleep_for(5ms);
    ok_ = !standIn_.Ai().Aircraft().empty();
  }
  ~ReferenceHop() {
    if (pair_.sender >= 0) shutdown(pair_.sender, SHUT_RDWR);
    if (drain_.joinable()) drain_.join();
    pair_.Close();
  }
  ReferenceHop(const ReferenceHop&) = delete;
  ReferenceHop& operator=(const ReferenceHop&) = delete;

  bool Ok() const { return ok_; }
  bool Send() { return SendAll(pair_.sender, position_); }
  Arrivals& Received() { return arrivals_; }

 private:
  Arrivals arrivals_;  // outlives the stand-in that notes them
  PluginServer standIn_;
  LoopbackPair pair_;
  std::thread drain_;
  std::vector<std::uint8_t> position_;
  bool ok_ = false;
};

// The client, its plug-in stand-in and the 49 peers, set up once for every case.
struct Session {
  Arrivals relayedMoves;  // moves of the first peer's aircraft; outlives the stand-in that notes them
  PluginServer plugin;
  IdleClient client;
  PilotFleet fleet;
  std::string error;

  bool Start() {
    if (!plugin.Ok()) return error = "the plug-in stand-in could not listen", false;
    plugin.SetGreeting(PluginServer::Greeting::OnHello);
    const std::string moveOfFirst = "move " + FleetScript(0).callsign + " ";
    plugin.SetEventLog([this, moveOfFirst](std::string_view line) {
      if (line.substr(0, moveOfFirst.size()) == moveOfFirst) relayedMoves.Note();
    });
    client.SetPluginPort(plugin.Port());
    if (!client.StartAndLogIn()) return error = client.Error(), false;
    if (!fleet.LogIn(client.ListenPort(), kPeers, kLoginTimeoutMs)) return error = "the peers were not all admitted", false;
    // Their aircraft are in the simulator.
    const auto end = Clock::now() + std::chrono::milliseconds(kLoginTimeoutMs);
    while (plugin.Ai().Aircraft().size() < kPeers && Clock::now() < end) std::this_thread::sleep_for(50ms);
    if (plugin.Ai().Aircraft().size() < kPeers) return error = "not every peer's aircraft was added", false;
    // One relayed position of the first peer: its refresh record and his add
    // record are what the reference hop sends.
    Clock::time_point arrived;
    const std::uint64_t movesBefore = relayedMoves.Count();
    if (!fleet.Peer(0).SendPositionAt(0.0, fleet.NextSequence(0)) || !relayedMoves.WaitFor(movesBefore + 1, arrived)) {
      return error = "no position of the first peer reached the plug-in stand-in", false;
    }
    if (!CaptureFirstPeersFrames()) return error = "the first peer's add and refresh records were not found", false;
    return true;
  }

  // The records the client sent the plug-in stand-in for the first peer's aircraft.
  std::vector<std::uint8_t> addFrame;
  std::vector<std::uint8_t> positionFrame;

  bool CaptureFirstPeersFrames() {
    constexpr std::size_t kAddWayAt = 16, kAddCallsignAt = 24, kPositionWayAt = 8;
    const std::string callsign = FleetScript(0).callsign;
    const auto u16 = [](const std::vector<std::uint8_t>& b, std::size_t at) {
      return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
    };
    std::uint32_t way = 0xFFFF'FFFFu;
    for (const Frame& frame : plugin.Frames()) {
      if (frame.header.type != plugin_link::kXtkRecordType) continue;
      const std::vector<std::uint8_t>& body = frame.body;
      if (frame.header.subCode == plugin_link::XTK_CMD_ADD_PEER && body.size() >= kAddCallsignAt + callsign.size() + 1 &&
          std::string_view(reinterpret_cast<const char*>(body.data() + kAddCallsignAt)) == callsign) {
        way = u16(body, kAddWayAt);
        addFrame = BuildFrame(frame.sync, frame.header, body);
      } else if (frame.header.subCode == plugin_link::XTK_CMD_PEER_POSITION && body.size() >= kPositionWayAt + 4 &&
                 u16(body, kPositionWayAt) == way) {
        positionFrame = BuildFrame(frame.sync, frame.header, body);
      }
    }
    return !addFrame.empty() && !positionFrame.empty();
  }

  std::uint64_t Moves() const {
    std::uint64_t n = 0;
    for (const auto& aircraft : plugin.Ai().Aircraft()) n += aircraft.moves;
    return n;
  }

  ~Session() {
    fleet.LogOut();
    client.Stop();
  }
};

std::unique_ptr<Session> g_session;
bool g_sessionTried = false;

Session* Shared(benchmark::State& state) {
  if (!g_sessionTried) {
    g_sessionTried = true;
    auto session = std::make_unique<Session>();
    if (session->Start()) {
      g_session = std::move(session);
    } else {
      std::fprintf(stderr, "traffic: %s\n", session->error.c_str());
    }
  }
  if (!g_session) state.SkipWithError("the client and its 49 peers could not be set up");
  return g_session.get();
}

struct RelayResult {
  bool ok = false;
  std::size_t samples = 0;
  double hopMedianUs = 0, hopP90Us = 0;
  double referenceMedianUs = 0, referenceP90Us = 0;
  double endToEndMedianUs = 0, endToEndP90Us = 0;
  double relayMedianUs = 0;
};
RelayResult g_relay;

void RelayTime(benchmark::State& state) {
  Session* session = Shared(state);
  if (session == nullptr) return;
  LoopbackHop hop;
  ReferenceHop reference(session->addFrame, session->positionFrame, FleetScript(0).callsign);
  if (!hop.Ok() || !reference.Ok()) {
    state.SkipWithError("no loopback link, or the reference stand-in took no aircraft");
    return;
  }
  PilotPeer& peer = session->fleet.Peer(0);
  std::vector<double> hops, references, endToEnd;
  for (auto _ : state) {
    // A raw hop, a reference hop and a relay, in turn, so that all see the same machine.
    for (std::size_t k = 0; k < kRelaySamples; ++k) {
      Clock::time_point arrived;
      const std::uint64_t hopsBefore = hop.Received().Count();
      const auto hopSent = Clock::now();
      if (hop.Send() && hop.Received().WaitFor(hopsBefore + 1, arrived)) hops.push_back(Microseconds(arrived - hopSent));
      std::this_thread::sleep_for(kSampleGap);

      const std::uint64_t referencesBefore = reference.Received().Count();
      const auto referenceSent = Clock::now();
      if (reference.Send() && reference.Received().WaitFor(referencesBefore + 1, arrived)) {
        references.push_back(Microseconds(arrived - referenceSent));
      }
      std::this_thread::sleep_for(kSampleGap);

      const std::uint64_t movesBefore = session->relayedMoves.Count();
      const auto sent = Clock::now();
      if (peer.SendPositionAt(static_cast<double>(k + 1), session->fleet.NextSequence(0)) &&
          session->relayedMoves.WaitFor(movesBefore + 1, arrived)) {
        endToEnd.push_back(Microseconds(arrived - sent));
      }
      std::this_thread::sleep_for(kSampleGap);
    }
  }
  if (hops.empty() || references.empty() || endToEnd.empty()) {
    state.SkipWithError("no relayed position reached the plug-in stand-in");
    return;
  }
  g_relay.ok = true;
  g_relay.samples = std::min({hops.size(), references.size(), endToEnd.size()});
  g_relay.hopMedianUs = Percentile(hops, 0.5);
  g_relay.hopP90Us = Percentile(hops, 0.9);
  g_relay.referenceMedianUs = Percentile(references, 0.5);
  g_relay.referenceP90Us = Percentile(references, 0.9);
  g_relay.endToEndMedianUs = Percentile(endToEnd, 0.5);
  g_relay.endToEndP90Us = Percentile(endToEnd, 0.9);
  // The peer's own hop to the client is in the end-to-end time; the rest is
  // the client's relay, which ends in the stand-in's parsing as the reference does.
  g_relay.relayMedianUs = std::max(0.0, g_relay.endToEndMedianUs - g_relay.hopMedianUs);
  state.counters["hop_us"] = g_relay.hopMedianUs;
  state.counters["reference_us"] = g_relay.referenceMedianUs;
  state.counters["end_to_end_us"] = g_relay.endToEndMedianUs;
  state.counters["relay_us"] = g_relay.relayMedianUs;
}

struct CpuResult {
  std::string name;
  bool ok = false;
  double clientCpu = 0;   // % of one core
  double farSideCpu = 0;  // this process: the peers and the plug-in stand-in
  double switchesPerSecond = 0;  // the client's context switches, all threads
  double goal = 0;
  double recordsPerSecond = 0;
  double movesPerSecond = 0;
  std::size_t linked = 0;
  std::size_t aircraft = 0;
  std::uint64_t residentKiB = 0;
  std::uint64_t peakResidentKiB = 0;
};
std::vector<CpuResult> g_cpu;

void ClientCpu(benchmark::State& state, const char* name, bool sending, double goal) {
  Session* session = Shared(state);
  if (session == nullptr) return;
  CpuResult result{name};
  result.goal = goal;
  for (auto _ : state) {
    if (sending) session->fleet.StartSending(kRateLimitMs);
    std::this_thread::sleep_for(kSettle);
    ProcessFigures before, after, selfBefore, selfAfter;
    const std::uint64_t recordsBefore = session->fleet.RecordsSent();
    const std::uint64_t movesBefore = session->Moves();
    const auto start = Clock::now();
    const bool read = ReadProcessFigures(session->client.ClientPid(), before) && ReadProcessFigures(getpid(), selfBefore);
    std::this_thread::sleep_for(kMeasured);
    const bool readAgain =
        ReadProcessFigures(session->client.ClientPid(), after) && ReadProcessFigures(getpid(), selfAfter);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uint64_t records = session->fleet.RecordsSent() - recordsBefore;
    const std::uint64_t moves = session->Moves() - movesBefore;
    session->fleet.StopSending();
    if (!read || !readAgain) {
      state.SkipWithError("the /proc entries could not be read");
      break;
    }
    state.SetIterationTime(seconds);
    // The processes' CPU clocks: the 100-Hz ticks are too coarse for a fraction of a per cent.
    const auto percent = [seconds](std::uint64_t from, std::uint64_t to) {
      return 100.0 * static_cast<double>(to - from) / 1e9 / seconds;
    };
    result.clientCpu = percent(before.cpuNanoseconds, after.cpuNanoseconds);
    result.farSideCpu = percent(selfBefore.cpuNanoseconds, selfAfter.cpuNanoseconds);
    result.switchesPerSecond = static_cast<double>(after.contextSwitches - before.contextSwitches) / seconds;
    result.recordsPerSecond = static_cast<double>(records) / seconds;
    result.movesPerSecond = static_cast<double>(moves) / seconds;
    result.residentKiB = after.residentKiB;
    result.peakResidentKiB = after.peakResidentKiB;
    result.linked = session->fleet.Linked();
    result.aircraft = session->plugin.Ai().Aircraft().size();
    result.ok = true;
  }
  state.counters["client_cpu_pct_core"] = result.clientCpu;
  state.counters["far_side_cpu_pct_core"] = result.farSideCpu;
  state.counters["records_per_s"] = result.recordsPerSecond;
  state.counters["switches_per_s"] = result.switchesPerSecond;
  state.counters["resident_MiB"] = static_cast<double>(result.residentKiB) / 1024.0;
  g_cpu.push_back(result);
}

const char* Met(bool met) { return met ? "met" : "NOT MET"; }

void PrintSummary() {
  std::printf("\nRelay of a peer's position record to the plug-in stand-in (%zu samples each, medians):\n",
              g_relay.samples);
  if (!g_relay.ok) {
    std::printf("  not measured\n");
  } else {
    const auto over = [](double us, double unit) { return unit > 0 ? us / unit : 0.0; };
    const double hops = over(g_relay.relayMedianUs, g_relay.hopMedianUs);
    const double references = over(g_relay.relayMedianUs, g_relay.referenceMedianUs);
    std::printf("  one raw loopback hop          %9.1f us   (90th percentile %.1f us)\n", g_relay.hopMedianUs,
                g_relay.hopP90Us);
    std::printf("  one reference hop             %9.1f us   (90th percentile %.1f us)\n", g_relay.referenceMedianUs,
                g_relay.referenceP90Us);
    std::printf("  peer to plug-in stand-in      %9.1f us   (90th percentile %.1f us)\n", g_relay.endToEndMedianUs,
                g_relay.endToEndP90Us);
    std::printf("  the client's relay            %9.1f us   = %.2f raw hops, %.2f reference hops, goal <= %.1f "
                "reference hops: %s\n",
                g_relay.relayMedianUs, hops, references, kGoalRelayOverReference,
                Met(references <= kGoalRelayOverReference));
    std::printf("  (the relay is the end-to-end time less the peer's own raw hop to the client; the reference hop\n"
                "   is the client's refresh record sent to a second plug-in stand-in, parsed there as at the end\n"
                "   of the relay)\n");
  }
  std::printf("\n%-34s %16s %12s %18s %12s %10s %10s %8s %9s\n", "case (over 10 s)", "client CPU %", "goal",
              "peers+plug-in CPU %", "switches/s", "records/s", "moves/s", "linked", "aircraft");
  for (const CpuResult& r : g_cpu) {
    if (!r.ok) {
      std::printf("%-34s not measured\n", r.name.c_str());
      continue;
    }
    char goal[32];
    std::snprintf(goal, sizeof goal, "< %.1f %s", r.goal, Met(r.clientCpu < r.goal));
    std::printf("%-34s %16.3f %12s %18.3f %12.0f %10.0f %10.0f %5zu/%zu %9zu\n", r.name.c_str(), r.clientCpu, goal,
                r.farSideCpu, r.switchesPerSecond, r.recordsPerSecond, r.movesPerSecond, r.linked, kPeers, r.aircraft);
  }
  for (const CpuResult& r : g_cpu) {
    if (!r.ok) continue;
    const double mib = static_cast<double>(r.residentKiB) / 1024.0;
    std::printf("\nResident memory of the client with %zu peers (after \"%s\"): %.1f MiB (peak %.1f MiB), goal < %.0f MiB: %s\n",
                kPeers, r.name.c_str(), mib, static_cast<double>(r.peakResidentKiB) / 1024.0, kGoalResidentMiB,
                Met(mib < kGoalResidentMiB && static_cast<double>(r.peakResidentKiB) / 1024.0 < kGoalResidentMiB));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RegisterBenchmark("traffic/relay_vs_loopback_hop", RelayTime)->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("traffic/49_quiet_peers",
                               [](benchmark::State& s) { ClientCpu(s, "49 peers logged in, quiet", false, kGoalQuietCpu); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("traffic/49_peers_at_rate_limit", [](benchmark::State& s) {
    ClientCpu(s, "49 peers, a record each 33 ms", true, kGoalRateCpu);
  })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_session.reset();
  PrintSummary();
  return 0;
}
