// The voice engine: push-to-talk, capture and AMR-NB encoding of 20-ms frames
// addressed by frequency, and decoding of received frames into the playback
// FIFO that the audio output drains.
//
// Threads: the voice thread opens the stream, polls push-to-talk every 100 ms
// and copies the recipients (it alone takes WayTableLock); the audio callback
// encodes, posts without waiting and drains the FIFO; the node way's thread
// decodes received frames; the UI thread sets gains and starts or restarts.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "voice/amr_codec.h"
#include "voice/audio_library.h"
#include "voice/latest_value.h"
#include "voice/playback_fifo.h"
#include "voice/voice_packet.h"
#include "voice/voice_recipients.h"

class VoiceOutput;

inline constexpr double kVoiceSampleRate = 8000.0;
inline constexpr unsigned long kVoiceFramesPerBuffer = kVoiceFrameSamples;
inline constexpr long kVoicePollMs = 100;
inline constexpr std::uint16_t kTransmitActivityTicks = 3;
inline constexpr std::size_t kVoiceDeviceNameSize = 256;

// VoiceThreadMain results.
inline constexpr int kVoiceThreadNoEncoder = -3;
inline constexpr int kVoiceThreadNoDecoder = -4;
inline constexpr int kVoiceThreadNoStream = -5;
inline constexpr int kVoiceThreadStreamNotStarted = -6;
// OpenStream results besides 0 and the library's errors.
inline constexpr int kVoiceNoDevices = -10000;
inline constexpr int kVoiceStreamNoDevices = -20000;
inline constexpr int kVoiceStreamNoDefaultDevice = -1;
// SendToFrequency results.
inline constexpr int kVoiceSendClosing = -1;
inline constexpr int kVoiceSendNotStarted = -2;
inline constexpr int kVoiceSendNoFrequency = 0;
inline constexpr int kVoiceSendDone = 1;
// RestartWithin: the old thread did not end in time, so no new one was started.
inline constexpr int kVoiceRestartNotStopped = -30;
// How long a restart waits for the old thread.
inline constexpr std::chrono::milliseconds kVoiceRestartWait{2000};

// What the voice thread hands the audio callback each round.
struct VoiceAddressing {
  bool haveFrequency = false;
  float frequency = 0.0F;
  std::array<char, kVoiceNameSize> callsign{};
  std::size_t count = 0;
  VoiceRecipientList recipients{};
};

// A device combo box of the voice dialog.
class VoiceDeviceList {
 public:
  virtual ~VoiceDeviceList() = default;
  virtual void Clear() = 0;
  virtual void SetRedraw(bool on) = 0;
  virtual void Add(const std::string& label) = 0;
};

// A device label's device name: the default-device suffix of the device
// lists (" [ Default Input ]", "[ Default ALSA Output ]" ...) cut off.
std::string DeviceNameFromLabel(std::string_view label);

class VoiceEngine {
 public:
  // linkUp tells which ways' links are up when the recipients are chosen.
  VoiceEngine(AudioLibrary& audio, VoiceOutput& output, VoiceNodeLink& node, WayLinkTest linkUp = &WayLinkUp);
  ~VoiceEngine();
  VoiceEngine(const VoiceEngine&) = delete;
  VoiceEngine& operator=(const VoiceEngine&) = delete;

  // ---- Settings (the voice dialog's) ----
  void SetPushToTalkKeys(std::uint32_t keys) { keys_.store(keys); }
  void SetJoystickButtonMask(std::uint32_t mask) { joystickMask_.store(mask); }
  // Labels as the settings keep them, cut to 255 characters.
  void SetDeviceNames(std::string_view input, std::string_view output);
  void SetInputGain(float gain) { inputGain_.store(gain); }
  void SetOutputGain(float gain) { outputGain_.store(gain); }
  float InputGain() const { return inputGain_.load(); }
  float OutputGain() const { return outputGain_.load(); }
  // The level sliders: dB kept, gain 10^(dB/20); ignored while closing.
  void SetInputLevelDb(float db);
  void SetOutputLevelDb(float db);

