// The ICAO and FAA flight-plan forms on real templates, with their settings
// file, aircraft list, plan files and route files in a temporary folder.
#include "dialogs/flight_plan_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/app_paths.h"
#include "core/flight_plan.h"
#include "core/settings.h"
#include "dialogs/flight_plan_texts.h"
#include "support/child_process.h"
#include "win/button_ctrl.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/edit_ctrl.h"
#include "win/file_dialog.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/tooltip_ctrl.h"

namespace {

namespace id = plan_control;

struct Printed {
  int colour = 0;
  DWORD effects = 0;
  std::string text;
  bool newLine = false;
};

// A form whose output, folders and pilot names a test sees and sets.
template <typename Form>
class TestForm : public Form {
 public:
  std::vector<Printed> printed;
  int mainWindowBlinks = 0;
  int plansSent = 0;
  std::string folder;
  std::string listFile;

  std::string AllText() const {
    std::string all;
    for (const Printed& p : printed) all += p.text;
    return all;
  }

 protected:
  void Print(int colourField, DWORD effects, std::string_view text, bool newLine) override {
    printed.push_back({colourField, effects, std::string(text), newLine});
  }
  void HideAndShowMainWindow() override { ++mainWindowBlinks; }
  void SendPlanToNetwork() override { ++plansSent; }
  std::string FlightPlansFolder() const override { return folder; }
  std::string AircraftListFile() const override { return listFile; }
  std::string PilotFirstName() const override { return "Ada"; }
  std::string PilotLastName() const override { return "Lovelace"; }
};

using UsForm = TestForm<CFlightPlanUS>;
using IcaoForm = TestForm<CFlightPlanICAO>;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TextOf(const CWnd& form, int control) {
  std::string text(2048, '\0');
  text.resize(GetDlgItemTextA(form.m_hWnd, control, text.data(), static_cast<int>(text.size())));
  return text;
}

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class FlightPlanFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallDialogTemplates();
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
    plans_ = folder_.Path() + "/FlightPlans";
    listFile_ = folder_.Path() + "/tk_aircrafts.txt";
    PutFile(listFile_, "Beech\tBaron 58\tBE58\tL2P\tL\r\nBoeing\t737-800\tB738\tL2J\tM\r\nCessna\t172\tC172\r\n");
    ResetCurrentFlightPlan();
    Language = 0;
    ClearFileDialogAnswers();
    ClearShownFileDialogs();
  }
  void TearDown() override {
    ClearFileDialogAnswers();
    Language = 0;
    ResetCurrentFlightPlan();
  }

  template <typename Form>
  std::unique_ptr<Form> Make() {
    auto form = std::make_unique<Form>();
    form->folder = plans_;
    form->listFile = listFile_;
    EXPECT_TRUE(form->Create());
    return form;
  }

  // A valid IFR plan typed into the form, the Boeing chosen in the list.
  template <typename Form>
  static void FillValid(Form& form) {
    const HWND h = form.m_hWnd;
    if (form.FormKind() == CFlightPlanForm::Kind::Icao) {
      dynamic_cast<CComboBox*>(form.GetDlgItem(id::kRulesCombo))->SetCurSel(1);
    } else {
      CheckRadioButton(h, id::kRulesFirstRadio, id::kRulesFirstRadio + 3, id::kRulesFirstRadio + 1);
    }
    dynamic_cast<CListBox*>(form.GetDlgItem(id::kAircraftList))->SetCurSel(1);
    const std::pair<int, const char*> fields[] = {
        {id::kCruiseSpeed, "450"}, {id::kNumberAboard, "150"},  {id::kDeparture, "LFPG"},
        {id::kProposedHour, "09"}, {id::kProposedMinutes, "30"}, {id::kActualHour, "9"},
        {id::kActualMinutes, "45"}, {id::kAltitude, "FL350"},   {id::kDestination, "EGLL"},
        {id::kEnrouteHours, "1"},  {id::kEnrouteMinutes, "10"}, {id::kFuelHours, "3"},
        {id::kFuelMinutes, "0"},   {id::kAlternate, ""},        {id::kRemarks, "RMK:TCAS\r\nPBN"},
        {id::kRoute, "ABB UL612 BIG"}};
    for (const auto& [control, text] : fields) SetDlgItemTextA(h, control, text);
  }

  TempFolder folder_;
  std::string plans_;
  std::string listFile_;
};

TEST_F(FlightPlanFormTest, BothFormsCollectTheFormIntoTheRecord) {
  auto collect = [](auto& form) {
    FillValid(form);
    FlightPlanRecord record{};
    EXPECT_EQ(form.ValidateAndCollect(record), 1) << form.AllText();
    return record;
  };
  auto icao = Make<IcaoForm>();
  auto us = Make<UsForm>();
  for (const FlightPlanRecord& r : {collect(*icao), collect(*us)}) {
    EXPECT_EQ(PlanText(r.flightType), "I");
    EXPECT_EQ(PlanText(r.aircraftType), "B738");
    EXPECT_EQ(r.aircraftIndex, 1u);
    EXPECT_EQ(r.cruiseSpeed, 450u);
    EXPECT_EQ(r.numberAboard, 150u);
    EXPECT_EQ(PlanText(r.departure), "LFPG");
    EXPECT_EQ(r.proposedHour, 9u);
    EXPECT_EQ(r.proposedMinutes, 30u);
    EXPECT_EQ(r.actualHour, 9u);
    EXPECT_EQ(r.actualMinutes, 45u);
    EXPECT_EQ(PlanText(r.altitude), "FL350");
    EXPECT_EQ(PlanText(r.destination), "EGLL");
    EXPECT_EQ(r.enrouteHours, 1u);
    EXPECT_EQ(r.enrouteMinutes, 10u);
    EXPECT_EQ(r.fuelHours, 3u);
    EXPECT_EQ(PlanText(r.alternate), "");
    EXPECT_EQ(PlanText(r.remarks), "RMK;TCAS%&PBN") << "encoded for the protocol";
    EXPECT_EQ(PlanText(r.route), "ABB UL612 BIG");
  }
  // The FAA list lines carry their position after a tab.
  EXPECT_EQ(dynamic_cast<CListBox*>(us->GetDlgItem(id::kAircraftList))->ItemText(2), "Cessna\t172\tC172\t2");
  EXPECT_EQ(dynamic_cast<CListBox*>(icao->GetDlgItem(id::kAircraftList))->ItemText(2), "Cessna\t172\tC172");
}

