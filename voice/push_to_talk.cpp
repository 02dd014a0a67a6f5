#include "voice/push_to_talk.h"

#include "win/keys.h"

namespace {
bool KeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }
}  // namespace

bool PushToTalkHeld(std::uint32_t keys, std::uint32_t buttons, std::uint32_t buttonMask) {
  if ((buttons & buttonMask) != 0) return true;
  if (keys == kVoiceKeysCtrlWin) return KeyDown(VK_LCONTROL) && KeyDown(VK_LWIN);
  if (keys == kVoiceKeysCtrlCapital) return KeyDown(VK_LCONTROL) && KeyDown(VK_CAPITAL);
  return false;
}
