#include "testbed/plugin_records.h"

#include "base/byte_order.h"

#include <algorithm>
#include <bit>

namespace plugin_link {

namespace {

void PutU16At(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t GetU16At(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

void PutU32At(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  PutU32(out.subspan(at, 4).data(), value);
}

std::uint32_t GetU32At(std::span<const std::uint8_t> in, std::size_t at) {
  return GetU32(in.subspan(at, 4).data());
}

void PutF32At(std::span<std::uint8_t> out, std::size_t at, float value) {
  PutU32At(out, at, std::bit_cast<std::uint32_t>(value));
}

void PutF64At(std::span<std::uint8_t> out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  PutU32At(out, at, static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
  PutU32At(out, at + 4, static_cast<std::uint32_t>(bits >> 32));
}

}  // namespace

DllInfosBytes WriteDllInfos(const DllInfos& infos) {
  DllInfosBytes bytes{};
  PutU16At(bytes, kDllInfosSimulatorCodeAt, infos.simulatorCode);
  PutU32At(bytes, kDllInfosErrorCodeAt, static_cast<std::uint32_t>(infos.errorCode));
  PutU32At(bytes, kDllInfosWindowHandleAt, infos.windowHandle);
  PutU16At(bytes, kDllInfosAiCountAt, infos.aiCount);
  return bytes;
}

bool ReadDllInfos(std::span<const std::uint8_t> body, DllInfos& out) {
  if (body.size() != kDllInfosSize) return false;
  out.simulatorCode = GetU16At(body, kDllInfosSimulatorCodeAt);
  out.errorCode = static_cast<std::int32_t>(GetU32At(body, kDllInfosErrorCodeAt));
  out.windowHandle = GetU32At(body, kDllInfosWindowHandleAt);
  out.aiCount = GetU16At(body, kDllInfosAiCountAt);
  return true;
}

std::uint8_t DataSetCode(int index) {
  switch (index) {
    case 1: return XTK_MSG_PLANE_DATASET1;
    case 2: return XTK_MSG_PLANE_DATASET2;
    case 3: return XTK_MSG_PLANE_DATASET3;
    case 4: return XTK_MSG_PLANE_DATASET4;
    default: return 0;
  }
}

std::size_t DataSetSize(int index) {
  switch (index) {
    case 1: return kDataSet1Size;
    case 2: return kDataSet2Size;
    case 3: return kDataSet3Size;
    case 4: return kDataSet4Size;
    default: return 0;
  }
}

FlightSample FlightScript::At(std::uint64_t n) const {
  FlightSample sample = start;
  sample.latitude += latitudeStep * static_cast<double>(n);
  sample.longitude += longitudeStep * static_cast<double>(n);
  return sample;
}

FlightScript DemoFlight() {
  FlightScript script;
  script.start.altitudeFeet = 5'500.0;
  script.start.latitude = 49.0097;
  script.start.longitude = 2.5479;
  script.start.trueHeading = 90.0F;
  script.start.speedMs = 61.7333F;  // 120 knots
  script.start.indicatedKnots = 112.0F;
  script.start.mach = 0.18F;
  script.start.onGround = 0;
  script.start.transponderCode = 4721;
  script.start.transponderMode = 2;
  script.start.com1Hundredths = 12'280;
  script.start.com2Hundredths = 12'150;
  script.start.audioSelection = 6;
  script.longitudeStep = 0.0005;
  return script;
}

DataSet1Bytes WriteDataSet1(const FlightSample& sample) {
  DataSet1Bytes bytes{};
  PutF64At(bytes, 8, sample.altitudeFeet);
  PutF64At(bytes, 16, sample.longitude);
  PutF64At(bytes, 24, sample.latitude);
  PutF32At(bytes, 52, sample.trueHeading);
  PutF32At(bytes, 64, sample.speedMs);
  PutF32At(bytes, 68, sample.indicatedKnots);
  PutF32At(bytes, 76, sample.mach);
  PutU32At(bytes, 80, sample.onGround);
  return bytes;
}

DataSet2Bytes WriteDataSet2(const FlightSample& sample) {
  DataSet2Bytes bytes{};
  PutU16At(bytes, 4, sample.transponderCode);
  PutU16At(bytes, 6, sample.transponderMode);
  PutU32At(bytes, 8, sample.com1Hundredths);
  PutU32At(bytes, 12, sample.com2Hundredths);
  PutU16At(bytes, 16, sample.audioSelection);
  return bytes;
}

DataSet3Bytes WriteDataSet3(const FlightSample&) {
  DataSet3Bytes bytes{};
  PutF32At(bytes, 16, 100.0F);  // control value 4
  for (std::size_t i = 0; i < 4; ++i) PutU32At(bytes, 40 + 4 * i, i == 0 ? 1 : 0);  // switch 1 on
  return bytes;
}

DataSet4Bytes WriteDataSet4(const FlightSample& sample) {
  DataSet4Bytes bytes{};
  PutF32At(bytes, 4, sample.onGround != 0 ? 0.0F : 1.0F);
  PutU16At(bytes, 8, 1);
  return bytes;
}

AcfTableBytes WriteAcfTable(std::uint16_t way, std::uint16_t count, std::uint16_t mode,
                            std::span<const std::string> titles) {
  AcfTableBytes bytes{};
  PutU16At(bytes, 0, way);
  PutU16At(bytes, 2, count);
  PutU16At(bytes, 4, mode);
  for (std::size_t slot = 0; slot < std::min(titles.size(), kAcfSlots); ++slot) {
    const std::string& title = titles[slot];
    std::copy_n(title.begin(), std::min(title.size(), kAcfTitleBytes), bytes.begin() + 6 + slot * kAcfTitleBytes);
  }
  return bytes;
}

std::vector<std::uint8_t> WriteUserAircraftLoaded(std::string_view title, std::size_t bodySize) {
  std::vector<std::uint8_t> body(bodySize, 0);
  for (std::size_t i = 0; i < title.size() && 5 + i < bodySize; ++i) body[5 + i] = static_cast<std::uint8_t>(title[i]);
  return body;
}

std::array<std::uint8_t, kAddPeerCallbackSize> WriteAddPeerCallback(std::uint16_t way, std::uint8_t result,
                                                                    std::uint8_t detail) {
  std::array<std::uint8_t, kAddPeerCallbackSize> bytes{};
  PutU16At(bytes, 0, way);
  bytes[2] = result;
  bytes[3] = detail;
  return bytes;
}

std::array<std::uint8_t, kRemovePeerCallbackSize> WriteRemovePeerCallback(std::uint32_t way) {
  std::array<std::uint8_t, kRemovePeerCallbackSize> bytes{};
  PutU32At(bytes, 0, way);
  return bytes;
}

std::vector<std::uint8_t> WriteHeadingList(std::span<const std::pair<std::uint16_t, float>> entries) {
  std::vector<std::uint8_t> body(entries.size() * kHeadingEntrySize, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PutU16At(body, i * kHeadingEntrySize, entries[i].first);
    PutF32At(body, i * kHeadingEntrySize + 4, entries[i].second);
  }
  return body;
}

std::vector<std::uint8_t> WriteTraceTextAnnouncing(std::uint16_t length, std::string_view text) {
  std::vector<std::uint8_t> body(2 + text.size(), 0);
  PutU16At(body, 0, length);
  std::copy(text.begin(), text.end(), body.begin() + 2);
  return body;
}

std::vector<std::uint8_t> WriteTraceText(std::string_view text) {
  return WriteTraceTextAnnouncing(static_cast<std::uint16_t>(text.size()), text);
}

bool ReadGetAcfTable(std::span<const std::uint8_t> body, GetAcfTableCommand& out) {
  if (body.size() != 4) return false;
  out.mode = GetU16At(body, 0);
  out.way = GetU16At(body, 2);
  return true;
}

bool ReadPeerWay(std::uint8_t command, std::span<const std::uint8_t> body, std::uint32_t& way) {
  if (command == XTK_CMD_REMOVE_PEER && body.size() >= 4) {
    way = GetU32At(body, 0);
    return true;
  }
  if (command == XTK_CMD_ADD_PEER && body.size() >= 18) {
    way = GetU16At(body, 16);
    return true;
  }
  return false;
}

}  // namespace plugin_link
