// The main panel's right-click menu as its state builds it, the key
// recorder, the saved place of the panel and the About line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/about_text.h"
#include "app/context_menu.h"
#include "app/key_recorder.h"
#include "app/main_window_position.h"
#include "win/keys.h"
#include "win/menu.h"

namespace {
const MenuItemSnapshot* FindById(const std::vector<MenuItemSnapshot>& items, UINT id) {
  for (const MenuItemSnapshot& item : items) {
    if (item.id == id && (item.flags & MF_POPUP) == 0) return &item;
    if (const MenuItemSnapshot* inner = FindById(item.popup, id)) return inner;
  }
  return nullptr;
}

struct BuiltMenu {
  MenuSnapshot menu;
  bool Grayed(UINT id) const {
    const MenuItemSnapshot* item = FindById(menu.items, id);
    EXPECT_NE(item, nullptr) << id;
    return item != nullptr && (item->flags & MF_GRAYED) != 0;
  }
  bool PositionGrayed(std::size_t position) const { return (menu.items.at(position).flags & MF_GRAYED) != 0; }
  std::string Text(UINT id) const {
    const MenuItemSnapshot* item = FindById(menu.items, id);
    return item != nullptr ? item->text : "<none>";
  }
};

BuiltMenu Build(const ContextMenuState& state) {
  const HMENU menu = BuildMainContextMenu(state);
  EXPECT_NE(menu, 0u);
  BuiltMenu built;
  if (std::optional<MenuSnapshot> snapshot = SnapshotMenu(menu)) built.menu = *snapshot;
  DestroyMenu(menu);
  return built;
}

ContextMenuState Offline(std::uint32_t code = 9000) {
  ContextMenuState state;
  state.ownSimulatorCode = code;
  return state;
}
}  // namespace

