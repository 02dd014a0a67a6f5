#include "core/app_paths.h"

#include <algorithm>

#include "base/file_utils.h"
#include "win/paths.h"

PathResult BuildAppPaths(std::string_view programFolder, AppPaths& out) {
  if (programFolder.size() > kMaxProgramFolderLength) return PathResult::FolderTooLong;
  const std::size_t resources = programFolder.find("Resources");
  if (resources == std::string_view::npos) return PathResult::NoResourcesFolder;
  out.programFolder = std::string(programFolder);
  out.xplaneRoot = std::string(programFolder.substr(0, resources));
  for (std::size_t i = 0; i < kXPlaneExecutableNames.size(); ++i)
    out.xplaneExecutables[i] = out.xplaneRoot + std::string(kXPlaneExecutableNames[i]);
  out.xplaneModelsFolder = out.xplaneRoot + "Aircraft";
  const auto file = [&](std::string_view name) { return JoinPath(out.programFolder, name); };
  out.flightPlansFolder = file("FlightPlans");
  out.settingsFile = file("Tavelkor.ini");
  out.crossSimOffsetsFile = file("CrossSimOffsets.ini");
  out.splashImage = file("Splash.bmp");
  out.rulesFile = file("Rules.txt");
  out.aircraftTypesFile = file("tk_aircrafts.txt");
  out.airlinesFile = file("tk_airlines.txt");
  out.notifySound = file("NOTIFY.WAV");
  out.bellSound = file("DING.WAV");
  out.iataTable = file("IATA_ICAO.txt");
  return PathResult::Ok;
}

bool XPlaneExecutablePresent(const AppPaths& paths) {
  return std::any_of(paths.xplaneExecutables.begin(), paths.xplaneExecutables.end(),
                     [](const std::string& path) { return !path.empty() && FileExists(path.c_str()) != 0; });
}

AppPaths& g_appPaths() {
  static auto* paths = new AppPaths();
  return *paths;
}
