// The voice system reads the program's own aircraft: the working copies of
// the COM texts and the radio selection that the own-aircraft poll keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "app/voice_setup.h"
#include "core/own_aircraft_state.h"
#include "voice/own_radios.h"
#include "voice/voice_recipients.h"

namespace {

OwnComText Com(const char* text) {
  OwnComText field{};
  std::strncpy(field.data(), text, field.size() - 1);
  return field;
}

class VoiceOwnRadios : public ::testing::Test {
 protected:
  void TearDown() override { g_ownAircraft().Reset(); }
};

TEST_F(VoiceOwnRadios, TheInstalledReaderGivesTheWorkingCopiesAndTheTransmitFrequencyFollowsTheSelection) {
  struct Case {
    const char* com1;
    const char* com2;
    std::uint32_t com1Selected;
    std::uint32_t com2Selected;
    std::uint32_t bothSelected;
    std::optional<float> transmit;
  };
  const Case cases[] = {
      {"122.80", "121.50", 1, 0, 0, 122.8F},
      {"122.80", "121.50", 0, 1, 0, 121.5F},
      // COM 2 wins when both selection flags are set.
      {"122.80", "121.50", 1, 1, 1, 121.5F},
      {"122.80", "121.50", 0, 0, 0, std::nullopt},
      {"", "121.50", 1, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.com1) + " / " + c.com2 + " sel " + std::to_string(c.com1Selected) +
                 std::to_string(c.com2Selected) + std::to_string(c.bothSelected));
    OwnWorkingCopies working;
    working.com1 = Com(c.com1);
    working.com2 = Com(c.com2);
    working.com1Selected = c.com1Selected;
    working.com2Selected = c.com2Selected;
    working.bothSelected = c.bothSelected;
    g_ownAircraft().SetWorkingCopies(working);

    const OwnRadios radios = ReadOwnRadios();
    EXPECT_EQ(radios.com1Text, c.com1);
    EXPECT_EQ(radios.com2Text, c.com2);
    EXPECT_EQ(radios.com1Selected, c.com1Selected != 0);
    EXPECT_EQ(radios.com2Selected, c.com2Selected != 0);
    EXPECT_EQ(radios.bothSelected, c.bothSelected != 0);
    EXPECT_EQ(TransmitFrequency(radios), c.transmit);
  }
}

TEST_F(VoiceOwnRadios, AFullEightByteComTextIsReadUpToItsEnd) {
  OwnWorkingCopies working;
  working.com1.fill('9');  // no terminator at all
  working.com1Selected = 1;
  const OwnRadios radios = OwnRadiosFrom(working);
  EXPECT_EQ(radios.com1Text, std::string(kOwnComTextSize, '9'));
}

}  // namespace