TEST_F(FlightPlanFormTest, EachCheckRefusesWithItsMessage) {
  struct Case {
    int control;
    const char* text;
    const char* message;  // null: accepted
  };
  namespace t = plan_text;
  const Case cases[] = {
      {id::kCruiseSpeed, "2000", nullptr},      {id::kCruiseSpeed, "2001", t::kCruiseSpeed.en},
      {id::kCruiseSpeed, "fast", nullptr},      {id::kNumberAboard, "900", nullptr},
      {id::kNumberAboard, "901", t::kNumberAboard.en},
      {id::kProposedHour, "23", nullptr},       {id::kProposedHour, "24", t::kProposedHour.en},
      {id::kProposedMinutes, "60", t::kProposedMinutes.en},
      {id::kActualHour, "24", t::kActualHour.en}, {id::kActualMinutes, "60", t::kActualMinutes.en},
      {id::kEnrouteHours, "24", t::kEnrouteHour.en}, {id::kEnrouteMinutes, "60", t::kEnrouteMinutes.en},
      {id::kFuelHours, "24", t::kFuelHour.en},  {id::kFuelMinutes, "60", t::kFuelMinutes.en},
      {id::kAltitude, "FL350", nullptr},        {id::kAltitude, "A045", nullptr},
      {id::kAltitude, "S1130", nullptr},        {id::kAltitude, "12000", nullptr},
      {id::kAltitude, "", nullptr},             {id::kAltitude, "F35O", t::kAltitude.en},
      {id::kAltitude, "FLX", t::kAltitude.en},  {id::kAltitude, "M0840", t::kAltitude.en},
      {id::kAltitude, "F", t::kAltitude.en},    {id::kRoute, "", t::kRoute.en},
  };
  auto us = Make<UsForm>();
  auto icao = Make<IcaoForm>();
  for (CFlightPlanForm* base : {static_cast<CFlightPlanForm*>(us.get()), static_cast<CFlightPlanForm*>(icao.get())}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.control) + " \"" + c.text + "\"");
      if (base == us.get()) FillValid(*us); else FillValid(*icao);
      SetDlgItemTextA(base->m_hWnd, c.control, c.text);
      FlightPlanRecord record{};
      const std::size_t before = base == us.get() ? us->printed.size() : icao->printed.size();
      EXPECT_EQ(base->ValidateAndCollect(record), c.message == nullptr ? 1 : 0);
      const auto& printed = base == us.get() ? us->printed : icao->printed;
      if (c.message == nullptr) {
        EXPECT_EQ(printed.size(), before);
      } else {
        ASSERT_EQ(printed.size(), before + 1);
        EXPECT_EQ(printed.back().text, c.message);
        EXPECT_EQ(printed.back().colour, 20);
      }
    }
  }
  // A VFR plan passes without a route, stored empty; no flight rules at all is refused first.
  FillValid(*us);
  SetDlgItemTextA(us->m_hWnd, id::kRoute, "");
  CheckRadioButton(us->m_hWnd, id::kRulesFirstRadio, id::kRulesFirstRadio + 3, id::kRulesFirstRadio);
  FlightPlanRecord vfr{};
  EXPECT_EQ(us->ValidateAndCollect(vfr), 1);
  EXPECT_EQ(PlanText(vfr.flightType), "V");
  EXPECT_EQ(PlanText(vfr.route), "");
  for (int radio = 0; radio < 4; ++radio) CheckDlgButton(us->m_hWnd, id::kRulesFirstRadio + radio, BST_UNCHECKED);
  SetDlgItemTextA(us->m_hWnd, id::kCruiseSpeed, "9999");
  EXPECT_EQ(us->ValidateAndCollect(vfr), 0);
  EXPECT_EQ(us->printed.back().text, t::kFlightRules.en);
}

