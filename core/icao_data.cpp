#include "core/icao_data.h"

#include "core/app_paths.h"

int LoadIcaoData() { return LoadIcaoData(g_appPaths().programFolder, g_appPaths().airlinesFile); }

int LoadIcaoData(std::string_view programFolder, std::string_view airlinesFile) {
  if (LoadAirports(programFolder) == 0) return 0;
  LoadAirlines(airlinesFile);
  return 1;
}
