// The aircraft type chooser: its rows read from the type table file as the
// table reads it, the text search, the own title and type shown, OK and a
// double-click making the row the own type, Cancel, and the aircraft change
// that shows it.
#include "dialogs/type_chooser_dialog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/main_thread.h"
#include "core/aircraft_change_hook.h"
#include "core/aircraft_type_db.h"
#include "core/app_paths.h"
#include "core/big_tables.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "net/multiplayer_session.h"
#include "sim/own_aircraft_link.h"
#include "sim/plugin_link_records.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "support/session_way.h"
#include "support/wait_until.h"
#include "win/button_ctrl.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/brush.h"
#include "win/msgbox.h"
#include "win/paint.h"
#include "win/sys_colors.h"

namespace {

const std::vector<std::string> kTypeLines = {
    "Boeing\t737-800\tB738\tL2J\tM", "Airbus\tA320\tA320\tL2J\tM", "Cessna\t172\tC172\tL1P\tL",
    "Boeing\t747-400\tB744\tL4J\tH", "Robinson\tR22\tR22\tH1P\tL",  "Boeing\t777-300\tB773\tL2J\tH",
};

void WriteLines(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

WPARAM Clicked(int id) { return static_cast<WPARAM>(static_cast<DWORD>(BN_CLICKED) << 16 | static_cast<DWORD>(id)); }

void PumpMessages() {
  MSG msg{};
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != FALSE) DispatchMessageA(&msg);
}

// A session peer's way that keeps the sub-codes of the session's requests to it.
class RecordingPeerWay : public SessionWay {
 public:
  explicit RecordingPeerWay(std::int32_t wayId) : SessionWay(wayId, "[PEER WAY]") {}
  ~RecordingPeerWay() override { StopThread(); }
  std::vector<std::uint32_t> SubCodes() {
    std::lock_guard lock(mutex_);
    return subCodes_;
  }

 protected:
  DWORD HandleSimPilotMessage(const DMessage& message) override {
    std::lock_guard lock(mutex_);
    subCodes_.push_back(message.param);
    return 1;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> subCodes_;
};

class TypeChooserTest : public KlibFixture {
 protected:
  static void SetUpTestSuite() {
    SetMessageBoxEcho(false);
    ASSERT_EQ(AllocateTables(), 1);
  }
  void SetUp() override {
    KlibFixture::SetUp();
    ClearShownMessageBoxes();
    InstallDialogTemplates();
    g_ownAircraft().Reset();
    savedTypesFile_ = g_appPaths().aircraftTypesFile;
    path_ = folder_.Path() + "/tk_aircrafts.txt";
    g_appPaths().aircraftTypesFile = path_;
    LoadTable(CrLfLines(kTypeLines));
    Create();
  }
  void TearDown() override {
    dialog_.reset();
    SetAircraftChangedHook(nullptr);
    g_appPaths().aircraftTypesFile = savedTypesFile_;
    g_ownAircraft().Reset();
    ClearShownMessageBoxes();
    KlibFixture::TearDown();
  }

  void LoadTable(const std::string& bytes) {
    WriteLines(path_, bytes);
    AircraftTypeDb& db = g_aircraftTypeDb();
    db.loaded = false;
    db.count = 0;
    ASSERT_EQ(LoadAircraftTypes(path_), 2);
  }
  void Create() {
    dialog_ = std::make_unique<CSelectPlaneDlg>();
    ASSERT_TRUE(dialog_->Create(kTypeChooserTemplate));
    g_pSelectPlaneDlg = dialog_.get();
  }
  CListBox& List() {
    auto* list = dynamic_cast<CListBox*>(dialog_->GetDlgItem(kTypeChooserListId));
    EXPECT_NE(list, nullptr);
    return *list;
  }
  std::string Text(int id) {
    std::string text;
    if (CWnd* control = dialog_->GetDlgItem(id)) control->GetWindowText(text);
    return text;
  }
  // The pilot selects `row` as the automation's select does (with LBN_SELCHANGE).
  void PickRow(int row) { ASSERT_NE(SendMessageA(List().m_hWnd, ControlSelectMessage(), row, 0), 0); }
  int Search(const std::string& text) {
    dialog_->GetDlgItem(kTypeChooserSearchTextId)->SetWindowText(text.c_str());
    SendMessageA(dialog_->m_hWnd, WM_COMMAND, Clicked(kTypeChooserSearchId), 0);
    return List().GetCurSel();
  }
  int SearchNext() {
    SendMessageA(dialog_->m_hWnd, WM_COMMAND, Clicked(kTypeChooserSearchNextId), 0);
    return List().GetCurSel();
  }
  static void LoadAircraft(const std::string& title) { ApplyUserAircraftLoaded(BuildOwnIdentityRecord(title)); }
  static OwnModel Own() { return g_ownAircraft().Snapshot().model; }
  static std::string IdentityType(const OwnModel& model) {
    return std::string(reinterpret_cast<const char*>(model.identityRecord.data() + kOwnIdentityIcaoAt));
  }

