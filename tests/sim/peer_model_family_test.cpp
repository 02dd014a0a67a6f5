// A remote pilot's model as the program chooses it: with no installed model
// and no rule, the fixed default of the simulator installed here, which the
// plug-in's handshake names.
#include <gtest/gtest.h>

#include <string>

#include "core/sim_family.h"
#include "core/text_fields.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/peer_glue.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"

namespace {

class PeerModelFamilyTest : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    WayTableLock().Init();
    AiLock().Init();
    ResetLocalSimulatorFamily();
  }
  void TearDown() override {
    ResetLocalSimulatorFamily();
    {
      WayTableGuard guard;
      WayTable()[kWay] = WayRecord{};
    }
    KlibFixture::TearDown();
  }
  // The model chosen for a pilot announcing that aircraft.
  std::string ChosenModel(const char* title, const char* type, const char* classCode, std::uint8_t category) {
    SessionWay way(kWay, "[MODEL WAY]");
    {
      WayTableGuard guard;
      WayRecord& record = WayTable()[kWay];
      record = WayRecord{};
      record.stateFlags = kWayAllocated;
      CopyToField(record.announced.title, title);
      CopyToField(record.announced.icaoType, type);
      CopyToField(record.announced.classCode, classCode);
      record.announced.category = category;
    }
    MatchPeerAircraftModel(way, "TEST");
    WayTableGuard guard;
    return std::string(FieldText(WayTable()[kWay].current.title));
  }

  static constexpr std::size_t kWay = 7;
};

TEST_F(PeerModelFamilyTest, AJetWithoutModelOrRuleGetsTheInstalledSimulatorsDefault) {
  const struct {
    std::uint32_t handshake;  // 0: none yet
    const char* jet;
    const char* turboprop;
  } cases[] = {
      {0, "Heavy Metal\\B777-200 British Airways\\Speed-Bird.acf", "General Aviation\\King Air B200\\King Air B200.acf"},
      {10000, "Heavy Metal\\B747-400 United\\747-400 United.acf", "General Aviation\\KingAir C90B\\KingAirC90B.acf"},
      {9100, "Heavy Metal\\B777-200 British Airways\\Speed-Bird.acf", "General Aviation\\King Air B200\\King Air B200.acf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handshake);
    if (c.handshake != 0) TakeInstalledSimulatorCode(c.handshake);
    EXPECT_EQ(ChosenModel("Boeing 747-400 Lufthansa", "B744", "L4J", 1), c.jet);
    EXPECT_EQ(ChosenModel("Beech King Air 350", "B350", "L2T", 5), c.turboprop);
  }
}

}  // namespace
