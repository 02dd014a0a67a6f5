// A scripted audio library for the voice tests: its devices, defaults and
// failures are set by the test, and the test drives the stream's callback
// as the audio thread would.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "voice/audio_library.h"
#include "voice/voice_output.h"
#include "voice/voice_packet.h"

class ScriptedAudio final : public AudioLibrary {
 public:
  // ---- The script ----
  std::vector<AudioDeviceInfo> devices;
  std::vector<AudioHostApiInfo> hostApis;
  int defaultInput = kAudioNoDevice;
  int defaultOutput = kAudioNoDevice;
  int initializeError = kAudioNoError;
  int openError = kAudioNoError;
  int startError = kAudioNoError;
  // While set, Initialize waits (a thread stuck in the sound system); clear it with ReleaseInitialize.
  std::atomic<bool> holdInitialize{false};
  void ReleaseInitialize();
  // What IsStreamActive answers once the stream started.
  std::atomic<int> activeAnswer{1};

  // ---- What happened ----
  std::atomic<int> initialized{0};
  std::atomic<int> terminated{0};
  std::atomic<int> opened{0};
  std::atomic<int> closed{0};
  std::atomic<int> sleeps{0};
  AudioStreamParameters inputParameters;
  AudioStreamParameters outputParameters;
  double sampleRate = 0.0;
  unsigned long framesPerBuffer = 0;

  // Two devices, a microphone (0) and a speaker (1), which are the defaults.
  void UseMicAndSpeaker();

  bool StreamOpen() const {
    std::lock_guard lock(mutex_);
    return callback_ != nullptr;
  }
  // Runs the stream callback once, as the audio thread would; -100 when no stream is open.
  int Drive(const std::int16_t* input, std::int16_t* output, unsigned long frameCount);

  int Initialize() override;
  int Terminate() override;
  int DeviceCount() override;
  std::optional<AudioDeviceInfo> DeviceInfo(int device) override;
  std::optional<AudioHostApiInfo> HostApiInfo(int hostApi) override;
  int DefaultInputDevice() override { return defaultInput; }
  int DefaultOutputDevice() override { return defaultOutput; }
  int OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output, double rate,
                 unsigned long frames, AudioStreamCallback callback, void* context) override;
  int StartStream() override;
  int IsStreamActive() override;
  int CloseStream() override;
  std::string ErrorText(int error) override { return "scripted error " + std::to_string(error); }
  // Yields briefly: tests wait for the effects, never for a duration.
  void Sleep(long) override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  AudioStreamCallback callback_ = nullptr;
  void* context_ = nullptr;
  bool started_ = false;
};

// Records the lines and boxes of the voice system.
class RecordingVoiceOutput final : public VoiceOutput {
 public:
  struct Piece {
    bool newLine;
    int colour;
    std::string text;
  };
  void Line(int colour, std::string_view text) override { Add({true, colour, std::string(text)}); }
  void Text(int colour, std::string_view text) override { Add({false, colour, std::string(text)}); }
  void Box(const char* title, const char* text) override { Add({true, -1, std::string(title) + ": " + text}); }

  std::vector<Piece> Pieces() const;
  // The printed lines, each with its continuations joined.
  std::vector<std::string> Lines() const;
  bool HasLine(const std::string& line) const;
  int CountLine(const std::string& line) const;

 private:
  void Add(Piece piece);
  mutable std::mutex mutex_;
  std::vector<Piece> pieces_;
};

// A node way stand-in that keeps every packet it was given.
class RecordingNodeLink final : public VoiceNodeLink {
 public:
  std::atomic<bool> exists{true};
  std::atomic<bool> connected{true};
  std::atomic<bool> queueFull{false};
  std::atomic<int> refused{0};  // posts turned away by a full queue
  bool Exists() const override { return exists; }
  bool Connected() const override { return connected; }
  bool TryPost(std::span<const std::uint8_t> packet) override;
  std::vector<std::vector<std::uint8_t>> Packets() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> packets_;
};

// Waits for a condition with a generous bound (never a fixed sleep).
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
