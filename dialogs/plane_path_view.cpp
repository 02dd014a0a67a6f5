#include "dialogs/plane_path_view.h"

#include <cmath>
#include <limits>

std::optional<int> PlanePathPixel(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::round(value);
  if (rounded < static_cast<double>(std::numeric_limits<int>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  return static_cast<int>(rounded);
}

void PlanePathView::Reset(int clientWidth, int clientHeight) {
  zoom_ = kPlanePathDefaultZoom;
  longitudeScale_ = kPlanePathLongitudeScale;
  latitudeScale_ = kPlanePathLatitudeScale;
  pan_ = POINT{};
  havePoint_ = false;
  SetCentre(clientWidth, clientHeight);
  repaintCounter_ = 1;
}

void PlanePathView::SetCentre(int clientWidth, int clientHeight) { centre_ = POINT{clientWidth / 2, clientHeight / 2}; }

double PlanePathView::Wheel(int delta, bool control, bool shift) {
  const double old = zoom_;
  double zoom = old;
  if (delta > 0) {
    zoom = control ? zoom * 2.0 : shift ? zoom * 1.5 : zoom + 10.0;
  } else if (delta < 0) {
    zoom = control ? zoom / 2.0 : shift ? zoom / 1.5 : zoom - 10.0;
  }
  // A zoom of 0 would put every point on the origin and make the pan's ratio infinite.
  if (!(zoom > 0.0)) zoom = kPlanePathSmallestZoom;
  zoom_ = zoom;
  const double ratio = zoom / old;
  pan_.x = PlanePathPixel(static_cast<double>(pan_.x) * ratio).value_or(0);
  pan_.y = PlanePathPixel(static_cast<double>(pan_.y) * ratio).value_or(0);
  ++repaintCounter_;
  return zoom_;
}

void PlanePathView::Home() {
  zoom_ = kPlanePathDefaultZoom;
  pan_ = POINT{};
  ++repaintCounter_;
}

void PlanePathView::Pan(int dx, int dy) {
  pan_.x += dx;
  pan_.y += dy;
  ++repaintCounter_;
}

std::optional<POINT> PlanePathView::Place(POINT origin, double longitude, double latitude) const {
  const std::optional<int> x = PlanePathPixel((longitude - referenceLongitude_) * zoom_ * longitudeScale_);
  const std::optional<int> y = PlanePathPixel((latitude - referenceLatitude_) * zoom_ * latitudeScale_);
  if (!x || !y) return std::nullopt;
  const std::optional<int> px = PlanePathPixel(static_cast<double>(origin.x) + *x);
  const std::optional<int> py = PlanePathPixel(static_cast<double>(origin.y) + *y);
  if (!px || !py) return std::nullopt;
  return POINT{*px, *py};
}

std::optional<PlanePathPlot> PlanePathView::AddPoint(double longitude, double latitude, double ownLongitude,
                                                     double ownLatitude) {
  if (!havePoint_) {
    if (!std::isfinite(longitude) || !std::isfinite(latitude)) return std::nullopt;
    havePoint_ = true;
    referenceLongitude_ = lastLongitude_ = longitude;
    referenceLatitude_ = lastLatitude_ = latitude;
    return std::nullopt;
  }
  PlanePathPlot plot;
  plot.origin = POINT{centre_.x + pan_.x, centre_.y + pan_.y};
  if (repaintCounter_ >= 1) {
    --repaintCounter_;
    plot.cross = true;
  } else {
    repaintCounter_ = 0;
  }
  plot.peer = Place(plot.origin, longitude, latitude);
  plot.own = Place(plot.origin, ownLongitude, ownLatitude);
  lastLongitude_ = longitude;
  lastLatitude_ = latitude;
  return plot;
}
