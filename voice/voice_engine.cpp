#include "voice/voice_engine.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "voice/push_to_talk.h"
#include "voice/voice_gain.h"
#include "voice/voice_output.h"
#include "win/codepage.h"

namespace {
std::string Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Formatted(const char* format, ...) {
  std::array<char, 512> text{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  return text.data();
}

std::string_view NameText(const std::array<char, kVoiceNameSize>& field) {
  return std::string_view(field.data(), static_cast<std::size_t>(std::find(field.begin(), field.end(), '\0') - field.begin()));
}

std::string CutName(std::string_view name) {
  return std::string(name.substr(0, std::min(name.size(), kVoiceDeviceNameSize - 1)));
}
}  // namespace

std::string DeviceNameFromLabel(std::string_view label) {
  const std::size_t at = label.rfind("[ Default ");
  if (at == std::string_view::npos) return std::string(label);
  const std::string_view tail = label.substr(at);
  if (!tail.ends_with(" Input ]") && !tail.ends_with(" Output ]")) return std::string(label);
  std::size_t cut = at;
  // The system's own defaults are written with a space before the bracket.
  const bool plain = tail == "[ Default Input ]" || tail == "[ Default Output ]";
  if (plain && cut > 0 && label[cut - 1] == ' ') --cut;
  return std::string(label.substr(0, cut));
}

VoiceEngine::VoiceEngine(AudioLibrary& audio, VoiceOutput& output, VoiceNodeLink& node, WayLinkTest linkUp)
    : audio_(audio), output_(output), node_(node), linkUp_(linkUp != nullptr ? linkUp : &WayLinkUp) {}

VoiceEngine::~VoiceEngine() { Stop(); }

void VoiceEngine::SetDeviceNames(std::string_view input, std::string_view output) {
  std::lock_guard lock(namesMutex_);
  inputName_ = CutName(input);
  outputName_ = CutName(output);
}

void VoiceEngine::SetInputLevelDb(float db) {
  if (Closing()) return;
  inputDb_.store(db);
  inputGain_.store(GainFromDb(db));
}

void VoiceEngine::SetOutputLevelDb(float db) {
  if (Closing()) return;
  outputDb_.store(db);
  outputGain_.store(GainFromDb(db));
}

// ---- Life cycle ----

void VoiceEngine::JoinThread() {
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

int VoiceEngine::Start() {
  if (Started()) return 0;
  JoinThread();
  fifo_.Prepare();
  {
    std::lock_guard lock(receiveMutex_);
    fifo_.Reset();
  }
  closing_.store(false, std::memory_order_release);
  transmitting_.store(false, std::memory_order_release);
  threadEnded_.store(false, std::memory_order_release);
  {
    std::lock_guard lock(threadMutex_);
    try {
      thread_ = std::thread([this] {
        threadResult_.store(ThreadMain());
        std::lock_guard ended(endedMutex_);
        threadEnded_.store(true, std::memory_order_release);
        endedChanged_.notify_all();
      });
    } catch (const std::system_error&) {
      return -2;
    }
  }
  started_.store(true, std::memory_order_release);
  return 0;
}

void VoiceEngine::Stop() {
  stopRequest_.store(true, std::memory_order_release);
  if (Started()) closing_.store(true, std::memory_order_release);
  JoinThread();
  started_.store(false, std::memory_order_release);
  stopRequest_.store(false, std::memory_order_release);
}

bool VoiceEngine::StopWithin(std::chrono::milliseconds bound) {
  stopRequest_.store(true, std::memory_order_release);
  if (Started()) closing_.store(true, std::memory_order_release);
  {
    std::unique_lock lock(endedMutex_);
    const bool hasThread = [&] {
      std::lock_guard threadLock(threadMutex_);
      return thread_.joinable();
    }();
    if (hasThread && !endedChanged_.wait_for(lock, bound, [&] { return ThreadEnded(); })) return false;
  }
  JoinThread();
  started_.store(false, std::memory_order_release);
  stopRequest_.store(false, std::memory_order_release);
  return true;
}

int VoiceEngine::Restart() {
  // The thread is waited for, not only its loop: one still opening its stream
  // would otherwise miss the stop request cleared below and run on beside the new one.
  Stop();
  return Start();
}

int VoiceEngine::RestartWithin(std::chrono::milliseconds bound) {
  if (!StopWithin(bound)) {
    output_.Line(kColourError, "[OVS] The VoiceSystem did not stop: it is not started again");
    return kVoiceRestartNotStopped;
  }
  return Start();
}

// ---- Voice thread ----

int VoiceEngine::ThreadMain() {
  {
    std::unique_ptr<AmrEncoder> encoder(new (std::nothrow) AmrEncoder());
    if (encoder == nullptr || !encoder->Valid()) {
      output_.Box("Error", "ERR_AUDIO_INIT:E.");
      return kVoiceThreadNoEncoder;
    }
    std::unique_ptr<AmrDecoder> decoder(new (std::nothrow) AmrDecoder());
    if (decoder == nullptr || !decoder->Valid()) {
      output_.Box("Error", "ERR_AUDIO_INIT:D.");
      return kVoiceThreadNoDecoder;
    }
    framesSent_.store(0);
    encoded_.fill(0);
    encoder_ = std::move(encoder);
    {
      std::lock_guard lock(receiveMutex_);
      decoder_ = std::move(decoder);
    }
  }
  // Released in this order on every way out: the stream and the audio
  // library first (no callback runs after that), then the codec states.
  struct CodecRelease {
    VoiceEngine& engine;
    ~CodecRelease() {
      engine.transmitting_.store(false, std::memory_order_release);
      engine.encoder_.reset();
      std::lock_guard lock(engine.receiveMutex_);
      engine.decoder_.reset();
    }
  };
  struct StreamRelease {
    AudioLibrary& audio;
    bool open = false;
    ~StreamRelease() {
      if (!open) return;
      audio.CloseStream();
      audio.Terminate();
    }
  };
  int result = 0;
  {
    CodecRelease codecs{*this};
    StreamRelease stream{audio_};
    const int opened = OpenStream();
    if (opened != 0) {
      output_.Line(kColourError, Formatted("[PAU] VoiceSystem Record callback init failed(%d)", opened));
      return kVoiceThreadNoStream;
    }
    stream.open = true;
    const int startedStream = audio_.StartStream();
    if (startedStream != kAudioNoError) {
      output_.Line(kColourError, Formatted("[PAU] AudioStreamStart failed(%d)", startedStream));
      return kVoiceThreadStreamNotStarted;
    }
    running_.store(true, std::memory_order_release);
    // Only a clear "active" keeps the loop: an error answer ends it too.
    while (audio_.IsStreamActive() == 1 && !stopRequest_.load(std::memory_order_acquire)) {
      audio_.Sleep(kVoicePollMs);
      PollPushToTalk();
    }
  }
  running_.store(false, std::memory_order_release);
  return result;
}

void VoiceEngine::PollPushToTalk() {
  const bool held = PushToTalkHeld(keys_.load(), g_joystickButtons.load(), joystickMask_.load());
  if (held) {
    // The recipients are copied here, so that the audio callback never takes WayTableLock.
    VoiceAddressing& addressing = addressing_.Staging();
    const std::optional<float> frequency = TransmitFrequency(ReadOwnRadios());
    addressing.haveFrequency = frequency.has_value();
    addressing.frequency = frequency.value_or(0.0F);
    addressing.count = frequency.has_value() ? ScanVoiceRecipients(*frequency, addressing.recipients, linkUp_) : 0;
    addressing.callsign = MakeVoiceRecipient(OwnCallsign(), {}).callsign;
    addressing_.Publish();
  }
  transmitting_.store(held, std::memory_order_release);
}

std::string VoiceEngine::DeviceName(int device) {
  if (device < 0) return {};
  const std::optional<AudioDeviceInfo> info = audio_.DeviceInfo(device);
  return info.has_value() ? Utf8ToCp1252(info->name) : std::string();
}

int VoiceEngine::ResolveDevices() {
  const int count = audio_.DeviceCount();
  inputDevice_ = kAudioNoDevice;
  outputDevice_ = kAudioNoDevice;
  if (count <= 0) return kVoiceNoDevices;
  std::string input;
  std::string output;
  {
    std::lock_guard lock(namesMutex_);
    inputName_ = DeviceNameFromLabel(inputName_);
    outputName_ = DeviceNameFromLabel(outputName_);
    input = inputName_;
    output = outputName_;
  }
  for (int device = 0; device < count; ++device) {
    const std::optional<AudioDeviceInfo> info = audio_.DeviceInfo(device);
    if (!info.has_value()) continue;
    const std::string name = Utf8ToCp1252(info->name);
    // A device can serve a side only when it has channels for it.
    if (!input.empty() && name == input && info->maxInputChannels > 0) inputDevice_ = device;
    if (!output.empty() && name == output && info->maxOutputChannels > 0) outputDevice_ = device;
  }
  return count;
}

bool VoiceEngine::ResolveStreamDevice(bool input, AudioStreamParameters& out) {
  const int configured = input ? inputDevice_ : outputDevice_;
  const int device = configured != kAudioNoDevice ? configured
                     : input                      ? audio_.DefaultInputDevice()
                                                  : audio_.DefaultOutputDevice();
  if (device < 0) return false;
  const std::optional<AudioDeviceInfo> info = audio_.DeviceInfo(device);
  if (!info.has_value()) return false;
  out.device = device;
  out.channelCount = 1;
  out.suggestedLatency = input ? info->defaultHighInputLatency : info->defaultHighOutputLatency;
  return true;
}

void VoiceEngine::FailStream(int error, const char* caller, int inputIndex, int outputIndex) {
  audio_.Terminate();
  if (error == kAudioNoError) return;
  output_.Line(kColourError, "[PAU] An error occured while using the VoiceSystem stream");
  output_.Line(kColourError, Formatted("\t[PAU] Error number: %d, Caller %s, indexes (%d / %d)", error, caller,
                                       inputIndex, outputIndex));
  output_.Line(kColourError, audio_.ErrorText(error));
}

int VoiceEngine::OpenStream() {
  const int initialised = audio_.Initialize();
  if (initialised != kAudioNoError) {
    FailStream(initialised, "ERROVS_00", inputDevice_, outputDevice_);
    return initialised;
  }
  const int count = ResolveDevices();
  if (count < 1) {
    audio_.Terminate();
    output_.Line(kColourError, "[OVS] An error occured while using the VoiceSystem stream");
    output_.Line(kColourError, Formatted("\t[OVS] Error number: %d", count));
    return kVoiceStreamNoDevices;
  }
  // The names of the devices that will be opened (the default ones when none is configured).
  const int shownInput = inputDevice_ != kAudioNoDevice ? inputDevice_ : audio_.DefaultInputDevice();
  const int shownOutput = outputDevice_ != kAudioNoDevice ? outputDevice_ : audio_.DefaultOutputDevice();
  output_.Line(kColourNormal, "Voice Input on ");
  output_.Text(kColour29, DeviceName(shownInput));
  output_.Line(kColourNormal, "Voice Output on ");
  output_.Text(kColour29, DeviceName(shownOutput));
  output_.Line(kColourNormal, "To change Voice Device : menu -> Options -> Main setup -> Settings");

  AudioStreamParameters input;
  if (!ResolveStreamDevice(true, input)) {
    output_.Line(kColourError, "[PAU] Error: No default input device.");
    FailStream(kAudioNoError, "ERROVS_10", inputDevice_, outputDevice_);
    return kVoiceStreamNoDefaultDevice;
  }
  AudioStreamParameters output;
  if (!ResolveStreamDevice(false, output)) {
    output_.Line(kColourError, "[PAU] Error: No default output device.");
    FailStream(kAudioNoError, "ERROVS_20", inputDevice_, outputDevice_);
    return kVoiceStreamNoDefaultDevice;
  }
  const int opened =
      audio_.OpenStream(input, output, kVoiceSampleRate, kVoiceFramesPerBuffer, &VoiceEngine::CallbackEntry, this);
  if (opened != kAudioNoError) {
    FailStream(opened, "ERROVS_30", input.device, output.device);
    return opened;
  }
  return 0;
}

int VoiceEngine::FillDeviceLists(VoiceDeviceList* inputs, VoiceDeviceList* outputs) {
  if (inputs == nullptr) return -1;
  if (outputs == nullptr) return -2;
  const int count = audio_.DeviceCount();
  if (count <= 0) return kVoiceNoDevices;
  inputs->Clear();
  outputs->Clear();
  inputs->SetRedraw(false);
  outputs->SetRedraw(false);
  const int defaultInput = audio_.DefaultInputDevice();
  const int defaultOutput = audio_.DefaultOutputDevice();
  std::string defaultInputLabel;
  std::string defaultOutputLabel;
  for (int device = 0; device < count; ++device) {
    const std::optional<AudioDeviceInfo> info = audio_.DeviceInfo(device);
    if (!info.has_value()) continue;
    const std::optional<AudioHostApiInfo> host = audio_.HostApiInfo(info->hostApi);
    const std::string hostName = host.has_value() ? host->name : std::string();
    std::string suffix;
    if (device == defaultInput) {
      suffix = " [ Default Input ]";
    } else if (host.has_value() && device == host->defaultInputDevice) {
      suffix = "[ Default " + hostName + " Input ]";
    }
    if (device == defaultOutput) {
      suffix = " [ Default Output ]";
    } else if (host.has_value() && device == host->defaultOutputDevice) {
      suffix = "[ Default " + hostName + " Output ]";
    }
    const std::string label = Utf8ToCp1252(info->name) + suffix;
    if (device == defaultInput) defaultInputLabel = label;
    if (device == defaultOutput) defaultOutputLabel = label;
    if (info->maxInputChannels > 0) inputs->Add(label);
    if (info->maxOutputChannels > 0) outputs->Add(label);
  }
  {
    std::lock_guard lock(namesMutex_);
    defaultInputLabel_ = defaultInputLabel;
    defaultOutputLabel_ = defaultOutputLabel;
  }
  inputs->SetRedraw(true);
  outputs->SetRedraw(true);
  return count;
}

std::string VoiceEngine::DefaultInputLabel() const {
  std::lock_guard lock(namesMutex_);
  return defaultInputLabel_;
}

std::string VoiceEngine::DefaultOutputLabel() const {
  std::lock_guard lock(namesMutex_);
  return defaultOutputLabel_;
}

// ---- Audio callback ----

int VoiceEngine::CallbackEntry(const std::int16_t* input, std::int16_t* output, unsigned long frameCount,
                               void* context) {
  return static_cast<VoiceEngine*>(context)->StreamCallback(input, output, frameCount);
}

int VoiceEngine::StreamCallback(const std::int16_t* input, std::int16_t* output, unsigned long frameCount) {
  // Only whole 20-ms frames are encoded; the library's buffer is read, never written.
  if (Transmitting() && input != nullptr && frameCount == kVoiceFrameSamples && encoder_ != nullptr) {
    VoiceSamples samples{};
    std::copy_n(input, kVoiceFrameSamples, samples.begin());
    const float gain = inputGain_.load();
    if (gain != 1.0F) ScaleSamples(samples, samples, gain);
    const std::size_t length = encoder_->Encode(samples, encoded_);
    if (length != 0) {
      SendToFrequency(std::span<const std::uint8_t>(encoded_.data(), length));
      framesSent_.fetch_add(1);
    }
  }
  if (output != nullptr) {
    const std::span<std::byte> bytes = std::as_writable_bytes(std::span<std::int16_t>(output, frameCount));
    const std::span<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    // Fewer bytes than the block asks for: silence, and what is there stays for later.
    if (!fifo_.Ready() || !fifo_.Read(out)) std::fill(out.begin(), out.end(), std::uint8_t{0});
  }
  return Closing() ? kAudioComplete : kAudioContinue;
}

int VoiceEngine::SendToFrequency(std::span<const std::uint8_t> frame) {
  if (Closing()) return kVoiceSendClosing;
  if (!Started()) return kVoiceSendNotStarted;
  const VoiceAddressing& addressing = addressing_.Latest();
  if (!addressing.haveFrequency) return kVoiceSendNoFrequency;
  g_transmitLampCountdown.store(kTransmitActivityTicks);
  if (addressing.count == 0 || !node_.Connected()) return kVoiceSendDone;
  SendVoiceFrame(node_, frame, std::span<const VoiceRecipient>(addressing.recipients.data(), addressing.count),
                 NameText(addressing.callsign));
  return kVoiceSendDone;
}

// ---- Received voice ----

void VoiceEngine::PlayReceived(std::span<const std::uint8_t> frame) {
  if (!Started() || !fifo_.Ready()) return;
  // A frame of one byte is a header without speech; one past 32 bytes is no AMR-NB frame.
  if (frame.size() <= 1 || frame.size() > kMaxAmrFrameBytes) return;
  std::optional<std::uint32_t> level;
  {
    std::lock_guard lock(receiveMutex_);
    if (decoder_ == nullptr) return;
    VoiceSamples samples{};
    if (!decoder_->Decode(frame, samples)) return;
    ScaleSamples(samples, samples, outputGain_.load());
    const std::span<const std::byte> bytes = std::as_bytes(std::span<const std::int16_t>(samples));
    fifo_.Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                level);
  }
  if (level.has_value()) output_.Line(kColourError, Formatted("Voice buffer level %d", static_cast<int>(*level)));
}