TEST(MainContextMenu, ItemsAreGrayedByTheProgramsState) {
  struct Case {
    const char* name;
    ContextMenuState state;
    bool servers, networkSetup, disconnect, flightPlan, atcList, sendPlan, multiplayer, locate, connect,
        nearest, weather;  // true: grayed
  };
  ContextMenuState sessionOpen = Offline();
  sessionOpen.sessionOpen = true;
  ContextMenuState callsignShown = sessionOpen;
  callsignShown.callsignDialogVisible = true;
  ContextMenuState loggedIn = sessionOpen;
  loggedIn.loggedIn = true;
  ContextMenuState loggedInWithPlan = loggedIn;
  loggedInWithPlan.flightPlanTypeSet = true;
  ContextMenuState fs2004 = Offline(2004);
  ContextMenuState fsx = Offline(2006);
  fsx.sessionOpen = true;
  const Case cases[] = {
      {"closed", Offline(), true, false, true, true, true, true, true, true, false, true, true},
      {"open", sessionOpen, false, false, true, true, true, true, true, true, false, false, false},
      {"callsign dialog shown", callsignShown, true, false, true, true, true, true, true, true, false, false, false},
      {"logged in", loggedIn, true, true, false, false, false, true, true, true, false, false, false},
      {"logged in with a plan", loggedInWithPlan, true, true, false, false, false, false, true, true, false, false,
       false},
      {"own code 2004", fs2004, true, false, true, true, true, true, false, true, true, true, true},
      {"own code 2006", fsx, false, false, true, true, true, true, true, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BuiltMenu built = Build(c.state);
    ASSERT_GE(built.menu.items.size(), 17u);
    EXPECT_EQ(built.menu.items[0].text, "Servers ...");
    EXPECT_EQ(built.PositionGrayed(0), c.servers);
    EXPECT_EQ(built.Grayed(32838), c.networkSetup);
    EXPECT_EQ(built.Grayed(32778), c.disconnect);
    EXPECT_EQ(built.PositionGrayed(1), c.flightPlan);
    EXPECT_EQ(built.Grayed(32785), c.atcList);
    EXPECT_EQ(built.PositionGrayed(15), c.atcList);
    EXPECT_EQ(built.Grayed(32790), c.sendPlan);
    EXPECT_EQ(built.menu.items[10].text, "Multiplayer");
    EXPECT_EQ(built.PositionGrayed(10), c.multiplayer);
    EXPECT_EQ(built.Grayed(32847), c.locate);
    EXPECT_EQ(built.Grayed(32795), c.connect);
    EXPECT_EQ(built.Grayed(32796), c.nearest);
    EXPECT_EQ(built.Grayed(32804), c.weather);
    EXPECT_EQ(built.menu.style & MNS_MODELESS, MNS_MODELESS);
  }
}

TEST(MainContextMenu, ServersPopupHoldsTheFilledSlotsOnly) {
  ContextMenuState state = Offline();
  EXPECT_TRUE(Build(state).menu.items[0].popup.empty()) << "no slot filled";
  state.websites = {"www.one.example", "", " blank first", "www.four.example", " ", "www.six.example"};
  const std::vector<MenuItemSnapshot> servers = Build(state).menu.items[0].popup;
  ASSERT_EQ(servers.size(), 3u);
  EXPECT_EQ(servers[0].id, 33000u);
  EXPECT_EQ(servers[0].text, "www.one.example");
  EXPECT_EQ(servers[1].id, 33003u);
  EXPECT_EQ(servers[1].text, "www.four.example");
  EXPECT_EQ(servers[2].id, 33005u);
}

TEST(MainContextMenu, ConnectLabelFollowsTheSessionAndTheUsersLanguage) {
  struct Case {
    std::int32_t language;
    bool open;
    const char* label;
  };
  const Case cases[] = {{0, false, "&Connect"},      {1, false, "&Connecter"},       {2, false, "&Conectar"},
                        {0, true, "&Disconnect"},    {1, true, "&D\xE9" "connecter"}, {2, true, "&Desconectar"},
                        {7, false, "&Connect"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ContextMenuState state = Offline();
    state.language = c.language;
    state.sessionOpen = c.open;
    EXPECT_EQ(Build(state).Text(32795), c.label);
  }
}

TEST(MainContextMenu, QuitIsAppendedAndTheDevelopmentPopupComesWithTraceBitZero) {
  ContextMenuState state = Offline();
  state.traceMask = 0xFFFFFFFE;
  const BuiltMenu plain = Build(state);
  EXPECT_EQ(plain.menu.items.back().id, 32835u);
  EXPECT_EQ(plain.menu.items.back().text, "Quit xTavelkor");
  state.traceMask = 1;
  const BuiltMenu developer = Build(state);
  ASSERT_EQ(developer.menu.items.size(), plain.menu.items.size() + 1);
  const MenuItemSnapshot& last = developer.menu.items.back();
  EXPECT_EQ(last.text, "&Development");
  ASSERT_FALSE(last.popup.empty());
  // Each of its commands appears nowhere else in the menu.
  for (const MenuItemSnapshot& item : last.popup) EXPECT_EQ(FindById(plain.menu.items, item.id), nullptr) << item.id;
}

TEST(KeyRecorderTest, EnterTellsWhichSequenceWasTyped) {
  struct Case {
    const char* keys;
    KeyRecorder::Outcome outcome;
  };
  const Case cases[] = {{"TRACES", KeyRecorder::Outcome::kTracingOn},
                        {"CKPT", KeyRecorder::Outcome::kCockpitOn},
                        {"TRACE", KeyRecorder::Outcome::kTracingOff},
                        {"TRACESS", KeyRecorder::Outcome::kTracingOff},
                        {"CKPX", KeyRecorder::Outcome::kTracingOff},
                        {"", KeyRecorder::Outcome::kTracingOff}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    KeyRecorder recorder;
    EXPECT_EQ(recorder.OnKeyDown(VK_PAUSE), KeyRecorder::Outcome::kPassOn);
    for (const char* key = c.keys; *key != '\0'; ++key)
      EXPECT_EQ(recorder.OnKeyDown(static_cast<std::uint32_t>(*key)), KeyRecorder::Outcome::kSwallowed);
    EXPECT_EQ(recorder.OnKeyDown(VK_RETURN), c.outcome);
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(recorder.Count(), 0u);
  }
}

TEST(KeyRecorderTest, KeysPassOnUntilPauseAndAFullTableSwallowsTheRest) {
  KeyRecorder recorder;
  EXPECT_EQ(recorder.OnKeyDown('T'), KeyRecorder::Outcome::kPassOn);
  EXPECT_EQ(recorder.OnKeyDown(VK_RETURN), KeyRecorder::Outcome::kPassOn) << "ENTER outside a recording";
  recorder.OnKeyDown(VK_PAUSE);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(recorder.OnKeyDown('A'), KeyRecorder::Outcome::kSwallowed);
  EXPECT_EQ(recorder.Count(), 127u);
  // A new PAUSE starts over: the sequence typed then counts alone.
  recorder.OnKeyDown(VK_PAUSE);
  for (char key : std::string("TRACES")) recorder.OnKeyDown(static_cast<std::uint32_t>(key));
  EXPECT_EQ(recorder.OnKeyDown(VK_RETURN), KeyRecorder::Outcome::kTracingOn);
}

TEST(MainWindowPlace, SavedRectangleIsUsedOnlyWhenItLiesOnTheScreen) {
  struct Case {
    WindowPosition saved;
    std::optional<POINT> origin;
  };
  const Case cases[] = {
      {{100, 50, 300, 150}, POINT{100, 50}},
      {{1919, 0, 2100, 100}, POINT{1919, 0}},
      {{1920, 0, 2100, 100}, std::nullopt},
      {{0, 1080, 200, 1200}, std::nullopt},
      {{-300, 10, 0, 100}, std::nullopt},
      {{-300, -100, 1, 1}, POINT{-300, -100}},
      {{10, -100, 200, 0}, std::nullopt},
      {{10, 10, 10000, 100}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.saved.left << "," << c.saved.top << "," << c.saved.right << ","
                                    << c.saved.bottom);
    EXPECT_EQ(SavedMainWindowOrigin(c.saved, 1920, 1080), c.origin);
  }
}

TEST(AboutLine, NamesTheSimulatorByItsCode) {
  struct Case {
    std::uint32_t code, major, minor;
    const char* name;
  };
  const Case cases[] = {{2002, 2, 2, "FS2002"},  {2004, 2, 4, "FS2004"}, {2006, 2, 6, "FSX"},
                        {3002, 3, 2, "P3Dv2"},   {3003, 3, 3, "P3Dv3"},  {9000, 9, 0, "XP9"},
                        {10000, 10, 0, "XP10"},  {9500, 9, 500, "XP9.500"}, {10999, 10, 999, "XP10.999"},
                        {11000, 11, 0, "???11000"}, {3004, 3, 4, "???3004"}, {0, 0, 0, "???0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(SimulatorNameForAbout(c.code, c.major, c.minor), c.name);
  }
  EXPECT_EQ(AboutVersionLine(10000, 10, 0), "\tSimulator is XP10, Tavelkor v11.0.4.B");
}
