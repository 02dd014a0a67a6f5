// The two flight-plan forms, ICAO (template 7027) and FAA (template 7004):
// modeless dialogs that edit the pilot's one current flight plan. They share
// every operation; the FAA form differs in its flight-rules buttons, its
// aircraft-list lines, its number-aboard field and its route import.
//
// Every show reloads the form from the settings file. "Submit FP" checks the
// form and stores the plan; "Load FP" and "Save FP" read and write ".tkp"
// files (the raw record) in the flight-plans folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/flight_plan.h"
#include "core/flight_plan_record.h"
#include "win/dialog.h"

constexpr UINT kFlightPlanUsTemplate = 7004;
constexpr UINT kFlightPlanIcaoTemplate = 7027;

namespace plan_control {
inline constexpr int kSubmit = 1;
inline constexpr int kRulesCombo = 7072;       // ICAO
inline constexpr int kRulesFirstRadio = 8000;  // FAA, 8000..8003
inline constexpr int kAircraftList = 7062;
inline constexpr int kTypeButton = 7060;
inline constexpr int kCallsign = 7037;
inline constexpr int kFirstName = 7054;
inline constexpr int kLastName = 7055;
inline constexpr int kBase = 7056;
inline constexpr int kCruiseSpeed = 7039;
inline constexpr int kDeparture = 7040;
inline constexpr int kProposedHour = 7041;
inline constexpr int kProposedMinutes = 7042;
inline constexpr int kActualHour = 7043;
inline constexpr int kActualMinutes = 7044;
inline constexpr int kAltitude = 7045;
inline constexpr int kRoute = 7046;
inline constexpr int kDestination = 7047;
inline constexpr int kEnrouteHours = 7048;
inline constexpr int kEnrouteMinutes = 7049;
inline constexpr int kRemarks = 7050;
inline constexpr int kFuelHours = 7051;
inline constexpr int kFuelMinutes = 7052;
inline constexpr int kAlternate = 7053;
inline constexpr int kNumberAboard = 7057;
inline constexpr int kLoad = 7095;
inline constexpr int kSave = 7096;
inline constexpr int kReloadIcao = 7065;
inline constexpr int kReloadUs = 7064;
inline constexpr int kClear = 7098;
inline constexpr int kImport = 7097;  // FAA
inline constexpr int kTypeOfFlight = 7073;  // ICAO, shown only
inline constexpr int kWakeCategory = 7074;  // ICAO, shown only
inline constexpr int kTypeTooltip = 7599;   // the "Type" button's tip, made at initialisation
}  // namespace plan_control

inline constexpr char kTypeButtonTip[] = "Click and select in the listbox below.";
inline constexpr COLORREF kTypeButtonTipBackground = 0xFE7C45;
inline constexpr COLORREF kTypeButtonTipText = 0xFFFFFF;
// The length at which an FAA field hands the focus on: 0 for any other control.
std::size_t FaaEntryLength(int controlId);

// The command a form gets when a controller's amendment waits for it.
constexpr UINT kFlightPlanAmendedCommand = 36790;
// The form's height while its aircraft list is hidden.
constexpr int kPlanFormFoldedHeight = 500;
// Lines of the aircraft-list file longer than this end the reading.
constexpr std::size_t kAircraftListLineMax = 1020;

inline constexpr char kPlanFileExtension[] = ".tkp";
inline constexpr char kPlanFileFilter[] = "TKP Files (*.tkp)|*.tkp|All Files (*.*)|*.*||";
inline constexpr char kRouteFileExtension[] = ".ini";
inline constexpr char kRouteFileFilter[] = "INI Files (*.ini)|*.ini||";
// Waypoint sections a route file may hold: WAYPOINT_1 up to this one.
constexpr int kRouteLastWaypoint = 299;

// The aircraft type of an aircraft-list line: its third tab-separated field,
// else its second, else its first; a type of 8 or more characters is empty.
std::string AircraftTypeOfLine(std::string_view line);
// The altitude rule of the forms: empty passes; otherwise a digit, 'F', 'A'
// or 'S', then a digit or 'L', then digits only.
bool IsValidPlanAltitude(std::string_view text);
// A route file's waypoints, each ID followed by one blank, no longer than
// `limit` characters: the import stops before a waypoint that does not fit.
std::string ReadRouteWaypoints(const char* iniPath, std::size_t limit);

class CFlightPlanForm : public CDialogEx {
 public:
  enum class Kind { Icao, Us };

