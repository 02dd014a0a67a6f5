// The folders and files of the program, built once at start-up from the program folder.
#pragma once

#include <array>
#include <string>
#include <string_view>

// The simulator's executable that shows an X-Plane installation: the Windows one, or
// one of the Linux ones beside it.
inline constexpr std::array<std::string_view, 3> kXPlaneExecutableNames = {"X-Plane.exe", "X-Plane-x86_64",
                                                                           "X-Plane-i686"};

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
  std::array<std::string, kXPlaneExecutableNames.size()> xplaneExecutables;  // each one accepted
};

// Longest path the program accepts for its folder; longer ones refuse start-up.
constexpr std::size_t kMaxProgramFolderLength = 3800;

enum class PathResult { Ok, NoResourcesFolder, FolderTooLong };

// The X-Plane root (cut just before the first "Resources") and every file path.
PathResult BuildAppPaths(std::string_view programFolder, AppPaths& out);

// True when the X-Plane root holds one of the accepted executables.
bool XPlaneExecutablePresent(const AppPaths& paths);

// The paths of this run.
AppPaths& g_appPaths();
