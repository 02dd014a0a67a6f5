// The form and the record: collecting with the forms' checks, filling the
// form, and the settings file behind "Submit FP" and "Re-Load".
#include <string>

#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "core/flight_plan_settings.h"
#include "core/own_callsign.h"
#include "core/protocol_text.h"
#include "core/settings.h"
#include "dialogs/flight_plan_form.h"
#include "dialogs/flight_plan_texts.h"
#include "net/flight_plan_send.h"
#include "win/listbox_ctrl.h"
#include "win/richedit.h"

namespace {

namespace id = plan_control;

template <std::size_t N>
void TakeEncoded(std::array<char, N>& field, std::string text, std::size_t limit) {
  EscapeProtocolText(text);
  SetPlanText(field, text, limit);
}

// The plan as it is kept and sent holds route and remarks encoded; the form
// shows their line breaks.
void EncodeFreeTexts(FlightPlanRecord& record) {
  EscapeProtocolText(std::span<char>(record.route));
  EscapeProtocolText(std::span<char>(record.remarks));
}

FlightPlanRecord WithLineBreaks(FlightPlanRecord record) {
  UnescapeLineBreaks(record.route);
  UnescapeLineBreaks(record.remarks);
  return record;
}

bool FormShowsRules(char rules) { return rules == 'V' || rules == 'I' || rules == 'D' || rules == 'S'; }

}  // namespace

void CFlightPlanForm::LoadFromIni() {
  FlightPlanRecord record = ReadFlightPlanSettings(CurrentFlightPlan());
  RecordToForm(record);
  EncodeFreeTexts(record);
  SetCurrentFlightPlan(record);
  SetFieldText(id::kCallsign, OwnCallsign());
  if (kind_ == Kind::Us) {
    SetFieldText(id::kFirstName, PilotFirstName());
    SetFieldText(id::kLastName, PilotLastName());
  } else {
    std::lock_guard lock(SettingsTextLock());
    SetFieldText(id::kBase, PlanText(g_setupSettings.base));
  }
}

int CFlightPlanForm::ValidateAndCollect(FlightPlanRecord& record) {
  namespace t = plan_text;
  auto refuse = [this](const PlanText3& text) {
    Print(kColourError, CFE_BOLD, PlanMessage(text), true);
    return 0;
  };
  auto below = [this](int controlId, UINT limit, std::uint32_t& out) {
    out = FieldNumber(controlId);
    return out < limit;
  };

  const char rules = SelectedRules();
  if (rules == '\0') return refuse(t::kFlightRules);
  record.flightType = {rules, '\0'};

  record.cruiseSpeed = FieldNumber(id::kCruiseSpeed);
  if (record.cruiseSpeed > kPlanMaxCruiseSpeed) return refuse(t::kCruiseSpeed);
  const UINT aboard = FieldNumber(id::kNumberAboard);
  if (aboard > kPlanMaxNumberAboard) return refuse(t::kNumberAboard);
  record.numberAboard = aboard & 0xFFFF;

  TakeEncoded(record.departure, FieldText(id::kDeparture, kPlanAirportChars), kPlanAirportChars);
  if (!below(id::kProposedHour, 24, record.proposedHour)) return refuse(t::kProposedHour);
  if (!below(id::kProposedMinutes, 60, record.proposedMinutes)) return refuse(t::kProposedMinutes);
  if (!below(id::kActualHour, 24, record.actualHour)) return refuse(t::kActualHour);
  if (!below(id::kActualMinutes, 60, record.actualMinutes)) return refuse(t::kActualMinutes);

  std::string altitude = FieldText(id::kAltitude, kPlanAltitudeChars);
  EscapeProtocolText(altitude);
  if (!IsValidPlanAltitude(altitude)) return refuse(t::kAltitude);
  SetPlanText(record.altitude, altitude, kPlanAltitudeChars);

  TakeEncoded(record.destination, FieldText(id::kDestination, kPlanAirportChars), kPlanAirportChars);
  if (!below(id::kEnrouteHours, 24, record.enrouteHours)) return refuse(t::kEnrouteHour);
  if (!below(id::kEnrouteMinutes, 60, record.enrouteMinutes)) return refuse(t::kEnrouteMinutes);
  if (!below(id::kFuelHours, 24, record.fuelHours)) return refuse(t::kFuelHour);
  if (!below(id::kFuelMinutes, 60, record.fuelMinutes)) return refuse(t::kFuelMinutes);
  TakeEncoded(record.alternate, FieldText(id::kAlternate, kPlanAirportChars), kPlanAirportChars);
  TakeEncoded(record.remarks, FieldText(id::kRemarks, kPlanFormFreeTextChars), kPlanFormFreeTextChars);

  const std::string route = FieldText(id::kRoute, kPlanFormFreeTextChars);
  if (route.empty() && rules != 'V') return refuse(t::kRoute);
  TakeEncoded(record.route, route, kPlanFormFreeTextChars);

  if (const auto* list = dynamic_cast<const CListBox*>(GetDlgItem(id::kAircraftList))) {
    if (const int line = list->GetCurSel(); line >= 0) TakeLineType(line, record);
  }
  return 1;
}

