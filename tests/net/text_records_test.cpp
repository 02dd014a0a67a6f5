#include "net/text_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(TextOnAirRecord, FieldsSitAtTheirOffsets) {
  const TextOnAirRecordBytes bytes = WriteTextOnAirRecord({"ABC123", "hello", 122.8});
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 8, [](auto b) { return b == 0; }));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 15), std::string("ABC123\0", 7));
  EXPECT_EQ(std::string(bytes.begin() + 24, bytes.begin() + 30), std::string("hello\0", 6));
  EXPECT_TRUE(std::all_of(bytes.begin() + 29, bytes.begin() + 536, [](auto b) { return b == 0; }));
  // 122.8 as an IEEE double is 0x405EB33333333333, least significant byte first.
  const std::uint8_t frequency[] = {0x33, 0x33, 0x33, 0x33, 0x33, 0xB3, 0x5E, 0x40};
  EXPECT_TRUE(std::equal(bytes.begin() + 536, bytes.end(), std::begin(frequency)));
}

TEST(TextOnAirRecord, RoundTrips) {
  const TextOnAirRecord in{"F-GHIJ", std::string("Bonjour \xE9t\xE9 ") + std::string(300, 'x'),
                           118.025};
  const TextOnAirRecordBytes bytes = WriteTextOnAirRecord(in);
  const TextOnAirRecord out = ReadTextOnAirRecord(bytes);
  EXPECT_EQ(out.sender, in.sender);
  EXPECT_EQ(out.text, in.text);
  EXPECT_EQ(out.frequencyMhz, in.frequencyMhz);
}

TEST(PrivateTextRecord, FieldsSitAtTheirOffsetsAndRoundTrip) {
  const PrivateTextRecord in{"SENDER", "LFPG_TWR", "cleared to land"};
  const PrivateTextRecordBytes bytes = WritePrivateTextRecord(in);
  EXPECT_EQ(bytes[8], 'S');
  EXPECT_EQ(bytes[24], 'L');
  EXPECT_EQ(bytes[40], 'c');
  EXPECT_EQ(bytes[40 + in.text.size()], 0);
  const PrivateTextRecord out = ReadPrivateTextRecord(bytes);
  EXPECT_EQ(out.sender, in.sender);
  EXPECT_EQ(out.recipient, in.recipient);
  EXPECT_EQ(out.text, in.text);
}

TEST(TextRecords, LongTextsAreCutToKeepTheirTerminator) {
  const PrivateTextRecord in{std::string(40, 'S'), std::string(16, 'R'), std::string(600, 't'), 0};
  const PrivateTextRecordBytes bytes = WritePrivateTextRecord(in);
  EXPECT_EQ(bytes[8 + 15], 0);
  EXPECT_EQ(bytes[24 + 15], 0);
  EXPECT_EQ(bytes[40 + 511], 0);
  const PrivateTextRecord out = ReadPrivateTextRecord(bytes);
  EXPECT_EQ(out.sender, std::string(15, 'S'));
  EXPECT_EQ(out.recipient, std::string(15, 'R'));
  EXPECT_EQ(out.text, std::string(511, 't'));
}

// A peer may fill a field to its last byte without a terminator: the read
// ends each field at its last byte (a callsign keeps 15 characters, a text
// 511), never running into the next field.
TEST(TextRecords, UnterminatedFieldsAreEndedAtTheirLastByte) {
  PrivateTextRecordBytes hostile{};
  std::fill(hostile.begin(), hostile.end(), std::uint8_t{'Z'});
  const PrivateTextRecord p = ReadPrivateTextRecord(hostile);
  EXPECT_EQ(p.sender, std::string(15, 'Z'));
  EXPECT_EQ(p.recipient, std::string(15, 'Z'));
  EXPECT_EQ(p.text, std::string(511, 'Z'));

  TextOnAirRecordBytes onAir{};
  std::fill(onAir.begin(), onAir.begin() + 536, std::uint8_t{'Q'});
  const TextOnAirRecord t = ReadTextOnAirRecord(onAir);
  EXPECT_EQ(t.sender, std::string(15, 'Q'));
  EXPECT_EQ(t.text, std::string(511, 'Q'));
  EXPECT_EQ(t.frequencyMhz, 0.0);
}

// The last byte of the private text field is the tag marker: it is read as it
// came, before the text is ended there, and a 511-character text keeps it.
TEST(TextRecords, ThePrivateMarkerIsReadBeforeTheTextIsEnded) {
  struct Case {
    std::uint8_t marker;
    std::size_t textLength;
  };
  for (const Case c : {Case{1, 511}, Case{1, 3}, Case{0, 511}, Case{7, 40}}) {
    SCOPED_TRACE(c.textLength);
    PrivateTextRecordBytes bytes{};
    std::fill(bytes.begin() + 40, bytes.begin() + 40 + static_cast<std::ptrdiff_t>(c.textLength), std::uint8_t{'m'});
    bytes[551] = c.marker;
    const PrivateTextRecord read = ReadPrivateTextRecord(bytes);
    EXPECT_EQ(read.marker, c.marker);
    EXPECT_EQ(read.text, std::string(c.textLength, 'm'));
    EXPECT_EQ(WritePrivateTextRecord(read), bytes) << "written back byte for byte";
  }
}

}  // namespace
