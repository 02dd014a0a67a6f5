// Where the node way hands a received voice frame. The voice system sits above
// the network folder, so it registers its player here; without one the frame
// is dropped.
#pragma once

#include <cstdint>
#include <span>

using ReceivedVoiceHandler = void (*)(std::span<const std::uint8_t> frame);

// Any thread; null removes the handler.
void SetReceivedVoiceHandler(ReceivedVoiceHandler handler);
// The node way's thread: passes the frame on, or drops it.
void DeliverReceivedVoice(std::span<const std::uint8_t> frame);
