// The records of the add-on link: what a local add-on program sends when it
// logs in and asks, and the answers built for it. Little-endian fields,
// written and read byte by byte; every text ends within its field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/own_aircraft_state.h"
#include "net/frame_format.h"
#include "net/way_record.h"

inline constexpr std::size_t kAddonLoginRecordSize = 80;
inline constexpr std::size_t kAddonLoginAckSize = 48;
inline constexpr std::size_t kAddonCancelSize = 4;
inline constexpr std::size_t kAddonDynamicsRequestSize = 24;
inline constexpr std::size_t kAddonAnswerHeaderSize = 24;
inline constexpr std::size_t kAddonOwnDynamicsSize = 16;
inline constexpr std::size_t kAddonPilotFullSize = 120;
inline constexpr std::size_t kAddonPilotShortSize = 72;
inline constexpr std::size_t kAddonTextSize = 16;
inline constexpr std::size_t kAddonNameSize = 32;
// The answer header's pilot count.
inline constexpr std::size_t kAddonAnswerCountOffset = 16;

// DS_CMD_COMMON sub-codes.
inline constexpr std::uint8_t kAddonSelectIndicatedSpeed = 1;
inline constexpr std::uint8_t kAddonSelectTrueAirspeed = 2;
inline constexpr std::uint8_t kAddonSelectGroundSpeed = 3;
inline constexpr std::uint8_t kAddonAskSpeedKind = 4;
inline constexpr std::uint8_t kAddonSelectMagneticHeading = 10;
inline constexpr std::uint8_t kAddonSelectTrueHeading = 11;
inline constexpr std::uint8_t kAddonAskHeadingKind = 12;
// The questions of DS_CMD_FLIGHT_DYNAMICS and DS_CMD_AI.
inline constexpr std::uint8_t kAddonAskOwnOrNamed = 1;
inline constexpr std::uint8_t kAddonAskFullList = 1;
inline constexpr std::uint8_t kAddonAskShortList = 2;

// Speed kinds and heading kinds as the add-on selects and asks them.
inline constexpr std::uint8_t kAddonSpeedIndicated = 0;
inline constexpr std::uint8_t kAddonSpeedTrue = 1;
inline constexpr std::uint8_t kAddonSpeedGround = 2;
inline constexpr std::uint8_t kAddonHeadingMagnetic = 0;
inline constexpr std::uint8_t kAddonHeadingTrue = 1;

using AddonLoginBytes = std::array<std::uint8_t, kAddonLoginRecordSize>;
using AddonLoginAckBytes = std::array<std::uint8_t, kAddonLoginAckSize>;
using AddonOwnDynamicsBytes = std::array<std::uint8_t, kAddonOwnDynamicsSize>;

struct AddonLogin {
  std::array<std::uint8_t, 4> version{};  // major, minor, build, letter
  std::string textA;
  std::string textB;
  std::string name;
};
AddonLogin ReadAddonLogin(std::span<const std::uint8_t, kAddonLoginRecordSize> bytes);

struct AddonLoginAck {
  std::uint8_t versionMajor = 0;
  std::uint8_t versionMinor = 0;
  std::uint8_t versionBuild = 0;
  std::string login;
  std::string callsign;
  bool sessionOpen = false;
  std::uint32_t simulatorCode = 0;
};
AddonLoginAckBytes WriteAddonLoginAck(const AddonLoginAck& ack);

// The callsign a DS_CMD_FLIGHT_DYNAMICS request names; empty asks for the own aircraft.
std::string ReadAddonDynamicsCallsign(std::span<const std::uint8_t, kAddonDynamicsRequestSize> bytes);

// The four own values of the way's speed and heading kinds.
struct AddonOwnValues {
  float speed = 0.0F;
  float valueM = 0.0F;
  float heading = 0.0F;
  float altitudeFeet = 0.0F;
};
AddonOwnValues OwnDynamicsValues(const OwnFlightData& flight, double trueAirspeed, std::uint8_t speedKind,
                                 std::uint8_t headingKind);
AddonOwnDynamicsBytes WriteAddonOwnDynamics(const AddonOwnValues& values);

// A pilot the AI lists name: a pilot's record whose way is logged in and who is not special.
bool AddonListedPilot(const WayRecord& record, std::uint32_t linkBits);

// Sync word, a header whose length counts the answer header only, the answer
// header with its count: the frame that the answer's values follow.
void AppendAddonAnswerStart(std::uint8_t code, std::uint8_t subCode, std::uint32_t count,
                            std::vector<std::uint8_t>& out);
void AppendAddonPilotFull(const WayRecord& record, std::vector<std::uint8_t>& out);
void AppendAddonPilotShort(const WayRecord& record, std::vector<std::uint8_t>& out);

// A float narrowed from a double: finite values beyond the float's range
// become its largest, so that no conversion is out of range.
float NarrowToFloat(double value);
