#include "core/own_callsign.h"

#include <array>
#include <mutex>

#include "core/settings.h"

namespace {
std::mutex& CallsignLock() {
  static std::mutex lock;
  return lock;
}
std::array<char, kCallSignSize>& CallsignText() {
  static std::array<char, kCallSignSize> text{};
  return text;
}
}  // namespace

std::string OwnCallsign() {
  std::lock_guard guard(CallsignLock());
  return std::string(CallsignText().data());
}

void SetOwnCallsign(std::string_view callsign) {
  std::lock_guard guard(CallsignLock());
  CallsignText() = SettingText<kCallSignSize>(callsign);
}
