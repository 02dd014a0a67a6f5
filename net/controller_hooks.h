// What a controller way asks of the windows: the controller list is rebuilt,
// the METAR banner shows a controller's weather. (An amended plan goes to the
// form in use through the amendment path of core/flight_plan.h.) The application registers them at
// start-up; a hook nobody registered does nothing. Hooks run on the calling
// way's thread and must not wait for it.
#pragma once

#include <functional>
#include <memory>
#include <string>

struct ControllerHooks {
  // A controller came or went: the controller list rebuilds itself from the way table.
  std::function<void()> rebuildControllerList;
  // The METAR banner of the main dialog, marked as a controller's weather.
  std::function<void(const std::string& icao, const std::string& metar)> controllerWeather;
};

// Start-up (and tests): replaces the whole set; an empty set removes them all.
void SetControllerHooks(ControllerHooks hooks);
// The set as it stands (never null).
std::shared_ptr<const ControllerHooks> CurrentControllerHooks();
