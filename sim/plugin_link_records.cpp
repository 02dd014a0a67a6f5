#include "sim/plugin_link_records.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/text_fields.h"

namespace {

constexpr double kFeetPerMetre = 3.2808;
constexpr double kKnotsPerMetrePerSecond = 3'600.0 / 1'852.0;
constexpr double kFractionScale = 65'536.0;

template <std::size_t N>
std::uint16_t U16At(const RecordBytes<N>& in, std::size_t at) {
  return static_cast<std::uint16_t>(in.at(at) | (in.at(at + 1) << 8));
}

template <std::size_t N>
std::uint32_t U32At(const RecordBytes<N>& in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in.at(at + i)) << (8 * i);
  return value;
}

template <std::size_t N>
float F32At(const RecordBytes<N>& in, std::size_t at) {
  return std::bit_cast<float>(U32At(in, at));
}

template <std::size_t N>
double F64At(const RecordBytes<N>& in, std::size_t at) {
  const std::uint64_t low = U32At(in, at);
  const std::uint64_t high = U32At(in, at + 4);
  return std::bit_cast<double>(low | (high << 32));
}

template <std::size_t N>
void PutU16(std::array<std::uint8_t, N>& out, std::size_t at, std::uint16_t value) {
  out.at(at) = static_cast<std::uint8_t>(value & 0xFF);
  out.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

template <std::size_t N>
void PutU32(std::array<std::uint8_t, N>& out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out.at(at + i) = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

template <typename T>
T Truncated(double value) {
  if (std::isnan(value)) return 0;
  const double t = std::trunc(value);
  if (t <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (t >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(t);
}

// A text field of a body: up to its terminator, never past the field.
template <std::size_t N>
std::string FieldAt(const RecordBytes<N>& in, std::size_t at, std::size_t size) {
  const auto* begin = reinterpret_cast<const char*>(in.data() + at);
  return std::string(begin, ::strnlen(begin, size));
}

// Rounded as the state keeps it: x + 0.5, truncated.
std::int32_t Rounded(double value) { return TruncatedI32(value + 0.5); }

}  // namespace

std::int32_t TruncatedI32(double value) { return Truncated<std::int32_t>(value); }
std::int16_t TruncatedI16(double value) { return Truncated<std::int16_t>(value); }

DllInfosRecord ReadDllInfosRecord(const RecordBytes<kDllInfosSize>& body) {
  DllInfosRecord record;
  record.simulatorCode = U16At(body, 0);
  record.errorCode = static_cast<std::int32_t>(U32At(body, 8));
  record.simMainWindow = U32At(body, 12);
  record.aiCount = U16At(body, 18);
  return record;
}

AddPeerCallbackRecord ReadAddPeerCallback(const RecordBytes<kAddPeerCallbackSize>& body) {
  return {U16At(body, 0), body[2], body[3]};
}

std::uint32_t ReadRemovePeerCallback(const RecordBytes<kRemovePeerCallbackSize>& body) { return U32At(body, 0); }

AcfTableRecord ReadAcfTable(const RecordBytes<kAcfTableSize>& body) {
  AcfTableRecord table;
  table.way = U16At(body, 0);
  table.announcedCount = U16At(body, 2);
  table.slotCount = std::min<std::uint16_t>(table.announcedCount, kAcfSlotCount);
  table.mode = U16At(body, 4);
  for (std::size_t slot = 0; slot < table.slotCount; ++slot) {
    table.titles[slot] = FieldAt(body, kAcfFirstTitleAt + slot * kAcfTitleSize, kAcfTitleSize);
  }
  return table;
}

std::string ReadLoadedTitle(std::span<const std::uint8_t> body) {
  if (body.size() <= kLoadedTitleAt) return {};
  const auto field = body.subspan(kLoadedTitleAt, std::min(body.size() - kLoadedTitleAt, kLoadedTitleLimit));
  const auto* begin = reinterpret_cast<const char*>(field.data());
  const std::size_t length = ::strnlen(begin, field.size());
  return std::string(begin, std::min(length, kOwnTitleLength));
}

OwnIdentityRecord BuildOwnIdentityRecord(std::string_view title) {
  OwnIdentityRecord record{};
  PutU16(record, 0, kOwnIdentityType);
  PutU32(record, 4, static_cast<std::uint32_t>(kOwnIdentityLength));
  const std::size_t n = std::min(title.size(), kOwnTitleLength);
  for (std::size_t i = 0; i < n && title[i] != '\0'; ++i) {
    record.at(kOwnIdentityTitleAt + i) = static_cast<std::uint8_t>(title[i]);
  }
  return record;
}

std::string IdentityRecordTitle(const OwnIdentityRecord& record) {
  return FieldAt(record, kOwnIdentityTitleAt, kOwnTitleSize);
}

void SetIdentityRecordType(OwnIdentityRecord& record, std::int32_t parameterWord, std::string_view icaoType) {
  PutU32(record, kOwnIdentityParameterAt, static_cast<std::uint32_t>(parameterWord));
  for (std::size_t i = 0; i < kOwnIcaoTypeSize; ++i) {
    record.at(kOwnIdentityIcaoAt + i) =
        i + 1 < kOwnIcaoTypeSize && i < icaoType.size() ? static_cast<std::uint8_t>(icaoType[i]) : 0;
  }
}

std::vector<HeadingEntry> ReadHeadingEntries(std::span<const std::uint8_t> body) {
  std::vector<HeadingEntry> entries;
  entries.reserve(body.size() / kHeadingEntrySize);
  for (std::size_t at = 0; at + kHeadingEntrySize <= body.size(); at += kHeadingEntrySize) {
    RecordBytes<kHeadingEntrySize> entry{};
    std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(at), kHeadingEntrySize, entry.begin());
    entries.push_back({U16At(entry, 0), F32At(entry, 4)});
  }
  return entries;
}

OwnFlightData ReadDataSet1(const RecordBytes<kDataSet1Size>& body) {
  OwnFlightData flight;
  flight.altitudeFeet = F64At(body, 8);
  flight.longitude = F64At(body, 16);
  flight.latitude = F64At(body, 24);
  flight.altitudeWholeFeet = Rounded(flight.altitudeFeet);
  flight.altitudeFraction =
      TruncatedI16((flight.altitudeFeet - static_cast<double>(flight.altitudeWholeFeet)) * kFractionScale);
  flight.velocityX = static_cast<double>(F32At(body, 32)) * kFeetPerMetre;
  flight.velocityY = static_cast<double>(F32At(body, 36)) * kFeetPerMetre;
  flight.velocityZ = -static_cast<double>(F32At(body, 40)) * kFeetPerMetre;
  flight.pitch = -static_cast<double>(F32At(body, 44));
  flight.bank = -static_cast<double>(F32At(body, 48));
  flight.trueHeading = F32At(body, 52);
  flight.trueHeadingRounded = Rounded(flight.trueHeading);
  flight.heading2 = F32At(body, 56);
  flight.heading3 = F32At(body, 60);
  flight.speed1Knots = static_cast<double>(F32At(body, 64)) * kKnotsPerMetrePerSecond;
  flight.speed1Rounded = Rounded(flight.speed1Knots);
  flight.speed2 = F32At(body, 68);
  flight.speed2Rounded = Rounded(flight.speed2);
  flight.valueM = F32At(body, 76);
  flight.valueMThousandths = Rounded(flight.valueM * 1'000.0);
  flight.onGround = U32At(body, 80);
  return flight;
}

DataSet2Record ReadDataSet2(const RecordBytes<kDataSet2Size>& body) {
  return {U16At(body, 4), U16At(body, 6), U32At(body, 8), U32At(body, 12), U16At(body, 16)};
}

OwnComText ComText(std::uint32_t hundredths) {
  OwnComText text{};
  std::snprintf(text.data(), text.size(), "%.2f", static_cast<double>(hundredths) / 100.0);
  return text;
}

OwnRadioData ApplyDataSet2(const DataSet2Record& record, const OwnRadioData& previous) {
  constexpr std::uint16_t kAudioCom1 = 6;
  OwnRadioData radios = previous;
  radios.transponderCode = record.transponderCode;
  radios.simulatorCodeKnown = true;
  if (!previous.simulatorModeKnown || record.transponderMode != previous.simulatorMode) {
    switch (record.transponderMode) {
      case 0:
      case 1: radios.transponderMode = 'S'; break;
      case 2: radios.transponderMode = 'N'; break;
      case 3: radios.transponderMode = 'Y'; break;
      default: break;
    }
  }
  radios.simulatorMode = record.transponderMode;
  radios.simulatorModeKnown = true;
  radios.com1 = ComText(record.com1Hundredths);
  radios.com2 = ComText(record.com2Hundredths);
  const bool com1 = record.audioSelection == kAudioCom1;
  radios.com1Selected = com1 ? 1 : 0;
  radios.com2Selected = com1 ? 0 : 1;
  radios.bothSelected = 0;
  return radios;
}

OwnControls ReadDataSet3(const RecordBytes<kDataSet3Size>& body) {
  OwnControls controls;
  // Negated as a double before the truncation, which saturates: -(-2^31) has no 32-bit value.
  for (std::size_t i = 0; i < 3; ++i) controls.values[i] = TruncatedI32(-static_cast<double>(F32At(body, 4 + 4 * i)));
  const float value4 = F32At(body, 16);
  controls.values[3] = TruncatedI32(value4);
  controls.value4Scaled = TruncatedI32(static_cast<double>(value4 * 40.0F / 100.0F));
  for (std::size_t i = 4; i < 8; ++i) controls.values[i] = TruncatedI32(F32At(body, 4 + 4 * i));
  controls.controlWord = U16At(body, 36);
  for (std::size_t i = 0; i < 4; ++i) controls.switches[i] = U32At(body, 40 + 4 * i);
  for (std::size_t i = 0; i < 4; ++i) controls.engines[i] = TruncatedI32(F32At(body, 56 + 4 * i));
  return controls;
}

OwnShortState ReadDataSet4(const RecordBytes<kDataSet4Size>& body) {
  return {static_cast<std::uint16_t>(F32At(body, 4) != 0.0F ? 1 : 0), U16At(body, 8)};
}

std::array<std::uint8_t, 4> HelloBody(std::uint32_t versionWord) {
  std::array<std::uint8_t, 4> body{};
  PutU32(body, 0, versionWord);
  return body;
}

std::array<std::uint8_t, 2> TickBody() { return {1, 0}; }

std::array<std::uint8_t, 2> SquawkBody(std::uint16_t code) {
  std::array<std::uint8_t, 2> body{};
  PutU16(body, 0, code);
  return body;
}

std::array<std::uint8_t, 4> StepBody(std::int32_t step) {
  std::array<std::uint8_t, 4> body{};
  PutU32(body, 0, static_cast<std::uint32_t>(step));
  return body;
}

std::array<std::uint8_t, kGetAcfTableSize> GetAcfTableBody(std::uint16_t mode, std::uint16_t way) {
  std::array<std::uint8_t, kGetAcfTableSize> body{};
  PutU16(body, 0, mode);
  PutU16(body, 2, way);
  return body;
}

std::array<std::uint8_t, kChangeAiModelSize> ChangeAiModelBody(std::uint16_t way, std::uint16_t slot) {
  std::array<std::uint8_t, kChangeAiModelSize> body{};
  PutU16(body, 0, way);
  PutU16(body, 2, slot);
  return body;
}

std::array<std::uint8_t, kSetAcfSlotSize> SetAcfSlotBody(std::uint16_t slot, std::string_view title) {
  std::array<std::uint8_t, kSetAcfSlotSize> body{};
  PutU16(body, 0, slot);
  const std::size_t n = std::min(title.size(), kAcfTitleSize - 1);
  for (std::size_t i = 0; i < n && title[i] != '\0'; ++i) body.at(2 + i) = static_cast<std::uint8_t>(title[i]);
  return body;
}

const char* PluginRecordName(std::uint8_t code) {
  switch (code) {
    case XTK_MSG_DLL_INFOS: return "XTK_MSG_DLL_INFOS";
    case XTK_MSG_ADDPEER_CALLBACK: return "XTK_MSG_ADDPEER_CALLBACK";
    case XTK_MSG_REMOVEPEER_CALLBACK: return "XTK_MSG_REMOVEPEER_CALLBACK";
    case XTK_MSG_ACF_TABLE: return "XTK_MSG_ACF_TABLE";
    case XTK_MSG_USER_AIRCRAFT_LOADED: return "XTK_MSG_USER_AIRCRAFT_LOADED";
    case XTK_MSG_SHOWHIDE_EXE_WINDOW: return "XTK_MSG_SHOWHIDE_EXE_WINDOW";
    case XTK_MSG_XPLANE_CLOSING: return "XTK_MSG_XPLANE_CLOSING";
    case XTK_MSG_HEADING_TO_HIM: return "XTK_MSG_HEADING_TO_HIM";
    case XTK_MSG_PLANE_DATASET1: return "XTK_MSG_PLANE_DATASET1";
    case XTK_MSG_PLANE_DATASET2: return "XTK_MSG_PLANE_DATASET2";
    case XTK_MSG_PLANE_DATASET3: return "XTK_MSG_PLANE_DATASET3";
    case XTK_MSG_PLANE_DATASET4: return "XTK_MSG_PLANE_DATASET4";
    case XTK_MSG_DEBUG_CALLBACK: return "XTK_MSG_DEBUG_CALLBACK";
    default: return nullptr;
  }
}
