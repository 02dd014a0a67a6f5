// What the chat leaves for the node way to send: the long-haul text (a private
// text to a pilot the client has no direct way to, relayed by the node) and
// the kick-out record that the kick-out command prepares. Any thread; each
// value is read and written whole under one lock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/text_records.h"

struct LongHaulText {
  std::string recipient;
  std::string text;
};

// Texts are cut to their record fields (15 and 511 characters).
void SetLongHaulText(std::string_view recipient, std::string_view text);
LongHaulText CurrentLongHaulText();

void SetKickoutRecord(const PrivateTextRecord& record);
// Nothing until the kick-out command prepared a record.
std::optional<PrivateTextRecord> CurrentKickoutRecord();

// Back to nothing prepared (start-up and tests).
void ClearLongHaul();
