#include "win/sound.h"

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

namespace {

struct SoundLog {
  std::mutex mutex;
  std::vector<PlayedSound> played;
};

// Never destroyed: a worker may play a sound while the program ends.
SoundLog& Log() {
  static SoundLog* log = new SoundLog();
  return *log;
}

// Bounded, so a sound played in a loop for hours cannot grow the log without end.
constexpr std::size_t kLogLimit = 10'000;

bool ReadableFile(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && S_ISREG(info.st_mode) && ::access(path, R_OK) == 0;
}

}  // namespace

BOOL PlaySoundA(const char* sound, HMODULE, DWORD flags) {
  // SND_RESOURCE shares its low bit with SND_MEMORY.
  const bool memory = (flags & SND_RESOURCE) == SND_MEMORY;
  BOOL result = TRUE;
  if (sound != nullptr && !memory && (flags & SND_FILENAME) != 0 && !ReadableFile(sound)) {
    result = (flags & SND_NODEFAULT) != 0 ? FALSE : TRUE;
  }
  // A memory sound is not a name: no bytes are read from a buffer of unknown size.
  std::string name = sound == nullptr ? std::string() : memory ? "<memory>" : std::string(sound);
  SoundLog& log = Log();
  std::lock_guard lock(log.mutex);
  if (log.played.size() >= kLogLimit) log.played.erase(log.played.begin());
  log.played.push_back(PlayedSound{std::move(name), flags, result});
  return result;
}

std::vector<PlayedSound> PlayedSounds() {
  std::lock_guard lock(Log().mutex);
  return Log().played;
}

void ClearPlayedSounds() {
  std::lock_guard lock(Log().mutex);
  Log().played.clear();
}
