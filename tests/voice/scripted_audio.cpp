#include "scripted_audio.h"

#include <algorithm>

void ScriptedAudio::UseMicAndSpeaker() {
  hostApis = {{"ALSA", 0, 1}};
  devices = {{"Mic", 0, 1, 0, 0.1, 0.0}, {"Speaker", 0, 0, 2, 0.0, 0.2}};
  defaultInput = 0;
  defaultOutput = 1;
}

int ScriptedAudio::Drive(const std::int16_t* input, std::int16_t* output, unsigned long frameCount) {
  AudioStreamCallback callback = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(mutex_);
    callback = callback_;
    context = context_;
  }
  if (callback == nullptr) return -100;
  return callback(input, output, frameCount, context);
}

int ScriptedAudio::Initialize() {
  ++initialized;
  std::unique_lock lock(mutex_);
  released_.wait(lock, [this] { return !holdInitialize.load(); });
  return initializeError;
}

void ScriptedAudio::ReleaseInitialize() {
  {
    std::lock_guard lock(mutex_);
    holdInitialize = false;
  }
  released_.notify_all();
}

int ScriptedAudio::Terminate() {
  ++terminated;
  return kAudioNoError;
}

int ScriptedAudio::DeviceCount() { return static_cast<int>(devices.size()); }

std::optional<AudioDeviceInfo> ScriptedAudio::DeviceInfo(int device) {
  if (device < 0 || device >= static_cast<int>(devices.size())) return std::nullopt;
  return devices[static_cast<std::size_t>(device)];
}

std::optional<AudioHostApiInfo> ScriptedAudio::HostApiInfo(int hostApi) {
  if (hostApi < 0 || hostApi >= static_cast<int>(hostApis.size())) return std::nullopt;
  return hostApis[static_cast<std::size_t>(hostApi)];
}

int ScriptedAudio::OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output, double rate,
                              unsigned long frames, AudioStreamCallback callback, void* context) {
  if (openError != kAudioNoError) return openError;
  std::lock_guard lock(mutex_);
  inputParameters = input;
  outputParameters = output;
  sampleRate = rate;
  framesPerBuffer = frames;
  callback_ = callback;
  context_ = context;
  ++opened;
  return kAudioNoError;
}

int ScriptedAudio::StartStream() {
  if (startError != kAudioNoError) return startError;
  std::lock_guard lock(mutex_);
  started_ = true;
  return kAudioNoError;
}

int ScriptedAudio::IsStreamActive() {
  std::lock_guard lock(mutex_);
  return started_ ? activeAnswer.load() : 0;
}

int ScriptedAudio::CloseStream() {
  std::lock_guard lock(mutex_);
  callback_ = nullptr;
  context_ = nullptr;
  started_ = false;
  ++closed;
  return kAudioNoError;
}

void ScriptedAudio::Sleep(long) {
  ++sleeps;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void RecordingVoiceOutput::Add(Piece piece) {
  std::lock_guard lock(mutex_);
  pieces_.push_back(std::move(piece));
}

std::vector<RecordingVoiceOutput::Piece> RecordingVoiceOutput::Pieces() const {
  std::lock_guard lock(mutex_);
  return pieces_;
}

std::vector<std::string> RecordingVoiceOutput::Lines() const {
  std::vector<std::string> lines;
  for (const Piece& piece : Pieces()) {
    if (piece.newLine || lines.empty()) {
      lines.push_back(piece.text);
    } else {
      lines.back() += piece.text;
    }
  }
  return lines;
}

bool RecordingVoiceOutput::HasLine(const std::string& line) const { return CountLine(line) > 0; }

int RecordingVoiceOutput::CountLine(const std::string& line) const {
  const std::vector<std::string> lines = Lines();
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool RecordingNodeLink::TryPost(std::span<const std::uint8_t> packet) {
  if (queueFull) {
    ++refused;
    return false;
  }
  std::lock_guard lock(mutex_);
  packets_.emplace_back(packet.begin(), packet.end());
  return true;
}

std::vector<std::vector<std::uint8_t>> RecordingNodeLink::Packets() const {
  std::lock_guard lock(mutex_);
  return packets_;
}
