// The audio library as the voice engine uses it: device lists and defaults,
// one full-duplex stream driven by a callback on the library's own thread.
// The program uses PortAudio (portaudio_library.h); tests script a device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr int kAudioNoError = 0;
// A device index that names no device (also the library's "no default").
inline constexpr int kAudioNoDevice = -1;
// Callback answers.
inline constexpr int kAudioContinue = 0;
inline constexpr int kAudioComplete = 1;

struct AudioDeviceInfo {
  std::string name;  // UTF-8, as the library gives it
  int hostApi = 0;
  int maxInputChannels = 0;
  int maxOutputChannels = 0;
  double defaultHighInputLatency = 0.0;
  double defaultHighOutputLatency = 0.0;
};

struct AudioHostApiInfo {
  std::string name;
  int defaultInputDevice = kAudioNoDevice;
  int defaultOutputDevice = kAudioNoDevice;
};

struct AudioStreamParameters {
  int device = kAudioNoDevice;
  int channelCount = 1;
  double suggestedLatency = 0.0;
};

// Signed 16-bit samples, one channel; either side may be null. Runs on the
// library's thread: it must neither block nor wait.
using AudioStreamCallback = int (*)(const std::int16_t* input, std::int16_t* output, unsigned long frameCount,
                                    void* context);

class AudioLibrary {
 public:
  virtual ~AudioLibrary() = default;

  // kAudioNoError or a negative library error.
  virtual int Initialize() = 0;
  virtual int Terminate() = 0;
  // The number of devices, or a negative library error.
  virtual int DeviceCount() = 0;
  virtual std::optional<AudioDeviceInfo> DeviceInfo(int device) = 0;
  virtual std::optional<AudioHostApiInfo> HostApiInfo(int hostApi) = 0;
  virtual int DefaultInputDevice() = 0;
  virtual int DefaultOutputDevice() = 0;

  // Opens the one stream (16-bit samples, no clipping); kAudioNoError or an error.
  virtual int OpenStream(const AudioStreamParameters& input, const AudioStreamParameters& output, double sampleRate,
                         unsigned long framesPerBuffer, AudioStreamCallback callback, void* context) = 0;
  virtual int StartStream() = 0;
  // 1 while the stream runs, 0 once it stopped or completed, negative on an error.
  virtual int IsStreamActive() = 0;
  // Once this returns the callback runs no more.
  virtual int CloseStream() = 0;
  virtual std::string ErrorText(int error) = 0;
  virtual void Sleep(long milliseconds) = 0;
};
