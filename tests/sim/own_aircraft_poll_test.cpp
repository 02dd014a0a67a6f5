// The once-a-second poll of the own aircraft: what it announces, what the
// main dialog's radio status shows, and the transponder code it reports.
#include "sim/own_aircraft_poll.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/own_position.h"
#include "core/ui_hooks.h"
#include "net/way_table_lock.h"
#include "sim/plugin_link_records.h"

namespace {

std::mutex g_textsLock;
std::vector<std::pair<int, std::string>> g_texts;
void RecordText(int id, const char* text) {
  std::lock_guard lock(g_textsLock);
  g_texts.emplace_back(id, text);
}

class OwnAircraftPollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WayTableLock().Init();
    g_ownAircraft().Reset();
    ResetOwnAircraftPoll();
    g_networkState = 0;
    g_texts.clear();
    UiHooks hooks;
    hooks.setMainDialogText = &RecordText;
    SetUiHooks(hooks);
  }
  void TearDown() override {
    SetUiHooks({});
    g_networkState = 0;
    g_ownAircraft().Reset();
    ResetOwnAircraftPoll();
  }
  static void Radios(std::uint16_t code, std::uint32_t com1, std::uint16_t audio) {
    DataSet2Record record;
    record.transponderCode = code;
    record.transponderMode = 2;
    record.com1Hundredths = com1;
    record.com2Hundredths = 12150;
    record.audioSelection = audio;
    g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
      own.radios = ApplyDataSet2(record, own.radios);
      own.working.com1 = own.radios.com1;
      own.working.com1Selected = own.radios.com1Selected;
      own.working.com2 = own.radios.com2;
      own.working.com2Selected = own.radios.com2Selected;
    });
  }
  static std::vector<std::string> StatusTexts() {
    std::vector<std::string> texts;
    for (const auto& [id, text] : g_texts) {
      if (id == kRadioStatusId) texts.push_back(text);
    }
    return texts;
  }
};

TEST_F(OwnAircraftPollTest, OfflineOnlyTheOnGroundFlagIsAnnounced) {
  EXPECT_EQ(PollOwnAircraftState(), 0u) << "on the ground by default, as last announced";
  OwnFlightData flight;
  flight.onGround = 0;
  g_ownAircraft().SetFlightData(flight);
  Radios(4721, 12280, 6);
  EXPECT_EQ(PollOwnAircraftState(), kOwnChangeOnGround);
  EXPECT_FALSE(OwnOnGround());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PollOwnAircraftState(), 0u);
  EXPECT_TRUE(StatusTexts().empty());
}

TEST_F(OwnAircraftPollTest, LoggedInTheRadiosAndTheCodeAreReportedSteadily) {
  g_networkState = 2;
  // No plug-in code yet: the default stands, and the status shows no radio.
  std::uint32_t mask = 0;
  for (int i = 0; i < 3; ++i) mask |= PollOwnAircraftState();
  EXPECT_EQ(g_ownAircraft().Snapshot().radios.transponderCode, 1200u);
  ASSERT_FALSE(StatusTexts().empty());
  EXPECT_EQ(StatusTexts().front(), "---");

  Radios(4721, 12280, 6);
  mask = PollOwnAircraftState();
  EXPECT_NE(mask & kOwnChangeRadios, 0u);
  EXPECT_NE(mask & kOwnChangeTransponder, 0u);
  EXPECT_NE(mask & kOwnChangeTransponderMode, 0u);
  EXPECT_EQ(StatusTexts().back(), "122.80");

  // A minute of polls with the plug-in's values unchanged: nothing more to
  // announce, and the code is never set back to the default.
  for (int second = 0; second < 60; ++second) {
    EXPECT_EQ(PollOwnAircraftState() & (kOwnChangeRadios | kOwnChangeTransponder), 0u) << second;
    EXPECT_EQ(g_ownAircraft().Snapshot().radios.transponderCode, 4721u) << second;
    EXPECT_STREQ(g_ownAircraft().Snapshot().working.com1.data(), "122.80") << second;
  }

  // COM2 selected: the status follows.
  Radios(4721, 12280, 7);
  EXPECT_NE(PollOwnAircraftState() & kOwnChangeRadios, 0u);
  EXPECT_EQ(StatusTexts().back(), "121.50");
}

TEST_F(OwnAircraftPollTest, AReportedStateIsNotAnnouncedAgain) {
  g_networkState = 2;
  Radios(4721, 12280, 6);
  PollOwnAircraftState();
  g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.model.titleForPeers[0] = 'X'; });
  MarkOwnAircraftReported();
  EXPECT_EQ(PollOwnAircraftState() & (kOwnChangeTitle | kOwnChangeRadios), 0u);
  RequestRadioReselect();
  std::uint32_t mask = 0;
  for (int i = 0; i < 3; ++i) mask |= PollOwnAircraftState();
  EXPECT_NE(mask & kOwnChangeRadios, 0u) << "the controller list asked for the radios again";
}

TEST_F(OwnAircraftPollTest, Accessors) {
  Radios(4721, 12345, 6);
  char text[8] = {};
  EXPECT_EQ(GetOwnCom1Text(text, sizeof text), 1);
  EXPECT_STREQ(text, "123.45");
  char tiny[4] = {};
  EXPECT_EQ(GetOwnCom1Text(tiny, sizeof tiny), 1);
  EXPECT_STREQ(tiny, "123");
  EXPECT_EQ(GetOwnCom1Text(nullptr, 8), 0);
  std::uint32_t flag = 9;
  EXPECT_EQ(GetOwnCom1Selected(&flag), 1);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(GetOwnOnGround(nullptr), 0);
  double value = 0;
  EXPECT_EQ(GetOwnSpeed(nullptr), 0);
  EXPECT_EQ(GetOwnTrueHeading(&value), 1);
  for (const char* good : {"118.30", "136.97"}) EXPECT_EQ(TuneCom1Frequency(good), 1) << good;
  for (const char* bad : {"18.300", "218.30", "118.3", "118,30", "", "118.300"}) EXPECT_EQ(TuneCom1Frequency(bad), 0) << bad;
  EXPECT_EQ(TuneCom1Frequency(nullptr), 0);
}

// Readers on other threads get whole snapshots, never a mix of two writes.
TEST(OwnAircraftState, SnapshotsAreNeverTorn) {
  g_ownAircraft().Reset();
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20'000; ++i) {
      OwnFlightData flight;
      flight.latitude = i;
      flight.longitude = -i;
      flight.altitudeFeet = 2.0 * i;
      g_ownAircraft().SetFlightData(flight);
    }
    done = true;
  });
  std::size_t torn = 0;
  while (!done.load()) {
    const OwnPositionFix fix = OwnPosition();
    if (fix.longitude != -fix.latitude || fix.altitudeFeet != 2.0 * fix.latitude) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn, 0u);
  g_ownAircraft().Reset();
}

}  // namespace