  TempFolder folder_;
  std::string path_;
  std::string savedTypesFile_;
  std::unique_ptr<CSelectPlaneDlg> dialog_;
};

TEST_F(TypeChooserTest, EachTypeLineIsARowNumberedAsItsRecord) {
  // Empty lines, lone CR or LF and a last line without a break count as the table counts them.
  LoadTable("\r\nBoeing\t737-800\tB738\tL2J\tM\n\nAirbus\tA320\tA320\tL2J\tM\rCessna\t172\tC172\tL1P\tL");
  EXPECT_EQ(dialog_->FillList(path_), 3);
  EXPECT_EQ(List().Items(), (std::vector<std::string>{"Boeing\t737-800\tB738\tL2J\tM\t0",
                                                      "Airbus\tA320\tA320\tL2J\tM\t1", "Cessna\t172\tC172\tL1P\tL\t2"}));
  EXPECT_EQ(List().GetCount(), g_aircraftTypeDb().count);
  EXPECT_EQ(List().TabStops(), (std::vector<int>{150, 300, 330, 400}));
  EXPECT_EQ(dialog_->SelectedRow(), -1);
}

TEST_F(TypeChooserTest, RowsStayTheRecordsOfTheTypeTable) {
  // A line longer than the table keeps is still one record and one row, shown whole.
  const std::string longLine = "Long\t" + std::string(300, 'x') + "\tLONG\tL2J\tM";
  LoadTable(CrLfLines({kTypeLines[0], longLine, kTypeLines[1]}));
  ASSERT_EQ(dialog_->FillList(path_), 3);
  EXPECT_EQ(List().ItemText(1), longLine + "\t1");
  EXPECT_EQ(FieldText(g_aircraftTypeDb().records[2].icaoType), "A320");
  EXPECT_EQ(List().ItemText(2), kTypeLines[1] + "\t2");

  // No more rows than the table holds records.
  std::vector<std::string> many(kMaxAircraftTypes + 5, kTypeLines[2]);
  many.back() = kTypeLines[0];
  LoadTable(CrLfLines(many));
  EXPECT_EQ(dialog_->FillList(path_), kMaxAircraftTypes);
  EXPECT_EQ(List().GetCount(), g_aircraftTypeDb().count);
}

TEST_F(TypeChooserTest, ALineOfTheRowLimitEndsTheReading) {
  WriteLines(path_, CrLfLines({kTypeLines[0], std::string(kTypeChooserLineMax - 1, 'a'), std::string(kTypeChooserLineMax, 'b'),
                               kTypeLines[1]}));
  EXPECT_EQ(dialog_->FillList(path_), 3);
  EXPECT_EQ(List().ItemText(1), std::string(kTypeChooserLineMax - 1, 'a') + "\t1");
  EXPECT_EQ(List().ItemText(2), std::string(kTypeChooserLineMax, 'b') + "\t2");
}

TEST_F(TypeChooserTest, AMissingFileOrAFullListStopsTheRows) {
  EXPECT_EQ(dialog_->FillList(folder_.Path() + "/none.txt"), 0);
  EXPECT_EQ(List().GetCount(), 0);
  List().SetItemLimit(4);
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(dialog_->FillList(path_), 4);
  const std::string out = testing::internal::GetCapturedStdout();
  SetTraceConsole(false);
  EXPECT_EQ(List().GetCount(), 4);
  EXPECT_NE(out.find("Can't add more than 4 aircrafts in the listbox of the flight plan"), std::string::npos) << out;
}

TEST_F(TypeChooserTest, SearchFindsEachRowHoldingTheTextAndStopsAtTheLast) {
  EXPECT_EQ(dialog_->NextSearch(), kTypeSearchNoText);
  EXPECT_EQ(Search(""), -1) << "an empty text does nothing";
  EXPECT_EQ(Search("boeing"), 0);
  EXPECT_EQ(SearchNext(), 3);
  EXPECT_EQ(SearchNext(), 5);
  EXPECT_EQ(dialog_->NextSearch(), kTypeSearchEnd);
  EXPECT_EQ(dialog_->NextSearch(), kTypeSearchEnd);
  EXPECT_EQ(List().GetCurSel(), 5) << "no wrap-around";
  EXPECT_EQ(dialog_->SelectedRow(), 5);
  // A new search starts from the top again; the row number is part of the text.
  EXPECT_EQ(Search("l2j\tm\t1"), 1);
  EXPECT_EQ(dialog_->NewSearch(), 1);
  EXPECT_EQ(Search("Concorde"), 1) << "nothing found leaves the selection";
}

TEST_F(TypeChooserTest, ShowingGivesTheOwnTitleAndItsTypeRow) {
  g_ownAircraft().Update([](OwnAircraftSnapshot& own) {
    CopyCut(own.model.title.data(), own.model.title.size(), "Heavy Metal B744");
    own.model.typeIndex = 3;
  });
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(Text(kTypeChooserTitleId), "Heavy Metal B744");
  EXPECT_EQ(List().GetCurSel(), 3);
  EXPECT_EQ(dialog_->SelectedRow(), 3);
  dialog_->ShowWindow(SW_HIDE);

  g_ownAircraft().Update([](OwnAircraftSnapshot& own) { own.model.typeIndex = -1; });
  Create();
  dialog_->ShowWindow(SW_SHOW);
  EXPECT_EQ(List().GetCurSel(), -1);
  EXPECT_EQ(dialog_->SelectedRow(), -1);
}

TEST_F(TypeChooserTest, TheTitleTheListAndTheSearchTextHaveTheirOwnColours) {
  Klib().SetColour(kColourNormal, 0x00C0C0);
  Klib().SetColour(kColour25, 0x04F05C);
  dialog_->ShowWindow(SW_SHOW);
  PumpMessages();
  struct Case {
    int id;
    COLORREF text;
    std::optional<COLORREF> background;  // none: the dialog's own brush
  };
  const Case cases[] = {
      {kTypeChooserTitleId, 0x04F05C, 0x302020},
      {kTypeChooserListId, 0x00C0C0, 0x34261E},
      {kTypeChooserSearchTextId, 0x00C0C0, 0x34261E},
      {kTypeChooserSearchId, 0x00C0C0, std::nullopt},
  };
  HBRUSH titleBrush = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const auto colours = win::PaintedControlColours(dialog_->GetDlgItem(c.id)->m_hWnd);
    ASSERT_TRUE(colours.has_value());
    EXPECT_EQ(colours->text, c.text);
    if (c.background) {
      EXPECT_EQ(colours->background, *c.background);
      EXPECT_EQ(BrushColour(colours->brush), *c.background);
    } else {
      EXPECT_EQ(colours->brush, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (c.id == kTypeChooserTitleId) titleBrush = colours->brush;
    if (c.id == kTypeChooserListId) {
      EXPECT_NE(colours->brush, titleBrush) << "each its own brush";
    }
  }
}

TEST_F(TypeChooserTest, OkOrADoubleClickMakesTheRowTheOwnType) {
  LoadAircraft("Some Unknown Jet");
  struct Case {
    const char* how;
    int row;
    const char* type;
  };
  for (const Case& c : {Case{"ok", 4, "R22"}, Case{"dblclick", 3, "B744"}}) {
    SCOPED_TRACE(c.how);
    dialog_->ShowWindow(SW_SHOW);
    PickRow(c.row);
    if (std::string(c.how) == "ok") {
      SendMessageA(dialog_->m_hWnd, WM_COMMAND, Clicked(IDOK), 0);
    } else {
      List().DoubleClick();
    }
    const OwnModel own = Own();
    EXPECT_EQ(FieldText(own.icaoType), c.type);
    EXPECT_EQ(own.typeIndex, c.row);
    EXPECT_EQ(IdentityType(own), c.type);
    EXPECT_FALSE(dialog_->IsWindowVisible());
  }
}

TEST_F(TypeChooserTest, OkWithoutATableRowAndCancelChangeNothing) {
  LoadAircraft("Some Unknown Jet");
  const std::string before(FieldText(Own().icaoType));
  // Nothing selected.
  dialog_->ShowWindow(SW_SHOW);
  dialog_->OnOK();
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(FieldText(Own().icaoType), before);

  // A row the table does not hold (the list read a file the table has not)
  // leaves the type the pilot chose before.
  dialog_->ShowWindow(SW_SHOW);
  PickRow(4);
  dialog_->OnOK();
  ASSERT_EQ(FieldText(Own().icaoType), "R22");
  WriteLines(path_, CrLfLines({kTypeLines[0], kTypeLines[1], kTypeLines[2], kTypeLines[3], kTypeLines[4], kTypeLines[5],
                               "Extra\tThing\tXTRA\tL2J\tM"}));
  ASSERT_EQ(dialog_->FillList(path_), 7);
  dialog_->ShowWindow(SW_SHOW);
  PickRow(6);
  dialog_->OnOK();
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(FieldText(Own().icaoType), "R22");
  EXPECT_EQ(Own().typeIndex, 4);

  dialog_->ShowWindow(SW_SHOW);
  PickRow(1);
  SendMessageA(dialog_->m_hWnd, WM_COMMAND, Clicked(IDCANCEL), 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_EQ(FieldText(Own().icaoType), "R22");
}

TEST_F(TypeChooserTest, OkSendsTheIdentityAgainToTheSessionPeersOnlyForATableRow) {
  if (!WayTableLock().Initialised()) WayTableLock().Init();
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
  auto peer = std::make_unique<RecordingPeerWay>(0);
  ASSERT_TRUE(peer->Start());
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[0];
    record.stateFlags |= kWayAllocated;
    record.peerKind = 'P';
    record.simulatorCode = 10'000;
  }
  peer->SetLoggedInBits(kWayLoggedIn | kWayLoggedInPeer);
  g_sessionOpen = true;
  LoadAircraft("Some Unknown Jet");

  // A row past the table, then Cancel: nothing is sent; then a table row: once.
  WriteLines(path_, CrLfLines({kTypeLines[0], kTypeLines[1], kTypeLines[2], kTypeLines[3], kTypeLines[4], kTypeLines[5],
                               "Extra\tThing\tXTRA\tL2J\tM"}));
  ASSERT_EQ(dialog_->FillList(path_), 7);
  dialog_->ShowWindow(SW_SHOW);
  PickRow(6);
  dialog_->OnOK();
  dialog_->ShowWindow(SW_SHOW);
  PickRow(2);
  dialog_->OnCancel();
  dialog_->ShowWindow(SW_SHOW);
  PickRow(1);
  dialog_->OnOK();
  EXPECT_TRUE(WaitUntil(10'000, [&] { return !peer->SubCodes().empty(); }));
  EXPECT_EQ(peer->SubCodes(), (std::vector<std::uint32_t>{kSimPilotSendIdentity}));
  EXPECT_EQ(FieldText(Own().icaoType), "A320");
  EXPECT_EQ(SessionPeers().xplane, 1) << "the peers were counted again";

  // With the session closed the type still changes, and nothing is sent.
  g_sessionOpen = false;
  dialog_->ShowWindow(SW_SHOW);
  PickRow(0);
  dialog_->OnOK();
  EXPECT_EQ(FieldText(Own().icaoType), "B738");
  // A marker behind anything the OK would have posted.
  constexpr std::uint32_t kMarker = 0xFFFF;
  CBaseThread::Post(Klib().mainThread, peer.get(), THRDMSG_SIMPILOT, kMarker, 0, "TEST");
  EXPECT_TRUE(WaitUntil(10'000, [&] { return peer->SubCodes().size() >= 2; }));
  EXPECT_EQ(peer->SubCodes(), (std::vector<std::uint32_t>{kSimPilotSendIdentity, kMarker}));
  peer.reset();
  {
    WayTableGuard guard;
    WayTable() = WayTableArray{};
  }
}

TEST_F(TypeChooserTest, AnotherAircraftLoadedShowsTheChooser) {
  LoadAircraft("Cessna 172 Skyhawk");
  PumpMessages();
  dialog_->ShowWindow(SW_HIDE);

  // From another thread, as the plug-in link reports it.
  std::thread link([] { LoadAircraft("Boeing 747-400"); });
  link.join();
  EXPECT_FALSE(dialog_->IsWindowVisible()) << "shown on its own thread";
  PumpMessages();
  EXPECT_TRUE(dialog_->IsWindowVisible());
  EXPECT_EQ(Text(kTypeChooserTitleId), "Boeing 747-400");
  dialog_->OnCancel();

  // The same aircraft again is no change.
  LoadAircraft("Boeing 747-400");
  PumpMessages();
  EXPECT_FALSE(dialog_->IsWindowVisible());

  // An empty title shows its box, not the chooser.
  LoadAircraft("");
  PumpMessages();
  EXPECT_FALSE(dialog_->IsWindowVisible());

  // Without the dialog nothing is shown (and nothing breaks).
  dialog_.reset();
  EXPECT_FALSE(ui_hook::AircraftChanged());
  LoadAircraft("Airbus A320");
}

}  // namespace