TEST_F(FlightPlanFormTest, RecordToFormShowsTheRecordAndTheFaaFormRewritesNumberAboard) {
  FlightPlanRecord record{};
  SetPlanText(record.flightType, "S");
  record.aircraftIndex = 2;
  record.cruiseSpeed = 95;
  SetPlanText(record.departure, "KJFK");
  SetPlanText(record.altitude, "A045");
  SetPlanText(record.route, "DCT");
  record.numberAboard = 4;
  auto icao = Make<IcaoForm>();
  auto us = Make<UsForm>();
  FlightPlanRecord forIcao = record;
  icao->RecordToForm(forIcao);
  FlightPlanRecord forUs = record;
  us->RecordToForm(forUs);
  EXPECT_EQ(dynamic_cast<CComboBox*>(icao->GetDlgItem(id::kRulesCombo))->GetCurSel(), 3);
  EXPECT_EQ(IsDlgButtonChecked(us->m_hWnd, id::kRulesFirstRadio + 3), BST_CHECKED);
  for (CFlightPlanForm* form : {static_cast<CFlightPlanForm*>(icao.get()), static_cast<CFlightPlanForm*>(us.get())}) {
    char text[16];
    GetDlgItemTextA(form->m_hWnd, id::kDeparture, text, sizeof text);
    EXPECT_STREQ(text, "KJFK");
    EXPECT_EQ(GetDlgItemInt(form->m_hWnd, id::kCruiseSpeed, nullptr, FALSE), 95u);
    GetDlgItemTextA(form->m_hWnd, id::kTypeButton, text, sizeof text);
    EXPECT_STREQ(text, "C172") << "the type of the record's line";
  }
  EXPECT_EQ(GetDlgItemInt(icao->m_hWnd, id::kNumberAboard, nullptr, FALSE), 4u);
  EXPECT_EQ(GetDlgItemInt(us->m_hWnd, id::kNumberAboard, nullptr, FALSE), 1u);
  EXPECT_EQ(PlanText(forUs.aircraftType), "C172");

  // Unknown flight rules leave the control as it is; the own list index replaces the record's.
  FlightPlanRecord odd{};
  SetPlanText(odd.flightType, "X");
  SetOwnAircraftListIndex(0);
  icao->RecordToForm(odd);
  EXPECT_EQ(dynamic_cast<CComboBox*>(icao->GetDlgItem(id::kRulesCombo))->GetCurSel(), 3);
  EXPECT_EQ(odd.aircraftIndex, 0u);
  EXPECT_EQ(PlanText(odd.aircraftType), "BE58");
}

TEST_F(FlightPlanFormTest, SubmitStoresThePlanAndAFailureLeavesItUnsendable) {
  auto us = Make<UsForm>();
  us->ShowWindow(SW_SHOW);
  FillValid(*us);
  us->OnOK();
  EXPECT_FALSE(us->IsWindowVisible());
  ASSERT_GE(us->printed.size(), 2u);
  EXPECT_EQ(us->printed[us->printed.size() - 2].text, "Flight plan : ");
  EXPECT_EQ(us->printed.back().text, "Ready to send.");
  EXPECT_EQ(us->printed.back().colour, 25);
  const FlightPlanRecord stored = CurrentFlightPlan();
  EXPECT_EQ(PlanText(stored.flightType), "I");
  EXPECT_EQ(PlanText(stored.alternate), "NONE") << "an empty alternate is stored as NONE";
  const std::string ini = FileBytes(g_appPaths().settingsFile);
  EXPECT_NE(ini.find("Alternate_Airport=NONE\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Remarks=RMK;TCAS%&PBN\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Depature_Minutes_Actual=45\r\n"), std::string::npos);

  // A refused form: the flight rules are cleared and the file is left alone.
  SetDlgItemTextA(us->m_hWnd, id::kCruiseSpeed, "2001");
  SetDlgItemTextA(us->m_hWnd, id::kDestination, "LFMN");
  us->SaveToIni();
  EXPECT_FALSE(FlightPlanHasRules(CurrentFlightPlan()));
  EXPECT_EQ(PlanText(CurrentFlightPlan().destination), "EGLL") << "nothing else of the refused form is taken";
  EXPECT_EQ(FileBytes(g_appPaths().settingsFile), ini);

  // Without an aircraft type nothing is checked.
  FlightPlanRecord untyped = CurrentFlightPlan();
  untyped.aircraftType.fill('\0');
  SetCurrentFlightPlan(untyped);
  dynamic_cast<CListBox*>(us->GetDlgItem(id::kAircraftList))->SetCurSel(-1);
  us->SaveToIni();
  EXPECT_EQ(us->printed.back().text, plan_text::kAircraftType.en);
}

TEST_F(FlightPlanFormTest, LineBreaksComeBackAfterReLoadButShowEncodedAfterAPlanFile) {
  auto us = Make<UsForm>();
  FillValid(*us);
  us->SaveToIni();
  us->LoadFromIni();
  char remarks[64];
  GetDlgItemTextA(us->m_hWnd, id::kRemarks, remarks, sizeof remarks);
  EXPECT_STREQ(remarks, "RMK;TCAS\r\nPBN");
  EXPECT_EQ(PlanText(CurrentFlightPlan().remarks), "RMK;TCAS%&PBN") << "only the form shows the line breaks";
  // Shown and hidden: the plan as it is sent is still encoded.
  ResetCurrentFlightPlan();
  us->ShowWindow(SW_SHOW);
  us->ShowWindow(SW_HIDE);
  EXPECT_EQ(PlanText(CurrentFlightPlan().remarks), "RMK;TCAS%&PBN");
  EXPECT_EQ(PlanText(CurrentFlightPlan().flightType), "I");
  char name[32];
  GetDlgItemTextA(us->m_hWnd, id::kFirstName, name, sizeof name);
  EXPECT_STREQ(name, "Ada");

  const std::string path = folder_.Path() + "/plan.tkp";
  FillValid(*us);
  FlightPlanRecord record{};
  ASSERT_EQ(us->ValidateAndCollect(record), 1);
  ASSERT_TRUE(us->SavePlanFile(path, record));
  ASSERT_TRUE(us->LoadPlanFile(path));
  GetDlgItemTextA(us->m_hWnd, id::kRemarks, remarks, sizeof remarks);
  EXPECT_STREQ(remarks, "RMK;TCAS%&PBN");
}

