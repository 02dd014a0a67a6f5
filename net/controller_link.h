// The state a controller way keeps of the controller at the other end of its
// link, and the codes of its thread messages.
#pragma once

#include <cstdint>

#include "core/flight_plan_record.h"
#include "net/controller_records.h"
#include "win/types.h"

inline constexpr std::uint32_t THRDMSG_FLIGHT_STRIP = 0x8CE6;
// The sub-code of the position report a controller is sent.
inline constexpr std::uint8_t NCSUB_POSITION_REPORT = 70;
inline constexpr std::uint8_t NCSUB_HAND_OFF = 88;

// The trace flag that names every frame of a controller link.
inline constexpr std::uint32_t kControllerVerboseFlag = 0x1000;
// The test message's data is printed up to this many bytes.
inline constexpr std::uint32_t kTestMessageTextLimit = 128;

struct ControllerLinkState {
  AtcLoginRecordBytes login{};  // his last login or acknowledgement
  std::uint8_t radioSelection = 0;
  std::uint16_t amendedTransponder = 0;
  FlightPlanRecord amendedPlan{};
  bool leaving = false;  // he closed his position or went out of range
};
