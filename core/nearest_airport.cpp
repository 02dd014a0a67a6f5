#include "core/nearest_airport.h"

#include <cmath>
#include <mutex>

#include "core/great_circle.h"
#include "core/airport_db.h"

namespace {
std::mutex& NearestLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

NearestAirport g_nearest;

void Store(const NearestAirport& value) {
  std::lock_guard lock(NearestLock());
  g_nearest = value;
}
}  // namespace

NearestAirport CurrentNearestAirport() {
  std::lock_guard lock(NearestLock());
  return g_nearest;
}

void ResetNearestAirport() { Store(NearestAirport{}); }

int FindNearestAirport() { return FindNearestAirport(g_airportDb(), OwnPosition()); }

int FindNearestAirport(const AirportDb& db, const OwnPositionFix& own) {
  double best = kNearestAirportLimitMetres;
  int bestIndex = -1;
  const double ownMetres = FeetToWholeMetres(own.altitudeFeet);
  if (db.records != nullptr) {
    for (int i = 0; i < db.count; ++i) {
      const AirportRecord& airport = db.records[i];
      const double height = std::fabs(ownMetres - FeetToWholeMetres(airport.elevation));
      const double d = height + GreatCircleMetres(airport.latitude, airport.longitude, own.latitude, own.longitude);
      // NaN (a broken position) never compares smaller.
      if (d < best) {
        best = d;
        bestIndex = i;
      }
    }
  }
  NearestAirport result;
  if (bestIndex >= 0) {
    const AirportRecord& airport = db.records[bestIndex];
    const std::string_view code = airport.Icao();
    for (std::size_t i = 0; i < code.size() && i + 1 < result.icao.size(); ++i) result.icao[i] = code[i];
    // best < 1,852,000: the quotient fits 16 bits.
    result.distanceNm = static_cast<std::uint16_t>(best / kMetresPerNauticalMile);
    result.latitude = airport.latitude;
    result.longitude = airport.longitude;
    result.elevation = airport.elevation;
  }
  Store(result);
  return bestIndex;
}
