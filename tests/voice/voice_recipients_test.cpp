#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/text_fields.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "voice/voice_recipients.h"

namespace {
WayRecord Record(char kind, std::uint32_t flags, std::string_view first, std::string_view second = "") {
  WayRecord record;
  record.peerKind = kind;
  record.voiceFlags = flags;
  CopyToField(record.frequencyA, first);
  CopyToField(record.frequencyB, second);
  return record;
}

// The test's own idea of a link: the records it marks with this flag.
constexpr std::uint32_t kTestLinkUp = 0x80000000;
bool MarkedLinkUp(const WayRecord& record) { return (record.stateFlags & kTestLinkUp) != 0; }

class VoiceRecipientsTable : public ::testing::Test {
 protected:
  void SetUp() override {
    WayTableLock().Init();
    for (WayRecord& record : WayTable()) record = WayRecord{};
  }
  void TearDown() override {
    for (WayRecord& record : WayTable()) record = WayRecord{};
  }
};
}  // namespace

TEST(VoiceRecipients, WhoHearsAFrequency) {
  struct Case {
    const char* what;
    WayRecord record;
    bool linkUp;
    bool hears;
  };
  const Case cases[] = {
      {"pilot on COM1, text with trailing zeros", Record('P', 0x04, "122.800"), true, true},
      {"pilot on COM1, link down", Record('P', 0x04, "122.800"), false, false},
      {"pilot on COM1, excluded", Record('P', 0x05, "122.800"), true, false},
      {"pilot on COM1, other frequency", Record('P', 0x04, "122.805"), true, false},
      {"pilot on COM2 hears his second frequency", Record('P', 0x08, "119.100", "122.8"), true, true},
      {"pilot on COM2 does not hear his first", Record('P', 0x08, "122.8", "119.100"), true, false},
      {"pilot on COM1 does not hear his second", Record('P', 0x04, "119.100", "122.8"), true, false},
      {"pilot on both hears his first", Record('P', 0x10, "122.80", "119.1"), true, true},
      {"pilot on both hears his second", Record('P', 0x10, "119.1", "122.80"), true, true},
      {"pilot without a radio selection", Record('P', 0x00, "122.8", "122.8"), true, false},
      {"controller on the frequency", Record('A', 0x00, "122.800"), true, true},
      {"controller, excluded bit means nothing", Record('A', 0x01, "122.800"), true, true},
      {"controller, second frequency is not his", Record('A', 0x00, "119.1", "122.8"), true, false},
      {"controller, link down", Record('A', 0x00, "122.8"), false, false},
      {"a way of no kind", Record(0, 0x14, "122.8"), true, false},
  };
  for (const Case& c : cases) EXPECT_EQ(HearsVoice(c.record, c.linkUp, 122.8F), c.hears) << c.what;
}

TEST(VoiceRecipients, TransmitFrequencyFromTheSelectedRadio) {
  struct Case {
    OwnRadios radios;
    std::optional<float> expected;
  };
  const Case cases[] = {
      {{"122.80", "119.10", true, false, false}, 122.8F},
      {{"122.80", "119.10", false, true, false}, 119.1F},
      {{"122.80", "119.10", true, true, false}, 119.1F},  // COM2 wins
      {{"122.80", "119.10", false, false, true}, std::nullopt},
      {{"", "119.10", true, false, false}, std::nullopt},
      {{"122.80", "", false, true, false}, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TransmitFrequency(c.radios), c.expected);
}

TEST(VoiceRecipients, AFullFrequencyFieldIsReadWithinItsBytes) {
  WayRecord record;
  std::memcpy(record.frequencyA.data(), "122.8000", 8);  // no terminator inside the field
  std::memcpy(record.frequencyB.data(), "9", 2);
  EXPECT_FLOAT_EQ(FrequencyValue(record.frequencyA), 122.8F);
}

TEST_F(VoiceRecipientsTable, ScanCopiesCallsignAndServerOfEachRecipient) {
  WayTable()[3] = Record('P', 0x04, "122.800");
  CopyToField(WayTable()[3].callsign, "AFR45");
  CopyToField(WayTable()[3].serverName, "EUROPE-1");
  WayTable()[3].stateFlags |= kTestLinkUp;
  WayTable()[7] = Record('A', 0, "122.8");
  CopyToField(WayTable()[7].callsign, "LFPG_TWR");
  CopyToField(WayTable()[7].serverName, "EUROPE-2");
  WayTable()[7].stateFlags |= kTestLinkUp;
  WayTable()[9] = Record('P', 0x04, "122.8");  // not linked
  CopyToField(WayTable()[9].callsign, "NOLINK");

  VoiceRecipientList list{};
  ASSERT_EQ(ScanVoiceRecipients(122.8F, list, &MarkedLinkUp), 2u);
  EXPECT_STREQ(list[0].callsign.data(), "AFR45");
  EXPECT_STREQ(list[0].server.data(), "EUROPE-1");
  EXPECT_STREQ(list[1].callsign.data(), "LFPG_TWR");
  EXPECT_STREQ(list[1].server.data(), "EUROPE-2");
  EXPECT_EQ(WayTableLock().Nesting(), 0) << "the lock is left";
}

TEST_F(VoiceRecipientsTable, ProgramsLinkTestNeedsAWay) {
  WayTable()[0] = Record('P', 0x04, "122.8");
  VoiceRecipientList list{};
  EXPECT_EQ(ScanVoiceRecipients(122.8F, list), 0u) << "no way object, no link";
}
