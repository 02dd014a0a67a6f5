// The audio library on the machine's sound system, through PortAudio.
#pragma once

#include "voice/audio_library.h"

class PortAudioLibrary final : public AudioLibrary {
 public:
  PortAudioLibrary() = default;
  ~PortAudioLibrary() override;
  PortAudioLibrary(const PortAudioLibrary&) = delete;
  PortAudioLibrary& operator=(const PortAudioLibrary&) = delete;

  int Initialize() override;
  int Terminate() override;
  int DeviceCount() override;
  std::optional<AudioDeviceInfo> DeviceInfo(int device) override;
  std::optional<AudioHostApiInfo> HostApiInfo(int hostApi) override;
  int DefaultInputDevice() override;
  int DefaultOutputDevice() override;
  int OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output, double sampleRate,
                 unsigned long framesPerBuffer, AudioStreamCallback callback, void* context) override;
  int StartStream() override;
  int IsStreamActive() override;
  int CloseStream() override;
  std::string ErrorText(int error) override;
  void Sleep(long milliseconds) override;

  // The library's callback lands here and goes on to the one given to OpenStream.
  static int Forward(PortAudioLibrary* self, const void* input, void* output, unsigned long frameCount);

 private:

  void* stream_ = nullptr;
  AudioStreamCallback callback_ = nullptr;
  void* context_ = nullptr;
};
