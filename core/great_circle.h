// The great-circle distance on the earth sphere used by the airport searches.
#pragma once

constexpr double kEarthRadiusMetres = 6'378'138.0;
constexpr double kDegreesToRadians = 0.017453292519444445;
constexpr double kMetresPerNauticalMile = 1852.0;

// Whole metres (truncated) between two points in degrees. Identical points give
// 0: rounding can push the cosine a hair past 1, so it is held to [-1, 1].
// A non-finite input gives NaN, which callers compare as "never nearer".
double GreatCircleMetres(double latitudeA, double longitudeA, double latitudeB, double longitudeB);

// Feet to whole metres (truncated), as the elevation terms use them.
double FeetToWholeMetres(double feet);