TEST_F(FlightPlanFormTest, APlanFileWrittenByTheFormLoadsBackUnchanged) {
  auto icao = Make<IcaoForm>();
  FillValid(*icao);
  QueueFileDialogAnswer("ifr-plan");
  icao->OnSaveFlightPlan();
  const std::vector<FileDialogRecord> dialogs = ShownFileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_FALSE(dialogs[0].open);
  EXPECT_EQ(dialogs[0].initialFolder, plans_);
  EXPECT_EQ(dialogs[0].filter, "TKP Files (*.tkp)|*.tkp|All Files (*.*)|*.*||");
  const std::string path = plans_ + "/ifr-plan.tkp";
  ASSERT_EQ(dialogs[0].chosen, path);
  const std::string bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 2328u);
  EXPECT_EQ(bytes.substr(8, 5), std::string("B738\0", 5));
  EXPECT_EQ(bytes[20], 'I');
  EXPECT_EQ(bytes.substr(96, 5), std::string("LFPG\0", 5));
  EXPECT_EQ(static_cast<unsigned char>(bytes[2192]), 150u);
  EXPECT_EQ(PlanText(CurrentFlightPlan().departure), "") << "a save leaves the current plan alone";

  FlightPlanRecord saved{};
  ASSERT_EQ(icao->ValidateAndCollect(saved), 1);
  // Another form, the FAA one, loads it: the records agree, whatever the forms show.
  auto us = Make<UsForm>();
  QueueFileDialogAnswer(path);
  us->OnLoadFlightPlan();
  EXPECT_EQ(CurrentFlightPlan(), saved);
  EXPECT_EQ(WriteFlightPlanRecord(CurrentFlightPlan()), WriteFlightPlanRecord(saved));
  EXPECT_EQ(us->mainWindowBlinks, 1);
  // A cancelled dialog does nothing.
  us->OnLoadFlightPlan();
  EXPECT_EQ(us->mainWindowBlinks, 1);
}

TEST_F(FlightPlanFormTest, AHostileOrMissingPlanFileIsTamed) {
  auto us = Make<UsForm>();
  const std::string hostile = folder_.Path() + "/hostile.tkp";
  PutFile(hostile, std::string(2328, '\x7F'));
  ASSERT_TRUE(us->LoadPlanFile(hostile));
  const FlightPlanRecord loaded = CurrentFlightPlan();
  EXPECT_EQ(PlanText(loaded.departure).size(), 4u);
  EXPECT_EQ(PlanText(loaded.route).size(), 1023u);
  EXPECT_EQ(PlanText(loaded.aircraftType), std::string(7, '\x7F')) << "an index past the list keeps the file's type";

  // A plan made on a machine with a longer list: its type stays, no line is chosen.
  const std::string longer = folder_.Path() + "/longer.tkp";
  PutFile(longer, std::string("\0\0\0\0\0\0\0\0B744\0\0\0\0\x09\0\0\0I", 21));
  ASSERT_TRUE(us->LoadPlanFile(longer));
  EXPECT_EQ(PlanText(CurrentFlightPlan().aircraftType), "B744");
  EXPECT_EQ(CurrentFlightPlan().aircraftIndex, 9u) << "taken as it stands";
  EXPECT_EQ(TextOf(*us, id::kTypeButton), "B744");
  EXPECT_EQ(dynamic_cast<CListBox*>(us->GetDlgItem(id::kAircraftList))->GetCurSel(), -1);

  const std::string shortFile = folder_.Path() + "/short.tkp";
  PutFile(shortFile, std::string("\0\0\0\0\0\0\0\0C172\0\0\0\0\x02\0\0\0V", 21));
  ASSERT_TRUE(us->LoadPlanFile(shortFile));
  EXPECT_EQ(CurrentFlightPlan().aircraftIndex, 2u);
  EXPECT_EQ(PlanText(CurrentFlightPlan().flightType), "V");
  EXPECT_EQ(CurrentFlightPlan().cruiseSpeed, 0u);

  us->printed.clear();
  EXPECT_FALSE(us->LoadPlanFile(folder_.Path() + "/none.tkp"));
  ASSERT_EQ(us->printed.size(), 1u);
  EXPECT_EQ(us->printed[0].text, "Error when loading flight plan");
  EXPECT_EQ(us->printed[0].colour, 20);
}

TEST_F(FlightPlanFormTest, AFailedSaveIsReportedInTheLanguage) {
  struct Case {
    int language;
    const char* text;
  };
  auto us = Make<UsForm>();
  FlightPlanRecord record = ClearedFlightPlan();
  for (const Case& c : {Case{0, "Error when saving flight plan"}, Case{1, "Erreur de sauvegarde du plan de vol"},
                        Case{2, "Error guardando el plan de vuelo.\r\n"}, Case{7, "Error when saving flight plan"}}) {
    SCOPED_TRACE(c.language);
    Language = c.language;
    us->printed.clear();
    EXPECT_FALSE(us->SavePlanFile(folder_.Path() + "/no-such-folder/plan.tkp", record));
    ASSERT_EQ(us->printed.size(), 1u);
    EXPECT_EQ(us->printed[0].text, c.text);
    EXPECT_EQ(us->printed[0].colour, 20);
    if (c.language == 7) {
      EXPECT_EQ(Language.load(), 0) << "an unknown language is set back to English";
    }
  }
  Language = 0;
  us->printed.clear();
  EXPECT_TRUE(us->SavePlanFile(folder_.Path() + "/plan.tkp", record));
  EXPECT_TRUE(us->printed.empty());
}

