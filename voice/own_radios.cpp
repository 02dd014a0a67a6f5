#include "voice/own_radios.h"

#include <atomic>

namespace {
std::atomic<OwnRadiosReader> g_reader{nullptr};
}  // namespace

void SetOwnRadiosReader(OwnRadiosReader reader) { g_reader.store(reader, std::memory_order_release); }

OwnRadios ReadOwnRadios() {
  const OwnRadiosReader reader = g_reader.load(std::memory_order_acquire);
  return reader != nullptr ? reader() : OwnRadios{};
}
