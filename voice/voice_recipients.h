// Who hears the own transmission: every linked pilot that listens on the own
// transmit frequency and every linked controller on it.
//
// A pilot's voice flags: bit 0 excludes him from voice; his radio selection
// sets 0x04 (COM1), 0x08 (COM2) or 0x10 (both), so 0x14 listens on his first
// frequency and 0x18 on his second.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "voice/own_radios.h"
#include "voice/voice_packet.h"

struct WayRecord;

inline constexpr std::uint32_t kVoiceExcluded = 0x01;
inline constexpr std::uint32_t kVoiceListensFirst = 0x14;
inline constexpr std::uint32_t kVoiceListensSecond = 0x18;

using VoiceRecipientList = std::array<VoiceRecipient, kMaxVoiceRecipients>;

// The selected radio's frequency (COM2 when it is selected, else COM1 when it
// is), as a float from its text; none when no radio is selected or its text is empty.
std::optional<float> TransmitFrequency(const OwnRadios& radios);
// A frequency text of a record (8 bytes, not necessarily terminated) as a float.
float FrequencyValue(std::span<const char> text);
// Whether one record hears a transmission on `frequency`; `linkUp` is its way's link.
bool HearsVoice(const WayRecord& record, bool linkUp, float frequency);
// Whether a record's way has its link up.
using WayLinkTest = bool (*)(const WayRecord& record);
bool WayLinkUp(const WayRecord& record);
// Scans the 50 records under WayTableLock; the number of recipients written.
std::size_t ScanVoiceRecipients(float frequency, VoiceRecipientList& out, WayLinkTest linkUp = &WayLinkUp);
