// The bodies of the plug-in's records, read field by field at their offsets,
// and the bodies of the client's commands, written the same way. Every reader
// takes a body of exactly its record's size (the receiver has checked the
// announced length and cut or dropped the body before).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/own_aircraft_state.h"
#include "sim/plugin_link_codes.h"

template <std::size_t N>
using RecordBytes = std::array<std::uint8_t, N>;

// ---- Handshake ----
struct DllInfosRecord {
  std::uint16_t simulatorCode = 0;
  std::int32_t errorCode = 0;
  std::uint32_t simMainWindow = 0;
  std::uint16_t aiCount = 0;
};
DllInfosRecord ReadDllInfosRecord(const RecordBytes<kDllInfosSize>& body);

// ---- AI callbacks ----
struct AddPeerCallbackRecord {
  std::uint16_t way = 0;
  std::uint8_t result = 0;  // bit 0: created
  std::uint8_t detail = 0;
};
AddPeerCallbackRecord ReadAddPeerCallback(const RecordBytes<kAddPeerCallbackSize>& body);
std::uint32_t ReadRemovePeerCallback(const RecordBytes<kRemovePeerCallbackSize>& body);

// ---- The plug-in's AI model slots ----
inline constexpr std::size_t kAcfSlotCount = 19;
inline constexpr std::size_t kAcfTitleSize = 112;
inline constexpr std::size_t kAcfFirstTitleAt = 6;
static_assert(kAcfFirstTitleAt + kAcfSlotCount * kAcfTitleSize == kAcfTableSize);

struct AcfTableRecord {
  std::uint16_t way = 0;
  std::uint16_t announcedCount = 0;
  std::uint16_t slotCount = 0;  // the announced count, held to the 19 slots the body has
  std::uint16_t mode = 0;
  // Each title ends at its terminator or at its field's end.
  std::array<std::string, kAcfSlotCount> titles;
};
AcfTableRecord ReadAcfTable(const RecordBytes<kAcfTableSize>& body);

// ---- The user's aircraft ----
inline constexpr std::size_t kLoadedTitleAt = 5;
inline constexpr std::size_t kLoadedTitleLimit = 260;
inline constexpr std::size_t kOwnTitleLength = kOwnTitleSize - 1;  // 111 characters and a terminator
// The title from body byte 5 up to its terminator, the body's end or 260 bytes, cut to 111 characters.
std::string ReadLoadedTitle(std::span<const std::uint8_t> body);

// The 140-byte identity record that peers are sent: u16 0x1003, i32 134,
// i32 parameter word, title at 12, ICAO type at 132.
inline constexpr std::uint16_t kOwnIdentityType = 0x1003;
inline constexpr std::int32_t kOwnIdentityLength = 134;
inline constexpr std::size_t kOwnIdentityParameterAt = 8;
inline constexpr std::size_t kOwnIdentityTitleAt = 12;
inline constexpr std::size_t kOwnIdentityIcaoAt = 132;
static_assert(kOwnIdentityIcaoAt + kOwnIcaoTypeSize == kOwnIdentityRecordSize);
using OwnIdentityRecord = std::array<std::uint8_t, kOwnIdentityRecordSize>;
OwnIdentityRecord BuildOwnIdentityRecord(std::string_view title);
std::string IdentityRecordTitle(const OwnIdentityRecord& record);
void SetIdentityRecordType(OwnIdentityRecord& record, std::int32_t parameterWord, std::string_view icaoType);

// ---- Headings towards the remote aircraft ----
struct HeadingEntry {
  std::uint16_t way = 0;
  float heading = 0.0F;
};
// Whole entries only; a partial entry at the end is left.
std::vector<HeadingEntry> ReadHeadingEntries(std::span<const std::uint8_t> body);

// ---- The own aircraft's data sets ----
OwnFlightData ReadDataSet1(const RecordBytes<kDataSet1Size>& body);
// The fields of the second data set as the plug-in gives them.
struct DataSet2Record {
  std::uint16_t transponderCode = 0;
  std::uint16_t transponderMode = 0;
  std::uint32_t com1Hundredths = 0;
  std::uint32_t com2Hundredths = 0;
  std::uint16_t audioSelection = 0;
};
DataSet2Record ReadDataSet2(const RecordBytes<kDataSet2Size>& body);
// The radio group after a second data set. The mode character follows the
// plug-in's mode only when that mode differs from the one it reported last
// (or on its first report); a mode other than 0 to 3 leaves it.
OwnRadioData ApplyDataSet2(const DataSet2Record& record, const OwnRadioData& previous);
OwnControls ReadDataSet3(const RecordBytes<kDataSet3Size>& body);
OwnShortState ReadDataSet4(const RecordBytes<kDataSet4Size>& body);
// "%.2f" of hundredths of MHz: 12345 gives "123.45".
OwnComText ComText(std::uint32_t hundredths);

// Conversions that never overflow: a value that is not a number gives 0, one
// out of range the nearest bound.
std::int32_t TruncatedI32(double value);
std::int16_t TruncatedI16(double value);

// ---- Command bodies ----
std::array<std::uint8_t, 4> HelloBody(std::uint32_t versionWord);
std::array<std::uint8_t, 2> TickBody();
std::array<std::uint8_t, 2> SquawkBody(std::uint16_t code);
std::array<std::uint8_t, 4> StepBody(std::int32_t step);
std::array<std::uint8_t, kGetAcfTableSize> GetAcfTableBody(std::uint16_t mode, std::uint16_t way);
std::array<std::uint8_t, kChangeAiModelSize> ChangeAiModelBody(std::uint16_t way, std::uint16_t slot);
// The title is cut to 111 characters and terminated inside its 112 bytes.
std::array<std::uint8_t, kSetAcfSlotSize> SetAcfSlotBody(std::uint16_t slot, std::string_view title);
