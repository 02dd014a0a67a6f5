#include "core/flight_plan_airports.h"

#include <mutex>

#include "win/ascii_case.h"

namespace {
std::mutex& PlanLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

FlightPlanAirports g_planAirports;

AirportCode MakeCode(std::string_view text) {
  AirportCode code{};
  for (std::size_t i = 0; i < text.size() && i + 1 < code.size() && text[i] != '\0'; ++i)
    code[i] = AsciiToUpper(text[i]);
  return code;
}

std::string_view CodeText(const AirportCode& code) {
  std::size_t n = 0;
  while (n < code.size() && code[n] != '\0') ++n;
  return {code.data(), n};
}
}  // namespace

FlightPlanAirports GetFlightPlanAirports() {
  std::lock_guard lock(PlanLock());
  return g_planAirports;
}

void SetFlightPlanAirports(std::string_view departure, std::string_view destination) {
  FlightPlanAirports plan{MakeCode(departure), MakeCode(destination)};
  std::lock_guard lock(PlanLock());
  g_planAirports = plan;
}

void ClearFlightPlanAirports() { SetFlightPlanAirports({}, {}); }

bool IsFlightPlanAirport(const FlightPlanAirports& plan, std::string_view code) {
  if (code.empty()) return false;
  for (const AirportCode* planned : {&plan.departure, &plan.destination}) {
    const std::string_view text = CodeText(*planned);
    if (!text.empty() && AsciiEqualNoCase(text, code)) return true;
  }
  return false;
}
