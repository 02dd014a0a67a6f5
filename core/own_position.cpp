#include "core/own_position.h"

#include <atomic>
#include <mutex>

namespace {
std::mutex& PositionLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

OwnPositionFix g_ownPosition;
std::atomic<bool> g_ownOnGround{true};
}  // namespace

OwnPositionFix OwnPosition() {
  std::lock_guard lock(PositionLock());
  return g_ownPosition;
}

void SetOwnPosition(const OwnPositionFix& fix) {
  std::lock_guard lock(PositionLock());
  g_ownPosition = fix;
}

bool OwnOnGround() { return g_ownOnGround.load(); }

void SetOwnOnGround(bool onGround) { g_ownOnGround = onGround; }