bool CFlightPlanForm::SaveToIni() {
  FlightPlanRecord current = CurrentFlightPlan();
  current.flightType.fill('\0');
  SetCurrentFlightPlan(current);
  if (PlanText(current.aircraftType).empty()) {
    PrintMessage(kColourError, CFE_BOLD, plan_text::kAircraftType);
    return false;
  }
  // Collected into a copy: a refused form changes nothing but the cleared flight rules.
  FlightPlanRecord collected = current;
  if (ValidateAndCollect(collected) == 0) return false;
  if (PlanText(collected.alternate).empty()) SetPlanText(collected.alternate, "NONE");
  SetCurrentFlightPlan(collected);
  WriteFlightPlanSettings(collected);
  Print(kColourNormal, 0, PlanMessage(plan_text::kFlightPlanLabel), true);
  Print(kColour25, 0, PlanMessage(plan_text::kReadyToSend), false);
  return true;
}

void CFlightPlanForm::RecordToForm(FlightPlanRecord& record) {
  ShowRules(record.flightType[0]);
  if (const std::int32_t own = OwnAircraftListIndex(); own != kNoAircraftListIndex) {
    record.aircraftIndex = static_cast<std::uint32_t>(own);
  }
  if (auto* list = dynamic_cast<CListBox*>(GetDlgItem(id::kAircraftList))) {
    const std::uint32_t line = record.aircraftIndex;
    if (line < static_cast<std::uint32_t>(list->GetCount())) {
      list->SetCurSel(static_cast<int>(line));
      TakeLineType(static_cast<int>(line), record);
    } else {
      // No such line: the record keeps its own type, shown on the button.
      list->SetCurSel(-1);
      SetFieldText(id::kTypeButton, PlanText(record.aircraftType));
    }
  }
  SetFieldNumber(id::kCruiseSpeed, record.cruiseSpeed);
  SetFieldText(id::kDeparture, PlanText(record.departure));
  SetFieldNumber(id::kProposedHour, record.proposedHour);
  SetFieldNumber(id::kProposedMinutes, record.proposedMinutes);
  SetFieldNumber(id::kActualHour, record.actualHour);
  SetFieldNumber(id::kActualMinutes, record.actualMinutes);
  SetFieldText(id::kAltitude, PlanText(record.altitude));
  SetFieldText(id::kRoute, PlanText(record.route));
  SetFieldText(id::kDestination, PlanText(record.destination));
  SetFieldNumber(id::kEnrouteHours, record.enrouteHours);
  SetFieldNumber(id::kEnrouteMinutes, record.enrouteMinutes);
  SetFieldText(id::kRemarks, PlanText(record.remarks));
  SetFieldNumber(id::kFuelHours, record.fuelHours);
  SetFieldNumber(id::kFuelMinutes, record.fuelMinutes);
  SetFieldText(id::kAlternate, PlanText(record.alternate));
  SetFieldNumber(id::kNumberAboard, record.numberAboard);
  if (kind_ == Kind::Us) SetFieldText(id::kNumberAboard, "1");
}

void CFlightPlanForm::ApplyAmendment(const FlightPlanAmendment& amendment) {
  const FlightPlanRecord before = CurrentFlightPlan();
  FlightPlanRecord merged = MergeFlightPlanAmendment(before, amendment.plan);
  FlightPlanRecord shown = WithLineBreaks(merged);
  RecordToForm(shown);
  merged.aircraftType = shown.aircraftType;
  merged.aircraftIndex = shown.aircraftIndex;
  // Rules the form cannot show are no rules: its first check refuses them.
  if (!FormShowsRules(merged.flightType[0])) ClearRules();
  SetCurrentFlightPlan(merged);
  if (!SaveToIni()) {
    // The check printed why; the form and the plan go back to what they were.
    SetCurrentFlightPlan(before);
    FlightPlanRecord restored = WithLineBreaks(before);
    RecordToForm(restored);
    if (!FormShowsRules(before.flightType[0])) ClearRules();
    Print(kColourError, CFE_BOLD, PlanMessage(plan_text::kAmendmentRefusedBy), true);
    Print(kColour25, CFE_BOLD, amendment.controller, false);
    Print(kColourError, CFE_BOLD, PlanMessage(plan_text::kAmendmentRefused), false);
    return;
  }
  Print(kColourNormal, 0, "Your flight plan has been amended by ", true);
  Print(kColour25, CFE_BOLD, amendment.controller, false);
  Print(kColourNormal, 0, " and updated. Tune your transponder (Squawk) to ", false);
  Print(kColour26, CFE_BOLD, std::to_string(amendment.transponder), false);
  Print(kColourNormal, 0, ".", false);
  ShowWindow(IsWindowVisible() != FALSE ? SW_HIDE : SW_SHOW);
  SendPlanToNetwork();
}

void CFlightPlanForm::SendPlanToNetwork() { SendFlightPlanToNetwork(); }
