#include "voice/portaudio_library.h"

#include <portaudio.h>

#include "voice/sound_system_messages.h"

namespace {
PaStream* AsStream(void* stream) { return static_cast<PaStream*>(stream); }

int Callback(const void* input, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo* timeInfo,
             PaStreamCallbackFlags statusFlags, void* self) {
  auto* library = static_cast<PortAudioLibrary*>(self);
  return library != nullptr ? PortAudioLibrary::Forward(library, input, output, frameCount) : paComplete;
}
}  // namespace

PortAudioLibrary::~PortAudioLibrary() {
  if (stream_ != nullptr) Pa_CloseStream(AsStream(stream_));
}

int PortAudioLibrary::Forward(PortAudioLibrary* self, const void* input, void* output, unsigned long frameCount) {
  if (self->callback_ == nullptr) return paComplete;
  return self->callback_(static_cast<const std::int16_t*>(input), static_cast<std::int16_t*>(output), frameCount,
                         self->context_);
}

int PortAudioLibrary::Initialize() {
  QuietSoundSystemMessages();
  return Pa_Initialize();
}

int PortAudioLibrary::Terminate() { return Pa_Terminate(); }

int PortAudioLibrary::DeviceCount() { return Pa_GetDeviceCount(); }

std::optional<AudioDeviceInfo> PortAudioLibrary::DeviceInfo(int device) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  if (info == nullptr) return std::nullopt;
  AudioDeviceInfo out;
  out.name = info->name != nullptr ? info->name : "";
  out.hostApi = info->hostApi;
  out.maxInputChannels = info->maxInputChannels;
  out.maxOutputChannels = info->maxOutputChannels;
  out.defaultHighInputLatency = info->defaultHighInputLatency;
  out.defaultHighOutputLatency = info->defaultHighOutputLatency;
  return out;
}

std::optional<AudioHostApiInfo> PortAudioLibrary::HostApiInfo(int hostApi) {
  const PaHostApiInfo* info = Pa_GetHostApiInfo(hostApi);
  if (info == nullptr) return std::nullopt;
  AudioHostApiInfo out;
  out.name = info->name != nullptr ? info->name : "";
  out.defaultInputDevice = info->defaultInputDevice;
  out.defaultOutputDevice = info->defaultOutputDevice;
  return out;
}

int PortAudioLibrary::DefaultInputDevice() { return Pa_GetDefaultInputDevice(); }

int PortAudioLibrary::DefaultOutputDevice() { return Pa_GetDefaultOutputDevice(); }

int PortAudioLibrary::OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output,
                                 double sampleRate, unsigned long framesPerBuffer, AudioStreamCallback callback,
                                 void* context) {
  if (stream_ != nullptr) return paStreamIsNotStopped;
  PaStreamParameters in{};
  in.device = input.device;
  in.channelCount = input.channelCount;
  in.sampleFormat = paInt16;
  in.suggestedLatency = input.suggestedLatency;
  in.hostApiSpecificStreamInfo = nullptr;
  PaStreamParameters out{};
  out.device = output.device;
  out.channelCount = output.channelCount;
  out.sampleFormat = paInt16;
  out.suggestedLatency = output.suggestedLatency;
  out.hostApiSpecificStreamInfo = nullptr;
  callback_ = callback;
  context_ = context;
  PaStream* stream = nullptr;
  const PaError error = Pa_OpenStream(&stream, &in, &out, sampleRate, framesPerBuffer, paClipOff, &Callback, this);
  if (error != paNoError) {
    callback_ = nullptr;
    context_ = nullptr;
    return error;
  }
  stream_ = stream;
  return paNoError;
}

int PortAudioLibrary::StartStream() {
  return stream_ != nullptr ? Pa_StartStream(AsStream(stream_)) : paBadStreamPtr;
}

int PortAudioLibrary::IsStreamActive() {
  return stream_ != nullptr ? Pa_IsStreamActive(AsStream(stream_)) : paBadStreamPtr;
}

int PortAudioLibrary::CloseStream() {
  if (stream_ == nullptr) return paBadStreamPtr;
  const PaError error = Pa_CloseStream(AsStream(stream_));
  stream_ = nullptr;
  callback_ = nullptr;
  context_ = nullptr;
  return error;
}

std::string PortAudioLibrary::ErrorText(int error) {
  const char* text = Pa_GetErrorText(error);
  return text != nullptr ? text : "";
}

void PortAudioLibrary::Sleep(long milliseconds) { Pa_Sleep(milliseconds); }
