#include "net/received_voice_hook.h"

#include <atomic>

namespace {
std::atomic<ReceivedVoiceHandler> g_handler{nullptr};
}  // namespace

void SetReceivedVoiceHandler(ReceivedVoiceHandler handler) { g_handler.store(handler, std::memory_order_release); }

void DeliverReceivedVoice(std::span<const std::uint8_t> frame) {
  if (const ReceivedVoiceHandler handler = g_handler.load(std::memory_order_acquire)) handler(frame);
}