  // ---- Life cycle ----
  // 0; does nothing when started. Prepares and empties the FIFO, clears
  // closing and transmitting, starts the voice thread. -2 when no thread.
  int Start();
  // Stops the voice thread (its stream, codec states and the audio library
  // are released before it ends), then starts again.
  int Restart();
  // Stops the voice thread and waits for it (tests; the program leaves it to the process's end).
  void Stop();
  // Asks the voice thread to stop and waits for its end at most `bound`: true
  // when it ended (it is then joined); false leaves it to end on its own.
  bool StopWithin(std::chrono::milliseconds bound);
  // Restart with a bounded wait: StopWithin, then Start. A thread that does not
  // end in time is reported and left to end; nothing is started beside it.
  int RestartWithin(std::chrono::milliseconds bound);
  bool Started() const { return started_.load(std::memory_order_acquire); }
  bool Running() const { return running_.load(std::memory_order_acquire); }
  bool Transmitting() const { return transmitting_.load(std::memory_order_acquire); }
  bool Closing() const { return closing_.load(std::memory_order_acquire); }
  std::uint32_t FramesSent() const { return framesSent_.load(); }
  // The last voice thread's result, once it ended.
  int ThreadResult() const { return threadResult_.load(); }
  bool ThreadEnded() const { return threadEnded_.load(std::memory_order_acquire); }

  // ---- The voice thread's parts ----
  int ThreadMain();
  // 0 with the stream open, or the failure (its lines printed).
  int OpenStream();
  // The device count (the configured names resolved to indexes), or -10000.
  int ResolveDevices();
  int InputDevice() const { return inputDevice_; }
  int OutputDevice() const { return outputDevice_; }
  // One round of the stream loop: push-to-talk and, while held, the recipients.
  void PollPushToTalk();

  // Fills the device lists; the device count, -1 / -2 without a list, -10000 without devices.
  int FillDeviceLists(VoiceDeviceList* inputs, VoiceDeviceList* outputs);
  std::string DefaultInputLabel() const;
  std::string DefaultOutputLabel() const;

  // ---- The audio callback's parts ----
  int StreamCallback(const std::int16_t* input, std::int16_t* output, unsigned long frameCount);
  int SendToFrequency(std::span<const std::uint8_t> frame);

  // ---- Received voice (the node way's thread) ----
  void PlayReceived(std::span<const std::uint8_t> frame);
  PlaybackFifo& Fifo() { return fifo_; }

 private:
  static int CallbackEntry(const std::int16_t* input, std::int16_t* output, unsigned long frameCount,
                           void* context);
  void JoinThread();
  bool ResolveStreamDevice(bool input, AudioStreamParameters& out);
  void FailStream(int error, const char* caller, int inputIndex, int outputIndex);
  std::string DeviceName(int device);

  AudioLibrary& audio_;
  VoiceOutput& output_;
  VoiceNodeLink& node_;
  WayLinkTest linkUp_;

  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequest_{false};
  std::atomic<bool> transmitting_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> started_{false};
  std::atomic<float> inputGain_{1.0F};
  std::atomic<float> outputGain_{1.0F};
  std::atomic<float> inputDb_{0.0F};
  std::atomic<float> outputDb_{0.0F};
  std::atomic<std::uint32_t> keys_{0};
  std::atomic<std::uint32_t> joystickMask_{0};
  std::atomic<std::uint32_t> framesSent_{0};
  std::atomic<int> threadResult_{0};
  std::atomic<bool> threadEnded_{false};

  // Voice thread (and the UI thread while it does not run).
  int inputDevice_ = kAudioNoDevice;
  int outputDevice_ = kAudioNoDevice;
  mutable std::mutex namesMutex_;
  std::string inputName_;
  std::string outputName_;
  std::string defaultInputLabel_;
  std::string defaultOutputLabel_;

  // Audio callback: the encoder lives from before the stream opens until after it closed.
  std::unique_ptr<AmrEncoder> encoder_;
  AmrFrame encoded_{};
  LatestValue<VoiceAddressing> addressing_;

  // Received voice: the decoder is published and withdrawn under this lock,
  // and the FIFO's writer side is reset only under it.
  std::mutex receiveMutex_;
  std::unique_ptr<AmrDecoder> decoder_;
  PlaybackFifo fifo_;

  std::mutex threadMutex_;
  std::thread thread_;
  // The thread's end, for a bounded wait.
  std::mutex endedMutex_;
  std::condition_variable endedChanged_;
};
