// PlaySound: every call is recorded for tests; no sound is heard yet.
#pragma once

#include <string>
#include <vector>

#include "win/module.h"
#include "win/types.h"

constexpr DWORD SND_SYNC = 0x00000000;
constexpr DWORD SND_ASYNC = 0x00000001;
constexpr DWORD SND_NODEFAULT = 0x00000002;
constexpr DWORD SND_MEMORY = 0x00000004;
constexpr DWORD SND_LOOP = 0x00000008;
constexpr DWORD SND_NOSTOP = 0x00000010;
constexpr DWORD SND_PURGE = 0x00000040;
constexpr DWORD SND_NOWAIT = 0x00002000;
constexpr DWORD SND_ALIAS = 0x00010000;
constexpr DWORD SND_FILENAME = 0x00020000;
constexpr DWORD SND_RESOURCE = 0x00040004;

// A file sound that cannot be read answers FALSE with SND_NODEFAULT (nothing
// is played) and TRUE without it (the default sound stands in). A null name
// stops the current sound.
BOOL PlaySoundA(const char* sound, HMODULE module, DWORD flags);
inline BOOL PlaySound(const char* sound, HMODULE module, DWORD flags) { return PlaySoundA(sound, module, flags); }

struct PlayedSound {
  std::string name;  // empty for a stop
  DWORD flags = 0;
  BOOL result = FALSE;
};

// Oldest first.
std::vector<PlayedSound> PlayedSounds();
void ClearPlayedSounds();
