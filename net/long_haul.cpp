#include "net/long_haul.h"

#include <mutex>

namespace {
struct LongHaulState {
  std::mutex lock;
  LongHaulText text;
  std::optional<PrivateTextRecord> kickout;
};

LongHaulState& State() {
  // Never destroyed: way threads are not joined at exit.
  static auto* state = new LongHaulState();
  return *state;
}

std::string Cut(std::string_view text, std::size_t field) { return std::string(text.substr(0, field - 1)); }
}  // namespace

void SetLongHaulText(std::string_view recipient, std::string_view text) {
  LongHaulText value{Cut(recipient, kRecordCallsignSize), Cut(text, kRecordTextSize)};
  std::lock_guard guard(State().lock);
  State().text = std::move(value);
}

LongHaulText CurrentLongHaulText() {
  std::lock_guard guard(State().lock);
  return State().text;
}

void SetKickoutRecord(const PrivateTextRecord& record) {
  std::lock_guard guard(State().lock);
  State().kickout = record;
}

std::optional<PrivateTextRecord> CurrentKickoutRecord() {
  std::lock_guard guard(State().lock);
  return State().kickout;
}

void ClearLongHaul() {
  std::lock_guard guard(State().lock);
  State().text = LongHaulText{};
  State().kickout.reset();
}
