#include "core/great_circle.h"

#include <algorithm>
#include <cmath>

#include "core/airport_db.h"

double GreatCircleMetres(double latitudeA, double longitudeA, double latitudeB, double longitudeB) {
  const double phiA = latitudeA * kDegreesToRadians;
  const double phiB = latitudeB * kDegreesToRadians;
  const double deltaLambda = (longitudeB - longitudeA) * kDegreesToRadians;
  double cosine = std::sin(phiA) * std::sin(phiB) + std::cos(phiA) * std::cos(phiB) * std::cos(deltaLambda);
  if (std::isnan(cosine)) return cosine;
  cosine = std::clamp(cosine, -1.0, 1.0);
  return std::trunc(std::fabs(std::acos(cosine)) * kEarthRadiusMetres);
}

double FeetToWholeMetres(double feet) { return std::trunc(feet / kFeetPerMetre); }
