// Push-to-talk: a key chord by the "VoiceKeys" setting, or a joystick button.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kVoiceKeysCtrlWin = 0;      // Left CTRL + Left WIN
inline constexpr std::uint32_t kVoiceKeysCtrlCapital = 1;  // Left CTRL + CAPS LOCK; any other value: no chord

// Held when the chord of `keys` is down (key state table) or a button of
// `buttons` is in `buttonMask`.
bool PushToTalkHeld(std::uint32_t keys, std::uint32_t buttons, std::uint32_t buttonMask);
