#include "net/pilot_records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/byte_order.h"

namespace {
constexpr std::size_t kCancelReasonTextSize = 32;
constexpr std::size_t kChanges2PostedOffset = 8;
constexpr std::size_t kChanges2OwnOffset = 12;
constexpr std::size_t kChanges2ByteOffset = 16;
constexpr std::size_t kCommCom1Offset = 8;
constexpr std::size_t kCommCom2Offset = 16;
constexpr std::size_t kCommSelectionOffset = 24;
constexpr std::uint32_t kLetterIndexB = 1;
constexpr std::uint8_t kLastTokenByte = 11;
constexpr double kMaxFrequencyKhz = 4'000'000.0;
constexpr std::size_t kCallsignFieldSize = 16;

using Out = std::span<std::uint8_t>;
using In = std::span<const std::uint8_t>;

void PutText(Out field, std::string_view text) {
  std::fill(field.begin(), field.end(), 0);
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

// Terminated within the field, whatever the sender left in it.
std::string GetText(In field) {
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

std::int32_t SignedBits(std::uint32_t word, int shift) {
  const auto bits = static_cast<std::int32_t>((word >> shift) & 0x3FF);
  return bits >= 0x200 ? bits - 0x400 : bits;
}
}  // namespace

PilotLoginRecordBytes WritePilotLoginRecord(const PilotLoginRecord& record) {
  PilotLoginRecordBytes bytes = WriteLoginRecord(record.login);
  const Out part = Out(bytes).subspan(kIdentityBlockSize);
  std::copy(record.extras.olderPosition.begin(), record.extras.olderPosition.end(),
            part.begin() + kPilotLoginOlderPositionOffset);
  part[kPilotLoginCategoryOffset] = record.extras.category;
  std::copy(record.extras.position.begin(), record.extras.position.end(), part.begin() + kPilotLoginPositionOffset);
  PutText(part.subspan(kPilotLoginAddressOffset, kPilotLoginAddressSize), record.extras.publicAddress);
  return bytes;
}

std::int32_t ReadPilotLoginRecord(std::span<const std::uint8_t> body, PilotLoginRecord& out) {
  PilotLoginRecord record;
  if (const std::int32_t result = ReadLoginRecord(body, record.login); result != kNodeRecordOk) return result;
  const In part = body.subspan(kIdentityBlockSize, kLoginPartSize);
  std::copy_n(part.begin() + kPilotLoginOlderPositionOffset, kOlderPositionRecordSize,
              record.extras.olderPosition.begin());
  record.extras.category = part[kPilotLoginCategoryOffset];
  std::copy_n(part.begin() + kPilotLoginPositionOffset, kPositionRecordSize, record.extras.position.begin());
  record.extras.publicAddress = GetText(part.subspan(kPilotLoginAddressOffset, kPilotLoginAddressSize));
  out = std::move(record);
  return kNodeRecordOk;
}

PilotCallsignBody WritePilotCallsignBody(std::string_view callsign) {
  PilotCallsignBody body{};
  PutText(Out(body).subspan(kPilotCallsignOffset, kCallsignFieldSize), callsign);
  return body;
}

std::int32_t ReadPilotCallsignBody(std::span<const std::uint8_t> body, std::string& callsign) {
  if (body.size() < kPilotCallsignBodySize) return kNodeRecordShort;
  callsign = GetText(body.subspan(kPilotCallsignOffset, kCallsignFieldSize));
  return kNodeRecordOk;
}

std::array<std::uint8_t, kCancelLinkBodySize> WriteCancelLinkBody(std::uint32_t reason) {
  std::array<std::uint8_t, kCancelLinkBodySize> body{};
  PutU32(body.data(), reason);
  return body;
}

std::int32_t ReadCancelLinkBody(std::span<const std::uint8_t> body, std::uint32_t& reason) {
  if (body.size() < kCancelLinkBodySize) return kNodeRecordShort;
  reason = GetU32(body.data());
  return kNodeRecordOk;
}

std::string CancelReasonText(std::uint32_t reason) {
  switch (reason) {
    case kCancelNotInSession:
      return "He was not connected to his MultiPlayer session.";
    case kCancelCouldNotAdd:
      return "He could'nt add you to his MultiPlayer session.";
    case kCancelRemoved:
      return "You've been removed from his MultiPlayer session.";
    case kCancelOutOfRange:
      return "You are out of range.";
    default: {
      std::array<char, kCancelReasonTextSize> text{};
      std::snprintf(text.data(), text.size(), "Code %d.", static_cast<int>(reason));
      return text.data();
    }
  }
}

PilotChanges2Bytes WritePilotChanges2(const PilotChanges2& record) {
  PilotChanges2Bytes bytes{};
  PutU32(bytes.data() + kChanges2PostedOffset, record.posted);
  PutU32(bytes.data() + kChanges2OwnOffset, record.ownValue);
  bytes[kChanges2ByteOffset] = record.byte;
  return bytes;
}

PilotChanges2 ReadPilotChanges2(std::span<const std::uint8_t, kPilotChanges2Size> bytes) {
  PilotChanges2 record;
  record.posted = GetU32(bytes.data() + kChanges2PostedOffset);
  record.ownValue = GetU32(bytes.data() + kChanges2OwnOffset);
  record.byte = bytes[kChanges2ByteOffset];
  return record;
}

PilotChangesCommBytes WritePilotChangesComm(const PilotChangesComm& record) {
  PilotChangesCommBytes bytes{};
  PutText(Out(bytes).subspan(kCommCom1Offset, kPilotComTextSize), record.com1);
  PutText(Out(bytes).subspan(kCommCom2Offset, kPilotComTextSize), record.com2);
  bytes[kCommSelectionOffset] = record.selection;
  return bytes;
}

PilotChangesComm ReadPilotChangesComm(std::span<const std::uint8_t, kPilotChangesCommSize> bytes) {
  PilotChangesComm record;
  const In in(bytes);
  record.com1 = GetText(in.subspan(kCommCom1Offset, kPilotComTextSize));
  record.com2 = GetText(in.subspan(kCommCom2Offset, kPilotComTextSize));
  record.selection = bytes[kCommSelectionOffset];
  return record;
}

std::uint8_t RadioSelectionFromOptions(std::uint32_t optionBits) {
  std::uint8_t selection = 0;
  if ((optionBits & kLoginCom1Selected) != 0) selection |= kPilotRadioCom1;
  if ((optionBits & kLoginCom2Selected) != 0) selection |= kPilotRadioCom2;
  if ((optionBits & kLoginBothComSelected) != 0) selection |= kPilotRadioBoth;
  return selection;
}

std::uint32_t FrequencyKhz(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double mhz = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mhz);
  (void)end;
  if (text.empty() || error != std::errc() || !std::isfinite(mhz)) return 0;
  // A hair above the product, so that 118.1 is 118,100 kHz and not 118,099.
  const double khz = mhz * 1000.0 + 1e-6;
  if (khz < 0.0 || khz > kMaxFrequencyKhz) return 0;
  return static_cast<std::uint32_t>(khz);
}

std::uint32_t PeerVersionWord(const IdentityBlock& identity) {
  return static_cast<std::uint32_t>(identity.versionMajor) << 24 |
         static_cast<std::uint32_t>(identity.versionMinor) << 16 |
         static_cast<std::uint32_t>(identity.versionBuild) << 8 | kLetterIndexB;
}

std::uint8_t KeptTokenByte(std::uint8_t token) { return token > kLastTokenByte ? 0 : token; }

std::uint8_t CategoryFromClassCode(std::string_view classCode) {
  if (!classCode.empty() && classCode[0] == 'H') return kCategoryHelicopter;
  if (classCode.size() < 3) return kCategoryPiston;
  switch (classCode[2]) {
    case 'J':
      return kCategoryJet;
    case 'T':
      return kCategoryTurboprop;
    default:
      return kCategoryPiston;
  }
}

UnpackedAttitude UnpackPositionAttitude(std::uint32_t word) {
  UnpackedAttitude attitude;
  attitude.pitch = static_cast<float>(-SignedBits(word, 22));
  attitude.bank = static_cast<float>(SignedBits(word, 12));
  attitude.heading = static_cast<float>((word >> 2) & 0x3FF);
  attitude.onGround = (word & 0x2) != 0;
  return attitude;
}

UnpackedAttitude UnpackOlderAttitude(std::uint32_t word) {
  UnpackedAttitude attitude;
  attitude.pitch = static_cast<float>(-SignedBits(word, 22) * 90.0 / 256.0);
  attitude.bank = static_cast<float>(SignedBits(word, 12) * 180.0 / 512.0);
  attitude.heading = static_cast<float>(((word >> 2) & 0x3FF) * 360.0 / 1024.0);
  attitude.onGround = (word & 0x2) != 0;
  return attitude;
}