  CFlightPlanForm(UINT templateId, Kind kind);
  ~CFlightPlanForm() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // "Submit FP": SaveToIni, then the form hides.
  void OnOK() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // TAB, ENTER, ESC, Up and Down typed in one of the form's controls reach
  // OnCommand as their key codes; a multi-line field keeps ENTER and the
  // arrows for its own lines.
  BOOL PreTranslateMessage(MSG* msg) override;

  Kind FormKind() const { return kind_; }

  // [FLIGHT PLAN] into the current record, then RecordToForm; the own
  // callsign, the pilot's names (and the ICAO form's base) into their fields.
  void LoadFromIni();
  // The form into `record`, checked in the forms' order: 1, or 0 after
  // printing the first failure's message.
  int ValidateAndCollect(FlightPlanRecord& record);
  // Checks the form and, when it passes, makes it the current plan and stores
  // it; the plan has no flight rules (and is not sent) until then. False when
  // the form was refused.
  bool SaveToIni();
  // The record into the form; the own aircraft's list index, when known,
  // replaces the record's aircraft index, and the type of that line replaces its type.
  void RecordToForm(FlightPlanRecord& record);

  // The file dialogs, then the file operations below.
  void OnLoadFlightPlan();
  void OnSaveFlightPlan();
  // "Clear FP": a zeroed record that keeps the current aircraft type.
  void OnClearFlightPlan();
  // Reads a ".tkp" file into the current plan (texts terminated); false after
  // printing the load error.
  bool LoadPlanFile(const std::string& path);
  // Writes the 2,328 bytes; false after printing the save error.
  bool SavePlanFile(const std::string& path, const FlightPlanRecord& record);

  // A controller's amendment: its plan fields over the current plan, into the
  // form and through its checks. Passed: stored, announced, the form shown or
  // hidden in turn and the plan sent again. Refused: the pilot is told, the
  // current plan and the form are as they were and nothing is sent.
  void ApplyAmendment(const FlightPlanAmendment& amendment);

  // The aircraft list: filled at initialisation, shown with the "Type" button.
  void LoadAircraftList();
  void ShowAircraftList(bool show);
  bool AircraftListShown() const { return listShown_; }

 protected:
  // Chat output (the trace window); tests record it.
  virtual void Print(int colourField, DWORD effects, std::string_view text, bool newLine);
  virtual void HideAndShowMainWindow();
  // The current plan to the node and the controllers (SendFlightPlanToNetwork).
  virtual void SendPlanToNetwork();
  virtual std::string FlightPlansFolder() const;
  virtual std::string AircraftListFile() const;
  virtual std::string PilotFirstName() const;
  virtual std::string PilotLastName() const;

  void PrintMessage(int colourField, DWORD effects, const struct PlanText3& text);
  std::string FieldText(int id, std::size_t maxChars) const;
  UINT FieldNumber(int id) const;
  void SetFieldText(int id, std::string_view text);
  void SetFieldNumber(int id, UINT value);

 private:
  // The flight-rules character the form shows, or 0.
  char SelectedRules() const;
  void ShowRules(char rules);
  // No flight rules chosen, as in a form nobody filled in.
  void ClearRules();
  void OnAircraftSelected();
  // The list line's type into `record` and onto the "Type" button.
  void TakeLineType(int line, FlightPlanRecord& record);
  void SelectAllOf(int controlId);
  // TAB (previous with SHIFT), Up and Down (inside the group of the control with the focus).
  void MoveFocusByKey(UINT key);
  // An FAA field the pilot fills hands the focus on once it holds enough.
  void OnFieldChanged(int controlId);

  const Kind kind_;
  bool listShown_ = true;
  int fullHeight_ = 0;
};

class CFlightPlanICAO : public CFlightPlanForm {
 public:
  CFlightPlanICAO() : CFlightPlanForm(kFlightPlanIcaoTemplate, Kind::Icao) {}
  ~CFlightPlanICAO() override;
};

class CFlightPlanUS : public CFlightPlanForm {
 public:
  CFlightPlanUS() : CFlightPlanForm(kFlightPlanUsTemplate, Kind::Us) {}
  ~CFlightPlanUS() override;

  // "Import FP": a route file's departure, arrival and waypoints into the form.
  void OnImportRoute();
  void ImportRouteFile(const std::string& path);
};

// The forms, once created (the UI thread makes and deletes them).
extern std::atomic<CFlightPlanICAO*> g_pFlightPlanICAO;
extern std::atomic<CFlightPlanUS*> g_pFlightPlanUS;
// The form the "SETUP" key FlightPlanType chooses (non-zero ICAO, 0 FAA); null before creation.
CFlightPlanForm* FlightPlanFormInUse();
// Any thread: tells the form in use that an amendment waits (core/flight_plan.h).
void NotifyFormOfAmendment();
