// The folders and files of the program, built once at start-up from the program folder.
#pragma once

#include <string>
#include <string_view>

struct AppPaths {
  std::string programFolder;
  std::string xplaneRoot;  // keeps its trailing separator
  std::string flightPlansFolder;
  std::string settingsFile;
  std::string crossSimOffsetsFile;
  std::string splashImage;
  std::string rulesFile;
  std::string aircraftTypesFile;
  std::string airlinesFile;
  std::string notifySound;
  std::string bellSound;
  std::string iataTable;
  std::string xplaneModelsFolder;
  std::string xplaneExe;
};

// Longest path the program accepts for its folder; longer ones refuse start-up.
constexpr std::size_t kMaxProgramFolderLength = 3800;

enum class PathResult { Ok, NoResourcesFolder, FolderTooLong };

// The X-Plane root (cut just before the first "Resources") and every file path.
PathResult BuildAppPaths(std::string_view programFolder, AppPaths& out);

// The paths of this run.
AppPaths& g_appPaths();