TEST_F(FlightPlanFormTest, RouteImportTakesAirportsAndWaypointsWithinTheRouteField) {
  struct Case {
    const char* label;
    std::string ini;
    std::string route;
  };
  std::string many;
  for (int n = 1; n <= 299; ++n) many += "[WAYPOINT_" + std::to_string(n) + "]\r\nID=WPT" + std::to_string(1000 + n) + "\r\n";
  std::string expectedMany;
  for (int n = 1; expectedMany.size() + 8 <= 1021; ++n) expectedMany += "WPT" + std::to_string(1000 + n) + " ";
  const Case cases[] = {
      {"two waypoints", "[WAYPOINT_1]\r\nID=ABC\r\n[WAYPOINT_2]\r\nID=DEF\r\n", "ABC DEF "},
      {"a name without an ID is skipped",
       "[WAYPOINT_1]\r\nID=ABC\r\n[WAYPOINT_2]\r\nNAME=GPS\r\n[WAYPOINT_3]\r\nID=DEF\r\n", "ABC DEF "},
      {"neither ends the route", "[WAYPOINT_1]\r\nID=ABC\r\n[WAYPOINT_3]\r\nID=DEF\r\n", "ABC "},
      {"IDs are cut to 7", "[WAYPOINT_1]\r\nID=ABCDEFGHIJ\r\n", "ABCDEFG "},
      {"the route field's 1,021 characters", many, expectedMany},
  };
  auto us = Make<UsForm>();
  const std::string path = folder_.Path() + "/route.ini";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PutFile(path, "[DEPARTURE]\r\nID=KJFKX\r\n[ARRIVAL]\r\nID=KBOS\r\n" + c.ini);
    us->ImportRouteFile(path);
    std::string route(2048, '\0');
    route.resize(GetDlgItemTextA(us->m_hWnd, id::kRoute, route.data(), static_cast<int>(route.size())));
    EXPECT_EQ(route, c.route);
    EXPECT_LE(route.size(), 1021u);
    char code[16];
    GetDlgItemTextA(us->m_hWnd, id::kDeparture, code, sizeof code);
    EXPECT_STREQ(code, "KJFK");
    GetDlgItemTextA(us->m_hWnd, id::kDestination, code, sizeof code);
    EXPECT_STREQ(code, "KBOS");
  }
  EXPECT_EQ(expectedMany.size(), 1016u);
}

TEST_F(FlightPlanFormTest, TheAircraftListChoosesTheTypeAndStopsWhenFull) {
  PutFile(listFile_, "Long\tName\tABCDEFGH\nOne field\n\nLast\tline\tLAST");
  auto icao = Make<IcaoForm>();
  auto* list = dynamic_cast<CListBox*>(icao->GetDlgItem(id::kAircraftList));
  ASSERT_EQ(list->GetCount(), 3) << "empty lines are skipped, the last line counts without a break";
  EXPECT_FALSE(icao->AircraftListShown());
  icao->SendMessage(WM_COMMAND, id::kTypeButton, 0);
  EXPECT_TRUE(icao->AircraftListShown());
  ASSERT_TRUE(list->SendMessage(ControlSelectMessage(), 2, 0));
  EXPECT_EQ(PlanText(CurrentFlightPlan().aircraftType), "LAST");
  EXPECT_EQ(CurrentFlightPlan().aircraftIndex, 2u);
  EXPECT_EQ(OwnAircraftListIndex(), 2);
  char caption[16];
  GetDlgItemTextA(icao->m_hWnd, id::kTypeButton, caption, sizeof caption);
  EXPECT_STREQ(caption, "LAST");
  ASSERT_TRUE(list->SendMessage(ControlSelectMessage(), 0, 0));
  EXPECT_EQ(PlanText(CurrentFlightPlan().aircraftType), "") << "a type of 8 characters is empty";
  list->DoubleClick();
  EXPECT_FALSE(icao->AircraftListShown());

  EXPECT_EQ(AircraftTypeOfLine("A\tB"), "B");
  EXPECT_EQ(AircraftTypeOfLine("SOLO"), "SOLO");
  EXPECT_EQ(AircraftTypeOfLine("A\tB\tC\tD"), "C");

  list->SetItemLimit(2);
  icao->LoadAircraftList();
  EXPECT_EQ(list->GetCount(), 2);
  ASSERT_FALSE(icao->printed.empty());
  EXPECT_EQ(icao->printed.back().text, "Can't add more than 2 aircrafts in the listbox of the flight plan");
  EXPECT_EQ(icao->printed.back().colour, 19);

  PutFile(listFile_, "A\tB\tC1\n" + std::string(1021, 'x') + "\nA\tB\tC3\n");
  list->SetItemLimit(kListDefaultItemLimit);
  icao->LoadAircraftList();
  EXPECT_EQ(list->GetCount(), 1) << "a line past 1,020 characters ends the reading";
}

