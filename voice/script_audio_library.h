// A sound device without sound hardware, for runs of the whole program under
// test: chosen by the environment (TK_AUDIO_SCRIPT=<folder>). It lists two
// microphones and two speakers, the first of each the default, so a change of
// device can be tried; either pair opens, and its stream runs on its own
// thread at the stream's pace (one block per 20 ms at 8 kHz). The microphone
// gives a continuous 440 Hz tone, so that whatever the engine captures while
// push-to-talk is held is that tone; every block played that holds a
// non-silent sample is appended to <folder>/playback.raw (16-bit
// little-endian samples), where a test reads what was heard.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "voice/audio_library.h"

inline constexpr char kAudioScriptVariable[] = "TK_AUDIO_SCRIPT";
inline constexpr char kAudioScriptPlaybackFile[] = "playback.raw";
inline constexpr char kScriptMicrophoneName[] = "Script Microphone";
inline constexpr char kScriptSpeakerName[] = "Script Speaker";
inline constexpr char kScriptSecondMicrophoneName[] = "Script Microphone 2";
inline constexpr char kScriptSecondSpeakerName[] = "Script Speaker 2";
// Device indexes: the defaults first, then the second pair.
inline constexpr int kScriptMicrophone = 0;
inline constexpr int kScriptSpeaker = 1;
inline constexpr int kScriptSecondMicrophone = 2;
inline constexpr int kScriptSecondSpeaker = 3;
// The stream calls made out of order.
inline constexpr int kScriptAudioNoStream = -9988;
inline constexpr int kScriptAudioStreamOpen = -9982;

class ScriptAudioLibrary final : public AudioLibrary {
 public:
  explicit ScriptAudioLibrary(std::string folder);
  ~ScriptAudioLibrary() override;
  ScriptAudioLibrary(const ScriptAudioLibrary&) = delete;
  ScriptAudioLibrary& operator=(const ScriptAudioLibrary&) = delete;

  int Initialize() override { return kAudioNoError; }
  int Terminate() override { return kAudioNoError; }
  int DeviceCount() override { return 4; }
  std::optional<AudioDeviceInfo> DeviceInfo(int device) override;
  std::optional<AudioHostApiInfo> HostApiInfo(int hostApi) override;
  int DefaultInputDevice() override { return kScriptMicrophone; }
  int DefaultOutputDevice() override { return kScriptSpeaker; }
  int OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output, double sampleRate,
                 unsigned long framesPerBuffer, AudioStreamCallback callback, void* context) override;
  int StartStream() override;
  int IsStreamActive() override;
  int CloseStream() override;
  std::string ErrorText(int error) override;
  void Sleep(long milliseconds) override;

  std::string PlaybackPath() const { return folder_ + "/" + kAudioScriptPlaybackFile; }
  // The devices of the stream last opened (kAudioNoDevice before any).
  int OpenedInput() const { return openedInput_.load(); }
  int OpenedOutput() const { return openedOutput_.load(); }

 private:
  void Run();
  void Record(const std::int16_t* samples, unsigned long count);
  void StopThread();

  const std::string folder_;
  std::mutex mutex_;  // the stream's settings, against the stream thread
  AudioStreamCallback callback_ = nullptr;
  void* context_ = nullptr;
  double sampleRate_ = 0.0;
  unsigned long framesPerBuffer_ = 0;
  std::atomic<int> openedInput_{kAudioNoDevice};
  std::atomic<int> openedOutput_{kAudioNoDevice};
  std::atomic<bool> active_{false};
  std::atomic<bool> stop_{false};
  std::FILE* playback_ = nullptr;  // the stream thread's
  std::thread thread_;
};

// The audio library the program uses: the scripted device when the
// environment names its folder, else PortAudio on the machine's devices.
AudioLibrary* MakeProgramAudioLibrary();
