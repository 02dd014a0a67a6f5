// Bodies the plug-in's stand-in writes, field by field at their offsets.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// One moment of the scripted flight, as the four data sets carry it.
struct FlightSample {
  double altitudeFeet = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  float trueHeading = 0.0F;  // degrees
  float speedMs = 0.0F;      // metres per second (speed 1)
  float indicatedKnots = 0.0F;  // speed 2
  float mach = 0.0F;
  std::uint32_t onGround = 0;
  std::uint16_t transponderCode = 1200;
  std::uint16_t transponderMode = 0;  // 0/1 'S', 2 'N', 3 'Y'
  std::uint32_t com1Hundredths = 0;   // 12280 for 122.80 MHz
  std::uint32_t com2Hundredths = 0;
  std::uint16_t audioSelection = 6;   // 6 selects COM1, any other COM2
};

// A straight flight: sample n moves the position by n steps from its start.
struct FlightScript {
  FlightSample start;
  double latitudeStep = 0.0;   // degrees per sample
  double longitudeStep = 0.0;
  FlightSample At(std::uint64_t n) const;
};

// The demo's flight: near Paris, heading east at 5,500 ft, COM1 122.80
// selected, COM2 121.50, transponder 4721 in mode C.
FlightScript DemoFlight();

using DataSet1Bytes = std::array<std::uint8_t, kDataSet1Size>;
using DataSet2Bytes = std::array<std::uint8_t, kDataSet2Size>;
using DataSet3Bytes = std::array<std::uint8_t, kDataSet3Size>;
using DataSet4Bytes = std::array<std::uint8_t, kDataSet4Size>;
DataSet1Bytes WriteDataSet1(const FlightSample& sample);
DataSet2Bytes WriteDataSet2(const FlightSample& sample);
DataSet3Bytes WriteDataSet3(const FlightSample& sample);
DataSet4Bytes WriteDataSet4(const FlightSample& sample);

// The plug-in's model slots: way, count, mode, then 19 titles of 112 bytes.
inline constexpr std::size_t kAcfSlots = 19;
inline constexpr std::size_t kAcfTitleBytes = 112;
using AcfTableBytes = std::array<std::uint8_t, kAcfTableSize>;
// The count is written as given (a count past 19 is a fault to inject);
// titles past the 19 slots are left out, each is cut to its 112 bytes.
AcfTableBytes WriteAcfTable(std::uint16_t way, std::uint16_t count, std::uint16_t mode,
                            std::span<const std::string> titles);

// The aircraft-loaded record: the title from byte 5, NUL-terminated when it fits.
std::vector<std::uint8_t> WriteUserAircraftLoaded(std::string_view title,
                                                  std::size_t bodySize = kUserAircraftLoadedSize);
std::array<std::uint8_t, kAddPeerCallbackSize> WriteAddPeerCallback(std::uint16_t way, std::uint8_t result,
                                                                    std::uint8_t detail);
std::array<std::uint8_t, kRemovePeerCallbackSize> WriteRemovePeerCallback(std::uint32_t way);
// Heading list entries {u16 way, 2 unused, f32 heading}.
std::vector<std::uint8_t> WriteHeadingList(std::span<const std::pair<std::uint16_t, float>> entries);
// A trace record's text body: u16 length, then the bytes (the length may be
// given apart from the text, to announce more than follows).
std::vector<std::uint8_t> WriteTraceText(std::string_view text);
std::vector<std::uint8_t> WriteTraceTextAnnouncing(std::uint16_t length, std::string_view text);

// The fields of the client's commands, as the stand-in reads them.
struct GetAcfTableCommand {
  std::uint16_t mode = 0;
  std::uint16_t way = 0;
};
bool ReadGetAcfTable(std::span<const std::uint8_t> body, GetAcfTableCommand& out);
// The way of XTK_CMD_ADD_PEER (its u16 at offset 16) and of XTK_CMD_REMOVE_PEER (u32).
bool ReadPeerWay(std::uint8_t command, std::span<const std::uint8_t> body, std::uint32_t& way);

}  // namespace plugin_link
