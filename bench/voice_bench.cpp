// The voice path's cost per 20-ms frame, in each direction, beside the goal
// of under 1 % of one core: capture, encoding and the packet to the node way
// (five recipients) in the audio callback; decoding a received frame into the
// playback FIFO and draining it in the callback.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cmath>
#include <numbers>
#include <vector>

#include "core/main_dialog_state.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "voice/voice_engine.h"
#include "voice/voice_output.h"
#include "win/clock.h"
#include "win/keys.h"

namespace {
constexpr double kFrameSeconds = 0.020;
constexpr double kGoalPercentOfCore = 1.0;

// A stream that opens at once and runs until stopped; the callback is driven here.
class BenchAudio final : public AudioLibrary {
 public:
  int Initialize() override { return kAudioNoError; }
  int Terminate() override { return kAudioNoError; }
  int DeviceCount() override { return 1; }
  std::optional<AudioDeviceInfo> DeviceInfo(int device) override {
    if (device != 0) return std::nullopt;
    return AudioDeviceInfo{"Bench", 0, 1, 1, 0.1, 0.1};
  }
  std::optional<AudioHostApiInfo> HostApiInfo(int) override { return AudioHostApiInfo{"Bench", 0, 0}; }
  int DefaultInputDevice() override { return 0; }
  int DefaultOutputDevice() override { return 0; }
  int OpenStream(const AudioStreamParameters&, const AudioStreamParameters&, double, unsigned long,
                 AudioStreamCallback, void*) override {
    return kAudioNoError;
  }
  int StartStream() override { return kAudioNoError; }
  int IsStreamActive() override { return 1; }
  int CloseStream() override { return kAudioNoError; }
  std::string ErrorText(int) override { return {}; }
  void Sleep(long milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

class SilentOutput final : public VoiceOutput {
 public:
  void Line(int, std::string_view) override {}
  void Text(int, std::string_view) override {}
  void Box(const char*, const char*) override {}
};

// Counts the packets as the node way's queue would take them.
class CountingNode final : public VoiceNodeLink {
 public:
  bool Exists() const override { return true; }
  bool Connected() const override { return true; }
  bool TryPost(std::span<const std::uint8_t> packet) override {
    bytes += packet.size();
    return true;
  }
  std::size_t bytes = 0;
};

bool EveryWayLinked(const WayRecord&) { return true; }
OwnRadios BenchRadios() { return {"122.80", "", true, false, false}; }

VoiceSamples Tone(std::size_t index) {
  VoiceSamples samples{};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(index * samples.size() + i) / 8000.0;
    samples[i] = static_cast<std::int16_t>(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * t));
  }
  return samples;
}

void ReportShare(benchmark::State& state) {
  // Time per frame over the frame's 20 ms, in percent of one core.
  state.counters["percent_of_core"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrameSeconds / 100.0, benchmark::Counter::kIsRate |
                                                                          benchmark::Counter::kInvert);
  state.counters["goal_percent_of_core"] = kGoalPercentOfCore;
}

struct Rig {
  BenchAudio audio;
  SilentOutput output;
  CountingNode node;
  VoiceEngine engine{audio, output, node, &EveryWayLinked};

  bool Start() {
    WayTableLock().Init();
    for (std::size_t i = 0; i < 5; ++i) {
      WayRecord& record = WayTable()[i];
      record.peerKind = 'P';
      record.voiceFlags = 0x04;
      CopyToField(record.frequencyA, "122.800");
      CopyToField(record.callsign, "PILOT" + std::to_string(i));
      CopyToField(record.serverName, "EUROPE-1");
    }
    SetOwnRadiosReader(&BenchRadios);
    SetKeyState(VK_LCONTROL, true);
    SetKeyState(VK_LWIN, true);
    if (engine.Start() != 0) return false;
    for (int i = 0; i < 200 && !engine.Transmitting(); ++i) ::Sleep(10);
    return engine.Transmitting();
  }
  ~Rig() {
    engine.Stop();
    ResetKeyStates();
    SetOwnRadiosReader(nullptr);
    for (WayRecord& record : WayTable()) record = WayRecord{};
  }
};

void BM_VoiceCaptureEncodeSend(benchmark::State& state) {
  Rig rig;
  if (!rig.Start()) {
    state.SkipWithError("the voice engine did not start transmitting");
    return;
  }
  std::vector<VoiceSamples> frames;
  for (std::size_t i = 0; i < 50; ++i) frames.push_back(Tone(i));
  std::size_t next = 0;
  for (auto _ : state) {
    rig.engine.StreamCallback(frames[next].data(), nullptr, kVoiceFrameSamples);
    next = (next + 1) % frames.size();
  }
  benchmark::DoNotOptimize(rig.node.bytes);
  if (rig.node.bytes == 0) state.SkipWithError("no packet reached the node way");
  ReportShare(state);
}
BENCHMARK(BM_VoiceCaptureEncodeSend)->Unit(benchmark::kMicrosecond);

void BM_VoiceReceiveDecodePlay(benchmark::State& state) {
  Rig rig;
  if (!rig.Start()) {
    state.SkipWithError("the voice engine did not start");
    return;
  }
  AmrEncoder encoder;
  std::vector<AmrFrame> frames(50);
  std::vector<std::size_t> lengths(50);
  for (std::size_t i = 0; i < frames.size(); ++i) lengths[i] = encoder.Encode(Tone(i), frames[i]);
  std::array<std::int16_t, kVoiceFrameSamples> speaker{};
  std::size_t next = 0;
  for (auto _ : state) {
    rig.engine.PlayReceived(std::span<const std::uint8_t>(frames[next].data(), lengths[next]));
    rig.engine.StreamCallback(nullptr, speaker.data(), kVoiceFrameSamples);
    next = (next + 1) % frames.size();
  }
  benchmark::DoNotOptimize(speaker);
  ReportShare(state);
}
BENCHMARK(BM_VoiceReceiveDecodePlay)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
