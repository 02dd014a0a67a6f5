#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app_paths.h"
#include "support/child_process.h"
#include "testbed/automation_client.h"

namespace fs = std::filesystem;

TEST(AppPaths, RootIsCutAtTheFirstResources) {
  AppPaths paths;
  ASSERT_EQ(BuildAppPaths("/games/X-Plane 10/Resources/plugins/Resources/x", paths), PathResult::Ok);
  EXPECT_EQ(paths.xplaneRoot, "/games/X-Plane 10/");
  EXPECT_EQ(paths.xplaneExecutables,
            (std::array<std::string, 3>{"/games/X-Plane 10/X-Plane.exe", "/games/X-Plane 10/X-Plane-x86_64",
                                        "/games/X-Plane 10/X-Plane-i686"}));
  EXPECT_EQ(paths.xplaneModelsFolder, "/games/X-Plane 10/Aircraft");
  EXPECT_EQ(paths.settingsFile, "/games/X-Plane 10/Resources/plugins/Resources/x/Tavelkor.ini");
}

TEST(AppPaths, EveryFileLiesInTheProgramFolder) {
  AppPaths paths;
  ASSERT_EQ(BuildAppPaths("/xp/Resources/plugins/x", paths), PathResult::Ok);
  const struct {
    const std::string& path;
    const char* expected;
  } cases[] = {
      {paths.flightPlansFolder, "/xp/Resources/plugins/x/FlightPlans"},
      {paths.crossSimOffsetsFile, "/xp/Resources/plugins/x/CrossSimOffsets.ini"},
      {paths.splashImage, "/xp/Resources/plugins/x/Splash.bmp"},
      {paths.rulesFile, "/xp/Resources/plugins/x/Rules.txt"},
      {paths.aircraftTypesFile, "/xp/Resources/plugins/x/tk_aircrafts.txt"},
      {paths.airlinesFile, "/xp/Resources/plugins/x/tk_airlines.txt"},
      {paths.notifySound, "/xp/Resources/plugins/x/NOTIFY.WAV"},
      {paths.bellSound, "/xp/Resources/plugins/x/DING.WAV"},
      {paths.iataTable, "/xp/Resources/plugins/x/IATA_ICAO.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.path, c.expected);
}

TEST(AppPaths, RefusesFoldersItCannotUse) {
  AppPaths paths;
  EXPECT_EQ(BuildAppPaths("/home/pilot/tavelkor", paths), PathResult::NoResourcesFolder);
  const std::string deep = "/xp/Resources/" + std::string(kMaxProgramFolderLength, 'd');
  EXPECT_EQ(BuildAppPaths(deep, paths), PathResult::FolderTooLong);
}

TEST(Startup, OutsideAnXPlaneTreeTheProgramRefusesAndWritesNothing) {
  TempFolder folder;
  ChildProcess client(TK_BINARY, folder.Path());
  ASSERT_TRUE(client.Started());
  EXPECT_NE(client.WaitForExit(20'000), 0);
  EXPECT_NE(client.Stderr().find("Tavelkor: X-Plane Resources path not found !"), std::string::npos)
      << client.Stderr();
  EXPECT_TRUE(fs::is_empty(folder.Path()));
}

TEST(Startup, MissingXPlaneExeIsRefused) {
  TempFolder folder;
  const std::string program = MakeXPlaneTree(folder.Path(), false);
  ChildProcess client(TK_BINARY, program);
  EXPECT_NE(client.WaitForExit(20'000), 0);
  EXPECT_NE(client.Stderr().find("Tavelkor: X-Plane.exe file not found !"), std::string::npos) << client.Stderr();
  EXPECT_TRUE(fs::is_empty(program));
}

TEST(AppPaths, AnyOfTheXPlaneExecutablesShowsAnInstallation) {
  for (const char* name : {"X-Plane.exe", "X-Plane-x86_64", "X-Plane-i686", "X-Plane", "x-plane.exe", ""}) {
    SCOPED_TRACE(name);
    TempFolder folder;
    const std::string program = MakeXPlaneTree(folder.Path(), false);
    if (name[0] != '\0') std::ofstream(fs::path(folder.Path()) / name).put('\0');
    AppPaths paths;
    ASSERT_EQ(BuildAppPaths(program, paths), PathResult::Ok);
    const std::string_view accepted = name;
    const bool expected = accepted == "X-Plane.exe" || accepted == "X-Plane-x86_64" || accepted == "X-Plane-i686";
    EXPECT_EQ(XPlaneExecutablePresent(paths), expected);
  }
}

TEST(Startup, InsideTheTreeItRunsUntilInterrupted) {
  // A Linux installation holds its own executable instead of the Windows one.
  const struct {
    int signal;
    const char* executable;
  } cases[] = {{SIGINT, "X-Plane.exe"}, {SIGTERM, "X-Plane-x86_64"}};
  for (const auto& [signal, executable] : cases) {
    SCOPED_TRACE(executable);
    TempFolder folder;
    const std::string program = MakeXPlaneTree(folder.Path(), false);
    std::ofstream(fs::path(folder.Path()) / executable).put('\0');
    const std::string socketPath = folder.Path() + "/automation.sock";
    ChildProcess client(TK_BINARY, program, {"TK_AUTOMATION=" + socketPath});
    // An answer means its loop runs, so the signal finds it ready however slowly it started.
    AutomationClient automation;
    ASSERT_TRUE(automation.Connect(socketPath, 30'000)) << client.Stderr();
    const std::vector<std::string> answer = automation.Request("focus", 30'000);
    ASSERT_FALSE(answer.empty()) << client.Stderr();
    EXPECT_EQ(answer.back(), "ok");
    EXPECT_TRUE(client.Running()) << client.Stderr();
    client.Signal(signal);
    EXPECT_EQ(client.WaitForExit(20'000), 0) << client.Stderr();
  }
}
