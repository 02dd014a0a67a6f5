#include "testbed/plugin_ai.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace plugin_link {
namespace {

constexpr std::uint8_t kCodePosition = 30;
constexpr std::uint8_t kCodeFullState = 31;
constexpr std::uint8_t kCodeLastRefresh = 37;

std::uint16_t U16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}
float F32(std::span<const std::uint8_t> in, std::size_t at) { return std::bit_cast<float>(U32(in, at)); }
double F64(std::span<const std::uint8_t> in, std::size_t at) {
  const std::uint64_t low = U32(in, at);
  const std::uint64_t high = U32(in, at + 4);
  return std::bit_cast<double>(low | (high << 32));
}
// A text field ends at its first NUL or at the field's end.
std::string Text(std::span<const std::uint8_t> in, std::size_t at, std::size_t width) {
  const auto field = in.subspan(at, width);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

std::string Place(const AiAircraft& a) {
  std::array<char, 96> text{};
  std::snprintf(text.data(), text.size(), "%.6f %.6f %.0f", a.latitude, a.longitude, a.altitudeFeet);
  return text.data();
}

}  // namespace

bool ReadAddPeer(std::span<const std::uint8_t> body, AiAircraft& out) {
  if (body.size() < kAddPeerBodySize) return false;
  out = AiAircraft{};
  out.simulatorCode = U32(body, 8);
  out.way = U16(body, 16);
  out.acfSlot = U16(body, 18);
  out.callsign = Text(body, 24, 16);
  out.engineValue = static_cast<std::int32_t>(U32(body, 40));
  out.model = Text(body, 44, 112);
  out.classCode = Text(body, 156, 8);
  out.icaoType = Text(body, 164, 12);
  out.latitude = F64(body, 176);
  out.longitude = F64(body, 184);
  out.altitudeFeet = F64(body, 192);
  out.pitch = F32(body, 200);
  out.bank = F32(body, 204);
  out.heading = F32(body, 208);
  out.onGround = U16(body, 212);
  out.groundSpeed = U16(body, 214);
  return true;
}

void PluginAiTraffic::SetRefuseAdds(bool refuse) {
  std::lock_guard lock(mutex_);
  refuse_ = refuse;
}

bool PluginAiTraffic::RefusesAdds() const {
  std::lock_guard lock(mutex_);
  return refuse_;
}

std::string PluginAiTraffic::Add(std::span<const std::uint8_t> body, bool& created, std::uint16_t& way) {
  created = false;
  way = body.size() >= 18 ? U16(body, 16) : 0;
  AiAircraft aircraft;
  if (!ReadAddPeer(body, aircraft)) return "refuse a short add (" + std::to_string(body.size()) + " bytes)";
  std::lock_guard lock(mutex_);
  if (refuse_) return "refuse " + aircraft.callsign;
  created = true;
  ++adds_;
  const std::string line = "add " + aircraft.callsign + " model " + aircraft.model + " at " + Place(aircraft);
  aircraft_[aircraft.way] = std::move(aircraft);
  return line;
}

std::optional<std::string> PluginAiTraffic::Refresh(std::uint8_t code, std::span<const std::uint8_t> body) {
  if (code < kCodePosition || code > kCodeLastRefresh || body.size() < 4) return std::nullopt;
  const std::uint32_t wayWord = code == kCodePosition ? (body.size() >= 12 ? U32(body, 8) : 0xFFFF'FFFFu) : U32(body, 0);
  std::lock_guard lock(mutex_);
  const auto it = aircraft_.find(static_cast<std::uint16_t>(wayWord));
  if (wayWord > 0xFFFF || it == aircraft_.end()) return std::nullopt;
  AiAircraft& a = it->second;
  if (code != kCodePosition) {
    if (code == kCodeFullState && body.size() >= kPeerFullStateBodySize) {
      for (std::size_t i = 0; i < a.controls.size(); ++i) a.controls[i] = F32(body, 8 + 4 * i);
      a.engineValue = static_cast<std::int32_t>(F32(body, 60));
    }
    a.lastState[code] = std::vector<std::uint8_t>(body.begin(), body.end());
    return std::nullopt;
  }
  if (body.size() < kPeerPositionBodySize) return std::nullopt;
  a.positionFlags = U32(body, 12);
  a.latitude = F64(body, 16);
  a.longitude = F64(body, 24);
  a.altitudeFeet = F64(body, 32);
  a.pitch = F32(body, 40);
  a.bank = F32(body, 44);
  a.heading = F32(body, 48);
  a.onGround = U16(body, 52);
  a.groundSpeed = U16(body, 54);
  ++a.moves;
  return "move " + a.callsign + " to " + Place(a);
}

std::optional<std::string> PluginAiTraffic::Remove(std::uint32_t way) {
  std::lock_guard lock(mutex_);
  const auto it = aircraft_.find(static_cast<std::uint16_t>(way));
  if (way > 0xFFFF || it == aircraft_.end()) return std::nullopt;
  std::string line = "remove " + it->second.callsign;
  aircraft_.erase(it);
  ++removes_;
  return line;
}

std::vector<std::string> PluginAiTraffic::RemoveAll() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  for (const auto& [way, a] : aircraft_) lines.push_back("remove " + a.callsign + " (link ended)");
  removes_ += aircraft_.size();
  aircraft_.clear();
  return lines;
}

std::vector<AiAircraft> PluginAiTraffic::Aircraft() const {
  std::lock_guard lock(mutex_);
  std::vector<AiAircraft> out;
  for (const auto& [way, a] : aircraft_) out.push_back(a);
  return out;
}

std::optional<AiAircraft> PluginAiTraffic::ByCallsign(const std::string& callsign) const {
  std::lock_guard lock(mutex_);
  for (const auto& [way, a] : aircraft_) {
    if (a.callsign == callsign) return a;
  }
  return std::nullopt;
}

std::size_t PluginAiTraffic::Adds() const {
  std::lock_guard lock(mutex_);
  return adds_;
}

std::size_t PluginAiTraffic::Removes() const {
  std::lock_guard lock(mutex_);
  return removes_;
}

}  // namespace plugin_link
