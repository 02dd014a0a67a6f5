#include "testbed/fsuipc_standin.h"

#include <charconv>
#include <limits>

namespace {

// Decimal, or hexadecimal after "0x".
template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

StandinOption ParseFsuipcOption(std::string_view name, std::string_view value, FsuipcStandinOptions& options) {
  if (name == "--fsuipc") {
    if (value != "UIPCMAIN" && value != "FS98MAIN") return StandinOption::Bad;
    options.window = value;
    return StandinOption::Taken;
  }
  if (name == "--fsuipc-version" || name == "--fsuipc-sim-version") {
    const auto number = ParseNumber<std::uint32_t>(value);
    if (!number) return StandinOption::Bad;
    (name == "--fsuipc-version" ? options.serverVersion : options.simulatorVersion) = *number;
    return StandinOption::Taken;
  }
  if (name == "--fsuipc-slot-size" || name == "--fsuipc-slots") {
    const auto number = ParseNumber<std::uint16_t>(value);
    if (!number) return StandinOption::Bad;
    (name == "--fsuipc-slot-size" ? options.slotSize : options.slotCount) = *number;
    return StandinOption::Taken;
  }
  if (name == "--fsuipc-fault") {
    if (value == "silent") {
      options.silent = true;
    } else if (value.rfind("answer:", 0) == 0) {
      const auto number = ParseNumber<long>(value.substr(7));
      if (!number) return StandinOption::Bad;
      options.answer = *number;
    } else if (value.rfind("read-size:", 0) == 0) {
      const auto number = ParseNumber<std::int32_t>(value.substr(10));
      if (!number) return StandinOption::Bad;
      options.readSizeChange = *number;
    } else {
      return StandinOption::Bad;
    }
    return StandinOption::Taken;
  }
  return StandinOption::NotMine;
}

std::string FsuipcUsage() {
  return "  --fsuipc WINDOW         also an FSUIPC server, window UIPCMAIN or FS98MAIN (published\n"
         "                          in the folder TK_WINDOWS names)\n"
         "  --fsuipc-version N      its version word at 0x3304 (default 0x39300000)\n"
         "  --fsuipc-sim-version N  its simulator word at 0x3308 (default 0xFADE000C)\n"
         "  --fsuipc-slot-size N    the TCAS slot size at 0xF000 (default 40)\n"
         "  --fsuipc-slots N        the TCAS slot count at 0xF002 (default 96)\n"
         "  --fsuipc-fault F        silent, answer:N (in place of 1) or read-size:N (added to each read's size)\n";
}

std::unique_ptr<FsuipcServer> StartFsuipcStandin(const FsuipcStandinOptions& options, FsuipcServer::EventLog log,
                                                 std::string& error) {
  if (options.window.empty()) return nullptr;
  auto server = std::make_unique<FsuipcServer>();
  server->SetEventLog(std::move(log));
  if (options.serverVersion) server->SetServerVersion(*options.serverVersion);
  if (options.simulatorVersion) server->SetSimulatorVersion(*options.simulatorVersion);
  if (options.slotSize) server->SetSlotSize(*options.slotSize);
  if (options.slotCount) server->SetSlotCount(*options.slotCount);
  if (!server->Start(options.window.c_str())) {
    error = "could not make the FSUIPC window";
    return nullptr;
  }
  if (!server->Published()) {
    error = "could not publish " + options.window + " (is TK_WINDOWS set?)";
    return nullptr;
  }
  if (options.answer) server->SetAnswer(static_cast<LRESULT>(*options.answer));
  if (options.readSizeChange != 0) server->SetReadSizeChange(options.readSizeChange);
  if (options.silent) server->SetSilent(true);
  return server;
}
