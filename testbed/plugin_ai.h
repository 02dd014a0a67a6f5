// The plug-in stand-in's AI aircraft: what the client's add created, moved by
// the refresh records, gone with the removal or the end of the link. Each
// event gives one line for the stand-in's log:
//   "add DEMO02 model <title> at <lat> <lon> <alt>", "move DEMO02 to ...",
//   "refuse DEMO02", "remove DEMO02".
// Records are read field by field at the client's layout; a record shorter
// than its layout is ignored. Thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plugin_link {

inline constexpr std::size_t kAddPeerBodySize = 216;
inline constexpr std::size_t kPeerPositionBodySize = 64;
inline constexpr std::size_t kPeerFullStateBodySize = 76;

struct AiAircraft {
  std::uint16_t way = 0;
  std::uint16_t acfSlot = 0;
  std::uint32_t simulatorCode = 0;
  std::string callsign;
  std::string model;
  std::string classCode;
  std::string icaoType;
  std::int32_t engineValue = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  float pitch = 0.0F;    // as the record carries it (sign inverted)
  float bank = 0.0F;
  float heading = 0.0F;
  std::uint16_t onGround = 0;
  std::uint16_t groundSpeed = 0;
  std::uint32_t positionFlags = 0;
  std::array<float, 4> controls{};  // from the last full state
  std::uint64_t moves = 0;
  // The last body of every other refresh kind (codes 31 to 37).
  std::map<std::uint8_t, std::vector<std::uint8_t>> lastState;
};

// The add record's fields; false for a body shorter than 216 bytes.
bool ReadAddPeer(std::span<const std::uint8_t> body, AiAircraft& out);

class PluginAiTraffic {
 public:
  // The answer to the next adds: created (the default) or refused.
  void SetRefuseAdds(bool refuse);
  bool RefusesAdds() const;

  // An add: the aircraft kept unless adds are refused. The way for the
  // callback comes back in `way` (0 for a body too short to read).
  std::string Add(std::span<const std::uint8_t> body, bool& created, std::uint16_t& way);
  // A refresh record (codes 30 to 37) for a kept aircraft; the line of a
  // move, or nothing (another kind, an unknown way, a short body).
  std::optional<std::string> Refresh(std::uint8_t code, std::span<const std::uint8_t> body);
  // The removal; the line when the way had an aircraft.
  std::optional<std::string> Remove(std::uint32_t way);
  // The link ended: the simulator drops every aircraft of it.
  std::vector<std::string> RemoveAll();

  std::vector<AiAircraft> Aircraft() const;
  std::optional<AiAircraft> ByCallsign(const std::string& callsign) const;
  std::size_t Adds() const;
  std::size_t Removes() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::uint16_t, AiAircraft> aircraft_;
  bool refuse_ = false;
  std::size_t adds_ = 0;
  std::size_t removes_ = 0;
};

}  // namespace plugin_link
