#include "testbed/plugin_records.h"

#include "base/byte_order.h"

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

}  // namespace plugin_link
