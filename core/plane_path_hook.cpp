#include "core/plane_path_hook.h"

#include <atomic>

namespace {
std::atomic<PlanePathHook> g_hook{nullptr};
}

void SetPlanePathHook(PlanePathHook hook) { g_hook = hook; }

void PlanePathPoint(double longitude, double latitude, bool onlyWhenShown) {
  if (const PlanePathHook hook = g_hook.load()) hook(longitude, latitude, onlyWhenShown);
}
