// The plane path's geometry: the zoom and pan of the view, and where each
// received position lands on it. No window here: the dialog draws what this
// computes.
#pragma once

#include <cstdint>
#include <optional>

#include "win/geometry.h"
#include "win/types.h"

inline constexpr double kPlanePathDefaultZoom = 3000.0;
inline constexpr double kPlanePathSmallestZoom = 0.0001;
inline constexpr double kPlanePathLongitudeScale = 60.0;
inline constexpr double kPlanePathLatitudeScale = 42.6;
inline constexpr int kPlanePathKeyStep = 50;
inline constexpr int kPlanePathCrossHalf = 5;

// A pixel offset taken to the nearest integer, halves away from zero; nothing
// when it is not finite or does not fit 32 bits.
std::optional<int> PlanePathPixel(double value);

// What one position puts on the view.
struct PlanePathPlot {
  POINT origin{};
  bool cross = false;  // the origin is marked
  std::optional<POINT> peer;
  std::optional<POINT> own;
};

class PlanePathView {
 public:
  // The view as shown: default zoom, no pan, the centre of the client area,
  // the next point only remembered, one mark of the origin due.
  void Reset(int clientWidth, int clientHeight);
  void SetCentre(int clientWidth, int clientHeight);
  // One wheel turn (+120 forward, -120 back): the new zoom.
  double Wheel(int delta, bool control, bool shift);
  // Home: default zoom, no pan. The arrows move the pan.
  void Home();
  void Pan(int dx, int dy);
  // Another invalidation of the view: one more mark of the origin due.
  void Invalidated() { ++repaintCounter_; }

  // The first point after a reset becomes the reference and plots nothing.
  std::optional<PlanePathPlot> AddPoint(double longitude, double latitude, double ownLongitude, double ownLatitude);

  double Zoom() const { return zoom_; }
  POINT PanOffset() const { return pan_; }
  POINT Centre() const { return centre_; }
  int RepaintCounter() const { return repaintCounter_; }

 private:
  std::optional<POINT> Place(POINT origin, double longitude, double latitude) const;

  double zoom_ = kPlanePathDefaultZoom;
  double longitudeScale_ = kPlanePathLongitudeScale;
  double latitudeScale_ = kPlanePathLatitudeScale;
  POINT pan_{};
  POINT centre_{};
  bool havePoint_ = false;
  double referenceLongitude_ = 0.0;
  double referenceLatitude_ = 0.0;
  double lastLongitude_ = 0.0;
  double lastLatitude_ = 0.0;
  int repaintCounter_ = 0;
};