TEST_F(FlightPlanFormTest, ClearKeepsOnlyTheAircraftAndAnAmendmentGoesThroughTheForm) {
  auto us = Make<UsForm>();
  FillValid(*us);
  us->SaveToIni();
  const FlightPlanRecord before = CurrentFlightPlan();
  us->SendMessage(WM_COMMAND, id::kClear, 0);
  char text[32];
  GetDlgItemTextA(us->m_hWnd, id::kDeparture, text, sizeof text);
  EXPECT_STREQ(text, "");
  GetDlgItemTextA(us->m_hWnd, id::kTypeButton, text, sizeof text);
  EXPECT_STREQ(text, "B738");
  EXPECT_EQ(CurrentFlightPlan(), before) << "clearing the form leaves the plan";

  g_setupSettings.flightPlanType = 0;
  g_pFlightPlanUS = us.get();
  SetFlightPlanAmendmentNotifier(&NotifyFormOfAmendment);
  FlightPlanAmendment amendment{FlightPlanRecord{}, "LFPG_TWR", 4721};
  FlightPlanRecord& amended = amendment.plan;
  SetPlanText(amended.flightType, "I");
  SetPlanText(amended.altitude, "FL240");
  amended.cruiseSpeed = 300;
  SetPlanText(amended.departure, "LFPG");
  SetPlanText(amended.destination, "LFMN");
  SetPlanText(amended.route, "DCT MTL");
  SetPlanText(amended.remarks, "RMK;TCAS%&PBN");
  us->printed.clear();
  PostFlightPlanAmendment(amendment);
  // The notice is posted to the form: deliver it as the message loop would.
  MSG msg{};
  while (PeekMessageA(&msg, us->m_hWnd, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  SetFlightPlanAmendmentNotifier(nullptr);
  g_pFlightPlanUS = nullptr;
  const FlightPlanRecord now = CurrentFlightPlan();
  EXPECT_EQ(PlanText(now.destination), "LFMN");
  EXPECT_EQ(PlanText(now.altitude), "FL240");
  EXPECT_EQ(now.cruiseSpeed, 300u);
  EXPECT_EQ(PlanText(now.flightType), "I") << "the amended plan passed the form's checks";
  EXPECT_EQ(PlanText(now.aircraftType), "B738");
  EXPECT_EQ(PlanText(now.alternate), "NONE");
  EXPECT_EQ(PlanText(now.remarks), "RMK;TCAS%&PBN") << "kept encoded, also after the form showed it";
  EXPECT_NE(FileBytes(g_appPaths().settingsFile).find("Destination_Airport=LFMN\r\n"), std::string::npos);
  EXPECT_TRUE(us->IsWindowVisible()) << "the hidden form shows the amendment";
  EXPECT_EQ(TextOf(*us, id::kRemarks), "RMK;TCAS\r\nPBN");
  EXPECT_EQ(us->plansSent, 1);
  EXPECT_NE(us->AllText().find("Your flight plan has been amended by LFPG_TWR and updated. Tune your transponder "
                               "(Squawk) to 4721."),
            std::string::npos)
      << us->AllText();
}

TEST_F(FlightPlanFormTest, AnAmendmentTheChecksRefuseChangesNothingAndSendsNothing) {
  struct Case {
    const char* name;
    void (*spoil)(FlightPlanRecord&);
    const PlanText3* why;
  };
  const Case cases[] = {
      {"speed", [](FlightPlanRecord& r) { r.cruiseSpeed = 2001; }, &plan_text::kCruiseSpeed},
      {"hour", [](FlightPlanRecord& r) { r.proposedHour = 24; }, &plan_text::kProposedHour},
      {"fuel", [](FlightPlanRecord& r) { r.fuelMinutes = 60; }, &plan_text::kFuelMinutes},
      {"altitude", [](FlightPlanRecord& r) { SetPlanText(r.altitude, "FLX"); }, &plan_text::kAltitude},
      {"route", [](FlightPlanRecord& r) { r.route.fill('\0'); }, &plan_text::kRoute},
      {"rules", [](FlightPlanRecord& r) { SetPlanText(r.flightType, "X"); }, &plan_text::kFlightRules},
      {"no rules", [](FlightPlanRecord& r) { r.flightType.fill('\0'); }, &plan_text::kFlightRules},
  };
  for (const bool icaoForm : {false, true}) {
    for (const int language : {0, 1}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (icaoForm ? " ICAO" : " FAA") + " language " + std::to_string(language));
        ResetCurrentFlightPlan();
        std::filesystem::remove(g_appPaths().settingsFile);
        std::unique_ptr<CFlightPlanForm> owned;
        auto run = [&](auto form) {
          FillValid(*form);
          ASSERT_TRUE(form->SaveToIni());
          const FlightPlanRecord before = CurrentFlightPlan();
          const std::string ini = FileBytes(g_appPaths().settingsFile);
          const bool visible = form->IsWindowVisible() != FALSE;
          Language = language;
          form->printed.clear();
          FlightPlanAmendment amendment{before, "LFPG_TWR", 7700};
          SetPlanText(amendment.plan.destination, "LFMN");
          c.spoil(amendment.plan);
          form->ApplyAmendment(amendment);
          EXPECT_EQ(CurrentFlightPlan(), before) << "the own plan stays as it was";
          EXPECT_EQ(FileBytes(g_appPaths().settingsFile), ini) << "nothing stored";
          EXPECT_EQ(form->plansSent, 0) << "nothing sent";
          EXPECT_EQ(form->IsWindowVisible() != FALSE, visible);
          EXPECT_EQ(TextOf(*form, id::kDestination), "EGLL") << "the form shows the own plan again";
          EXPECT_EQ(TextOf(*form, id::kRemarks), "RMK;TCAS\r\nPBN");
          ASSERT_EQ(form->printed.size(), 4u) << form->AllText();
          EXPECT_EQ(form->printed[0].text, PlanMessage(*c.why));
          EXPECT_EQ(form->printed[1].text, PlanMessage(plan_text::kAmendmentRefusedBy));
          EXPECT_TRUE(form->printed[1].newLine);
          EXPECT_EQ(form->printed[2].text, "LFPG_TWR");
          EXPECT_EQ(form->printed[3].text, PlanMessage(plan_text::kAmendmentRefused));
          Language = 0;
          // A later menu send still sends the own plan, unchanged.
          EXPECT_TRUE(FlightPlanHasRules(CurrentFlightPlan()));
        };
        if (icaoForm) {
          auto form = Make<IcaoForm>();
          run(form.get());
        } else {
          auto form = Make<UsForm>();
          run(form.get());
        }
      }
    }
  }
  EXPECT_STREQ(plan_text::kAmendmentRefusedBy.fr, "Le plan de vol modifi\xE9 par ");
  EXPECT_STREQ(plan_text::kAmendmentRefused.es, " fue rechazado : su plan de vuelo no ha cambiado.");
}

