#include "voice/script_audio_library.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "voice/portaudio_library.h"
#include "voice/voice_tone.h"

ScriptAudioLibrary::ScriptAudioLibrary(std::string folder) : folder_(std::move(folder)) {}

ScriptAudioLibrary::~ScriptAudioLibrary() { StopThread(); }

std::optional<AudioDeviceInfo> ScriptAudioLibrary::DeviceInfo(int device) {
  switch (device) {
    case kScriptMicrophone:
      return AudioDeviceInfo{kScriptMicrophoneName, 0, 1, 0, 0.1, 0.0};
    case kScriptSpeaker:
      return AudioDeviceInfo{kScriptSpeakerName, 0, 0, 1, 0.0, 0.1};
    case kScriptSecondMicrophone:
      return AudioDeviceInfo{kScriptSecondMicrophoneName, 0, 1, 0, 0.1, 0.0};
    case kScriptSecondSpeaker:
      return AudioDeviceInfo{kScriptSecondSpeakerName, 0, 0, 1, 0.0, 0.1};
    default:
      return std::nullopt;
  }
}

std::optional<AudioHostApiInfo> ScriptAudioLibrary::HostApiInfo(int hostApi) {
  if (hostApi != 0) return std::nullopt;
  return AudioHostApiInfo{"Script", 0, 1};
}

int ScriptAudioLibrary::OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output,
                                   double sampleRate, unsigned long framesPerBuffer, AudioStreamCallback callback,
                                   void* context) {
  if (thread_.joinable()) return kScriptAudioStreamOpen;
  const bool microphone = input.device == kScriptMicrophone || input.device == kScriptSecondMicrophone;
  const bool speaker = output.device == kScriptSpeaker || output.device == kScriptSecondSpeaker;
  if (!microphone || !speaker || callback == nullptr || sampleRate <= 0.0 || framesPerBuffer == 0) {
    return kScriptAudioNoStream;
  }
  std::lock_guard lock(mutex_);
  callback_ = callback;
  context_ = context;
  sampleRate_ = sampleRate;
  framesPerBuffer_ = framesPerBuffer;
  openedInput_.store(input.device);
  openedOutput_.store(output.device);
  return kAudioNoError;
}

int ScriptAudioLibrary::StartStream() {
  {
    std::lock_guard lock(mutex_);
    if (callback_ == nullptr) return kScriptAudioNoStream;
  }
  if (thread_.joinable()) return kScriptAudioStreamOpen;
  stop_.store(false);
  active_.store(true);
  thread_ = std::thread([this] { Run(); });
  return kAudioNoError;
}

int ScriptAudioLibrary::IsStreamActive() { return active_.load() ? 1 : 0; }

void ScriptAudioLibrary::StopThread() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  active_.store(false);
}

int ScriptAudioLibrary::CloseStream() {
  StopThread();
  std::lock_guard lock(mutex_);
  if (callback_ == nullptr) return kScriptAudioNoStream;
  callback_ = nullptr;
  context_ = nullptr;
  return kAudioNoError;
}

std::string ScriptAudioLibrary::ErrorText(int error) {
  if (error == kScriptAudioNoStream) return "Invalid stream pointer";
  if (error == kScriptAudioStreamOpen) return "Stream is not stopped";
  return "Success";
}

void ScriptAudioLibrary::Sleep(long milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ScriptAudioLibrary::Record(const std::int16_t* samples, unsigned long count) {
  if (std::none_of(samples, samples + count, [](std::int16_t s) { return s != 0; })) return;
  if (playback_ == nullptr) playback_ = std::fopen(PlaybackPath().c_str(), "ab");
  if (playback_ == nullptr) return;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 2);
  for (unsigned long i = 0; i < count; ++i) {
    const auto value = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  std::fwrite(bytes.data(), 1, bytes.size(), playback_);
  // Flushed block by block: a test reads the file while the program runs.
  std::fflush(playback_);
}

void ScriptAudioLibrary::Run() {
  AudioStreamCallback callback = nullptr;
  void* context = nullptr;
  unsigned long frames = 0;
  double rate = 0.0;
  {
    std::lock_guard lock(mutex_);
    callback = callback_;
    context = context_;
    frames = framesPerBuffer_;
    rate = sampleRate_;
  }
  const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(static_cast<double>(frames) / rate));
  std::vector<std::int16_t> input(frames);
  std::vector<std::int16_t> output(frames);
  std::size_t toneIndex = 0;
  VoiceSamples tone{};
  std::size_t toneAt = tone.size();
  auto next = std::chrono::steady_clock::now();
  while (!stop_.load()) {
    next += period;
    std::this_thread::sleep_until(next);
    for (std::int16_t& sample : input) {
      if (toneAt == tone.size()) {
        tone = ToneFrame(toneIndex++);
        toneAt = 0;
      }
      sample = tone[toneAt++];
    }
    std::fill(output.begin(), output.end(), std::int16_t{0});
    const int answer = callback(input.data(), output.data(), frames, context);
    Record(output.data(), frames);
    if (answer != kAudioContinue) break;
  }
  if (playback_ != nullptr) {
    std::fclose(playback_);
    playback_ = nullptr;
  }
  active_.store(false);
}

AudioLibrary* MakeProgramAudioLibrary() {
  const char* folder = std::getenv(kAudioScriptVariable);
  if (folder != nullptr && *folder != '\0') return new ScriptAudioLibrary(folder);
  return new PortAudioLibrary();
}
