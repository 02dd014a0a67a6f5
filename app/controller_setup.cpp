#include "app/controller_setup.h"

#include "app/metar_banner.h"
#include "net/controller_hooks.h"

void InstallControllerHooks() {
  ControllerHooks hooks = *CurrentControllerHooks();
  // The banner marks a controller's weather, so that it is not taken for the network's.
  hooks.controllerWeather = [](const std::string&, const std::string& metar) { SetMetarLabel(metar.c_str(), true); };
  SetControllerHooks(std::move(hooks));
}
