#include "voice/sound_system_messages.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <mutex>

namespace {
void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void DropJackMessage(const char*) {}
}  // namespace

void QuietSoundSystemMessages() {
  static std::once_flag once;
  std::call_once(once, [] {
    snd_lib_error_set_handler(DropAlsaMessage);
    jack_set_error_function(DropJackMessage);
    jack_set_info_function(DropJackMessage);
  });
}
