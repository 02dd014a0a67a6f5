// The messages of the flight-plan forms, each in English, French and Spanish
// (code page 1252), picked by the Language index.
#pragma once

struct PlanText3 {
  const char* en;
  const char* fr;
  const char* es;
};

namespace plan_text {
extern const PlanText3 kFlightRules;
extern const PlanText3 kCruiseSpeed;
extern const PlanText3 kNumberAboard;
extern const PlanText3 kProposedHour;
extern const PlanText3 kProposedMinutes;
extern const PlanText3 kActualHour;
extern const PlanText3 kActualMinutes;
extern const PlanText3 kAltitude;
extern const PlanText3 kEnrouteHour;
extern const PlanText3 kEnrouteMinutes;
extern const PlanText3 kFuelHour;
extern const PlanText3 kFuelMinutes;
extern const PlanText3 kRoute;
extern const PlanText3 kAircraftType;
extern const PlanText3 kFlightPlanLabel;
extern const PlanText3 kReadyToSend;
extern const PlanText3 kLoadError;
// A plan file that could not be created or written.
extern const PlanText3 kSaveError;
// A controller's amendment the form's checks refused: before and after his callsign.
extern const PlanText3 kAmendmentRefusedBy;
extern const PlanText3 kAmendmentRefused;
}  // namespace plan_text

// Sets an index other than 1 and 2 back to 0, then picks.
const char* PlanMessage(const PlanText3& text);
