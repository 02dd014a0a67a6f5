#include "bench/codec_inputs.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <string_view>

#include "net/node_records.h"

namespace {

// Little-endian and zero-padded text fields of the flight-plan record.
void PutU32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}
void PutText(std::span<std::uint8_t> bytes, std::size_t at, std::size_t size, std::string_view text) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::copy_n(text.begin(), n, bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

std::string Numbered(const char* format, unsigned value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), format, value);
  return text.data();
}

ByteVector ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return ByteVector(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

ByteVector LoginRecordInput(unsigned variant) {
  LoginRecord record;
  IdentityBlock& id = record.identity;
  id.peerKind = 'P';
  id.versionMajor = 11;
  id.versionMinor = 0;
  id.versionBuild = 4;
  id.versionLetter = 'A';
  id.machineId = 0x5A17C0DEu + variant;
  id.publicAddress = 0x0100007Fu;  // 127.0.0.1 in network order
  id.lanAddress = 0x0B01A8C0u + (variant << 24);
  id.listenPort = 55009;
  id.login = Numbered("%06u", 104200 + variant);
  id.passwordOrServer = "s3cret-pw";
  id.callsign = Numbered("DLH%uAB", 100 + variant % 900);
  record.optionBits = kLoginOnGround | kLoginCom1Selected;
  record.simulatorCode = 9000;
  record.altitudeFeet = 364 + static_cast<std::int32_t>(variant % 97);
  record.headingDegrees = static_cast<std::uint16_t>((variant * 37) % 360);
  record.transponderCode = 07000;
  record.nearestAirport = "EDDF";
  record.airportDistanceNm = 1;
  record.latitude = 50.0333 + variant * 1e-4;
  record.longitude = 8.5706 - variant * 1e-4;
  record.com1 = "121.800";
  record.com2 = "118.025";
  record.icaoType = "A320";
  record.title = "Airbus A320 Neo Lufthansa";
  record.classCode = "L2J";
  record.shortCode.assign(1, 'M');
  const LoginRecordBytes bytes = WriteLoginRecord(record);
  return ByteVector(bytes.begin(), bytes.end());
}

ByteVector FlightPlanInput(unsigned variant) {
  FlightPlanRecordBytes plan{};
  PutText(plan, 8, 8, "A320");
  PutU32(plan, 16, 12);
  PutText(plan, 20, 2, "I");
  PutText(plan, 24, 6, "FL360");
  PutU32(plan, 88, 450);
  PutText(plan, 96, 5, "EDDF");
  PutText(plan, 101, 5, variant % 2 ? "LEMD" : "LFPG");
  PutText(plan, 106, 5, "LFOB");
  const std::uint32_t times[] = {14, 30, 14, 42, 1, 5, 3, 15};
  for (std::size_t k = 0; k < std::size(times); ++k) PutU32(plan, 112 + 4 * k, times[k]);
  PutText(plan, 144, 1024,
          "PBN/A1B1C1D1O1S1 DOF/" + Numbered("2406%02u", 1 + variant % 28) +
              " REG/DAINB EET/EBUR0019 LFFF0031 SEL/ABCD CODE/3C4A1B OPR/DLH PER/C RMK/TCAS");
  PutText(plan, 1168, 1024,
          "SOBRA Y163 ETAGO UZ29 DINAR UN857 DIKOL UT158 KUNAV DCT " + Numbered("NURMO%u", variant % 10) +
              " UT182 SUMAS UN870 BAKUP UY110 LATEK");
  PutU32(plan, 2192, 146);
  const FlightPlanPacketBytes packet = WriteFlightPlanPacket(Numbered("DLH%uAB", 100 + variant % 900), plan);
  return ByteVector(packet.begin(), packet.end());
}

ByteVector TextInput(const std::string& sourceDir, std::size_t size) {
  ByteVector all;
  for (const char* name : {"tk_aircrafts.txt", "tk_airlines.txt", "IATA_ICAO.txt"}) {
    const ByteVector file = ReadFile(sourceDir + "/res/data/" + name);
    all.insert(all.end(), file.begin(), file.end());
  }
  if (all.empty()) all.assign(size, 'x');
  ByteVector text;
  while (text.size() < size) text.insert(text.end(), all.begin(), all.end());
  text.resize(size);
  return text;
}

ByteVector MixedInput(const std::string& sourceDir, std::size_t size) {
  const ByteVector text = TextInput(sourceDir, 64 * 1024);
  ByteVector mixed;
  for (unsigned k = 0; mixed.size() < size; ++k) {
    const ByteVector login = LoginRecordInput(k);
    const ByteVector plan = FlightPlanInput(k);
    const std::size_t from = (k * 1777) % (text.size() - 2048);
    mixed.insert(mixed.end(), login.begin(), login.end());
    mixed.insert(mixed.end(), plan.begin(), plan.end());
    mixed.insert(mixed.end(), text.begin() + static_cast<std::ptrdiff_t>(from),
                 text.begin() + static_cast<std::ptrdiff_t>(from + 1024 + k % 1024));
  }
  mixed.resize(size);
  return mixed;
}
