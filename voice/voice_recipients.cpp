#include "voice/voice_recipients.h"

#include <algorithm>
#include <cstdlib>

#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

std::optional<float> TransmitFrequency(const OwnRadios& radios) {
  const std::string* text = nullptr;
  if (radios.com2Selected) {
    text = &radios.com2Text;
  } else if (radios.com1Selected) {
    text = &radios.com1Text;
  }
  if (text == nullptr || text->empty()) return std::nullopt;
  return static_cast<float>(std::atof(text->c_str()));
}

float FrequencyValue(std::span<const char> text) {
  std::array<char, 32> copy{};
  const std::size_t n = std::min(text.size(), copy.size() - 1);
  std::copy_n(text.begin(), n, copy.begin());
  return static_cast<float>(std::atof(copy.data()));
}

bool HearsVoice(const WayRecord& record, bool linkUp, float frequency) {
  if (!linkUp) return false;
  if (record.peerKind == 'P') {
    if ((record.voiceFlags & kVoiceExcluded) != 0) return false;
    return ((record.voiceFlags & kVoiceListensFirst) != 0 && FrequencyValue(record.frequencyA) == frequency) ||
           ((record.voiceFlags & kVoiceListensSecond) != 0 && FrequencyValue(record.frequencyB) == frequency);
  }
  if (record.peerKind == 'A') return FrequencyValue(record.frequencyA) == frequency;
  return false;
}

bool WayLinkUp(const WayRecord& record) { return record.way != nullptr && record.way->IsConnected(); }

std::size_t ScanVoiceRecipients(float frequency, VoiceRecipientList& out, WayLinkTest linkUp) {
  std::size_t count = 0;
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) {
    if (!HearsVoice(record, linkUp(record), frequency)) continue;
    out[count++] = MakeVoiceRecipient(FieldText(record.callsign), FieldText(record.serverName));
    if (count == out.size()) break;
  }
  return count;
}