TEST_F(FlightPlanFormTest, KeysMoveTheFocusThroughTheTabStopsAndTheGroups) {
  auto icao = Make<IcaoForm>();
  auto us = Make<UsForm>();
  auto focused = [] { return GetFocus() == 0 ? 0 : GetDlgCtrlID(GetFocus()); };
  for (CFlightPlanForm* form : {static_cast<CFlightPlanForm*>(icao.get()), static_cast<CFlightPlanForm*>(us.get())}) {
    SCOPED_TRACE(form->TemplateId());
    SetFocus(GetDlgItem(form->m_hWnd, id::kDeparture));
    form->SendMessage(WM_COMMAND, 9, 0);
    EXPECT_EQ(focused(), id::kProposedHour);
    SetKeyState(VK_SHIFT, true);
    form->SendMessage(WM_COMMAND, 9, 0);
    SetKeyState(VK_SHIFT, false);
    EXPECT_EQ(focused(), id::kDeparture);
    // A focus outside the form: TAB starts at the form's first tab stop.
    SetFocus(0);
    form->SendMessage(WM_COMMAND, 9, 0);
    EXPECT_EQ(focused(), form == us.get() ? id::kRulesFirstRadio : id::kRulesCombo);
  }
  // Up and Down stay inside the flight-rules buttons, round and round.
  SetFocus(GetDlgItem(us->m_hWnd, id::kRulesFirstRadio));
  us->SendMessage(WM_COMMAND, 40, 0);
  EXPECT_EQ(focused(), id::kRulesFirstRadio + 1);
  us->SendMessage(WM_COMMAND, 38, 0);
  us->SendMessage(WM_COMMAND, 38, 0);
  EXPECT_EQ(focused(), id::kRulesFirstRadio + 3);
  us->SendMessage(WM_COMMAND, 40, 0);
  EXPECT_EQ(focused(), id::kRulesFirstRadio);

  // Keys typed in a control reach the form as their codes; the route keeps ENTER and the arrows.
  MSG tab{GetDlgItem(us->m_hWnd, id::kRulesFirstRadio), WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(us->PreTranslateMessage(&tab));
  EXPECT_EQ(focused(), id::kTypeButton);
  const HWND route = GetDlgItem(us->m_hWnd, id::kRoute);
  SetFocus(route);
  MSG down{route, WM_KEYDOWN, VK_DOWN, 0};
  EXPECT_FALSE(us->PreTranslateMessage(&down));
  MSG enter{route, WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_FALSE(us->PreTranslateMessage(&enter));
  EXPECT_EQ(focused(), id::kRoute);
  MSG routeTab{route, WM_KEYDOWN, VK_TAB, 0};
  EXPECT_TRUE(us->PreTranslateMessage(&routeTab));
  EXPECT_EQ(focused(), id::kDestination);
  us->ShowWindow(SW_SHOW);
  MSG submit{GetDlgItem(us->m_hWnd, id::kDestination), WM_KEYDOWN, VK_RETURN, 0};
  EXPECT_TRUE(us->PreTranslateMessage(&submit));
  EXPECT_FALSE(us->IsWindowVisible()) << "ENTER in a one-line field submits the form";
  SetFocus(0);
}

TEST_F(FlightPlanFormTest, KeyCodesSelectAFieldSubmitAndCancel) {
  auto icao = Make<IcaoForm>();
  SetDlgItemTextA(icao->m_hWnd, id::kRoute, "DCT MTL");
  auto* route = dynamic_cast<CEdit*>(icao->GetDlgItem(id::kRoute));
  route->SetSel(-1, -1);
  icao->SendMessage(WM_COMMAND, 0, id::kRoute);
  int start = -1;
  int end = -1;
  route->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 7) << "code 0 selects the whole field it names";

  icao->ShowWindow(SW_SHOW);
  icao->SendMessage(WM_COMMAND, 27, 0);
  EXPECT_FALSE(icao->IsWindowVisible()) << "ESC cancels";
  icao->ShowWindow(SW_SHOW);
  FillValid(*icao);
  icao->SendMessage(WM_COMMAND, 13, 0);
  EXPECT_FALSE(icao->IsWindowVisible()) << "ENTER submits";
  EXPECT_EQ(PlanText(CurrentFlightPlan().flightType), "I");
}

TEST_F(FlightPlanFormTest, FaaFieldsHandTheFocusOnOnceFull) {
  struct Case {
    int control;
    const char* partial;
    const char* full;
    int next;
  };
  auto us = Make<UsForm>();
  auto focused = [] { return GetFocus() == 0 ? 0 : GetDlgCtrlID(GetFocus()); };
  const Case cases[] = {
      {id::kDeparture, "LFP", "LFPG", id::kProposedHour},  {id::kProposedHour, "0", "09", id::kProposedMinutes},
      {id::kProposedMinutes, "3", "30", id::kActualHour},  {id::kActualHour, "1", "10", id::kActualMinutes},
      {id::kActualMinutes, "4", "45", id::kAltitude},      {id::kDestination, "EGL", "EGLL", id::kEnrouteHours},
      {id::kEnrouteHours, "0", "01", id::kEnrouteMinutes}, {id::kEnrouteMinutes, "5", "55", id::kRemarks},
      {id::kFuelHours, "0", "03", id::kFuelMinutes},       {id::kFuelMinutes, "0", "00", id::kAlternate},
      {id::kAlternate, "LFP", "LFPO", id::kBase},          {id::kBase, "KJF", "KJFK", id::kNumberAboard},
      {id::kCruiseSpeed, "45", "450", id::kCruiseSpeed},   {id::kAltitude, "FL3", "FL350", id::kAltitude},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    SetDlgItemTextA(us->m_hWnd, c.control, "");
    SetFocus(GetDlgItem(us->m_hWnd, c.control));
    SetDlgItemTextA(us->m_hWnd, c.control, c.partial);
    EXPECT_EQ(focused(), c.control);
    SetDlgItemTextA(us->m_hWnd, c.control, c.full);
    EXPECT_EQ(focused(), c.next);
  }
  // A field without the focus, and the ICAO form, keep the focus where it is.
  SetFocus(GetDlgItem(us->m_hWnd, id::kCruiseSpeed));
  SetDlgItemTextA(us->m_hWnd, id::kDestination, "LFMN");
  EXPECT_EQ(focused(), id::kCruiseSpeed);
  auto icao = Make<IcaoForm>();
  SetFocus(GetDlgItem(icao->m_hWnd, id::kDeparture));
  SetDlgItemTextA(icao->m_hWnd, id::kDeparture, "LFPG");
  EXPECT_EQ(focused(), id::kDeparture);
  SetFocus(0);
}

TEST_F(FlightPlanFormTest, TheIcaoListsHoldTheirFixedEntriesAndTheFormsTheirCaptions) {
  auto icao = Make<IcaoForm>();
  auto us = Make<UsForm>();
  auto items = [&](int control) { return dynamic_cast<CComboBox*>(icao->GetDlgItem(control))->Items(); };
  EXPECT_EQ(items(id::kRulesCombo), (std::vector<std::string>{"V=VFR", "I=IFR", "D=DVFR", "S=SVFR"}));
  EXPECT_EQ(items(id::kTypeOfFlight),
            (std::vector<std::string>{"S=Scheduled", "N=non-Scheduled", "G=General", "M=Military", "X=Training"}));
  EXPECT_EQ(items(id::kWakeCategory), (std::vector<std::string>{"H=Heavy", "M=Medium", "L=Light"}));
  EXPECT_EQ(icao->TextSnapshot(), "I.C.A.O Flight Plan (used for flight simulation only !)");
  EXPECT_EQ(us->TextSnapshot(), "FAA Flight plan (used for flight simulation only !)");
  const std::pair<int, const char*> buttons[] = {{id::kRulesFirstRadio, "VFR"}, {id::kRulesFirstRadio + 1, "IFR"},
                                                 {id::kRulesFirstRadio + 2, "DVFR"}, {id::kRulesFirstRadio + 3, "SVFR"},
                                                 {id::kSubmit, "Submit FP"}, {id::kLoad, "Load FP"},
                                                 {id::kSave, "Save FP"}, {id::kReloadUs, "Re-Load"},
                                                 {id::kClear, "Clear FP"}, {id::kImport, "Import FP"}};
  for (const auto& [control, text] : buttons) EXPECT_EQ(us->GetDlgItem(control)->TextSnapshot(), text) << control;
  EXPECT_EQ(icao->GetDlgItem(id::kReloadIcao)->TextSnapshot(), "Re-Load");
}

TEST_F(FlightPlanFormTest, TheTypeButtonCarriesItsTip) {
  auto icao = Make<IcaoForm>();
  auto us = Make<UsForm>();
  for (CFlightPlanForm* form : {static_cast<CFlightPlanForm*>(icao.get()), static_cast<CFlightPlanForm*>(us.get())}) {
    const auto* tip = dynamic_cast<const CToolTipCtrl*>(form->GetDlgItem(id::kTypeTooltip));
    ASSERT_NE(tip, nullptr) << form->TemplateId();
    EXPECT_EQ(tip->GetToolText(GetDlgItem(form->m_hWnd, id::kTypeButton)), "Click and select in the listbox below.");
    EXPECT_EQ(tip->GetTipBkColor(), 0xFE7C45u);
    EXPECT_EQ(tip->GetTipTextColor(), 0xFFFFFFu);
    EXPECT_EQ(tip->TextSnapshot(), "Click and select in the listbox below.");
  }
}

}  // namespace
