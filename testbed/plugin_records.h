// Bodies the plug-in's stand-in writes, field by field at their offsets.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "testbed/plugin_codes.h"

namespace plugin_link {

// The handshake record; every byte not named here is 0.
struct DllInfos {
  std::uint16_t simulatorCode = 10000;  // 9000-9999 X-Plane 9, 10000-10999 X-Plane 10
  std::int32_t errorCode = 0;           // 0: the plug-in works
  std::uint32_t windowHandle = 0;       // the simulator's main window; 0: none to follow
  std::uint16_t aiCount = 20;           // AI aircraft the simulator is set to
  friend bool operator==(const DllInfos&, const DllInfos&) = default;
};

inline constexpr std::size_t kDllInfosSimulatorCodeAt = 0;
inline constexpr std::size_t kDllInfosErrorCodeAt = 8;
inline constexpr std::size_t kDllInfosWindowHandleAt = 12;
inline constexpr std::size_t kDllInfosAiCountAt = 18;

using DllInfosBytes = std::array<std::uint8_t, kDllInfosSize>;
static_assert(kDllInfosAiCountAt + 2 <= kDllInfosSize);

DllInfosBytes WriteDllInfos(const DllInfos& infos);
// False for a body of another size.
bool ReadDllInfos(std::span<const std::uint8_t> body, DllInfos& out);

// XTK_MSG_PLANE_DATASET1..4 for index 1..4; 0 for any other index.
std::uint8_t DataSetCode(int index);
// The body size the client reads for data set 1..4; 0 for any other index.
std::size_t DataSetSize(int index);

}  // namespace plugin_link
