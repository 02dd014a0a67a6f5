#include "testbed/aircraft_ledger.h"

#include <optional>

namespace {

// The callsign after the event's word, when the line starts with it.
std::optional<std::string> CallsignAfter(std::string_view line, std::string_view word) {
  if (line.rfind(word, 0) != 0) return std::nullopt;
  const std::string_view rest = line.substr(word.size());
  const std::string_view callsign = rest.substr(0, rest.find(' '));
  if (callsign.empty()) return std::nullopt;
  return std::string(callsign);
}

}  // namespace

void AircraftLedger::NextInstance() {
  std::lock_guard lock(mutex_);
  ++instance_;
}

void AircraftLedger::Take(std::string_view line) {
  std::lock_guard lock(mutex_);
  auto& events = byInstance_[instance_];
  if (const auto added = CallsignAfter(line, "add ")) {
    ++events[*added].adds;
  } else if (const auto removed = CallsignAfter(line, "remove ")) {
    if (line.find(" (link ended)") != std::string_view::npos) {
      ++events[*removed].linkEndRemoves;
    } else {
      ++events[*removed].removes;
    }
  } else if (const auto refused = CallsignAfter(line, "refuse ")) {
    ++events[*refused].refusals;
  }
}

int AircraftLedger::Instances() const {
  std::lock_guard lock(mutex_);
  return instance_ + 1;
}

AircraftEvents AircraftLedger::Of(int instance, const std::string& callsign) const {
  std::lock_guard lock(mutex_);
  const auto events = byInstance_.find(instance);
  if (events == byInstance_.end()) return {};
  const auto it = events->second.find(callsign);
  return it == events->second.end() ? AircraftEvents{} : it->second;
}

std::map<std::string, AircraftEvents> AircraftLedger::All(int instance) const {
  std::lock_guard lock(mutex_);
  const auto events = byInstance_.find(instance);
  return events == byInstance_.end() ? std::map<std::string, AircraftEvents>{} : events->second;
}
