// The FSUIPC server mode of tk_standins: its options, and the server they
// ask for, its window published through TK_WINDOWS.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "testbed/fsuipc_server.h"

struct FsuipcStandinOptions {
  std::string window;  // empty: no FSUIPC server
  std::optional<std::uint32_t> serverVersion;
  std::optional<std::uint32_t> simulatorVersion;
  std::optional<std::uint16_t> slotSize;
  std::optional<std::uint16_t> slotCount;
  bool silent = false;
  std::optional<long> answer;
  std::int32_t readSizeChange = 0;
};

enum class StandinOption { NotMine, Taken, Bad };
// One "--fsuipc..." option and its value.
StandinOption ParseFsuipcOption(std::string_view name, std::string_view value, FsuipcStandinOptions& options);
// The lines the usage text gives these options.
std::string FsuipcUsage();
// The server the options ask for, started; null when none is asked for or
// it could not start (`error` says which).
std::unique_ptr<FsuipcServer> StartFsuipcStandin(const FsuipcStandinOptions& options, FsuipcServer::EventLog log,
                                                 std::string& error);
