// tk_standins: the far side of the client's first links on 127.0.0.1, for the
// demo and end-to-end tests: the network's web page ("/h.php"), a hub and
// node, and the X-Plane plug-in, each on a port of its own. One line per
// event on stdout; SIGINT or SIGTERM ends it (exit 0). With --addon it is a
// local add-on program instead, calling the client's listening port.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "testbed/addon_standin.h"
#include "testbed/bridge_standin.h"
#include "testbed/event_printer.h"
#include "testbed/fsuipc_standin.h"
#include "testbed/node_server.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"
#include "testbed/window_peer.h"

namespace {

constexpr int kMaxHeartbeatSeconds = 86400;

struct Options {
  std::string portsFile;
  std::string ownIp = "203.0.113.7";
  int heartbeatSeconds = 30;
  NodeServer::Introductions introductions = NodeServer::Introductions::Direct;
  std::uint16_t addonPort = 0;
  std::string addonFault;
  FsuipcStandinOptions fsuipc;
};

std::optional<NodeServer::Introductions> ParseIntroductions(std::string_view text) {
  if (text == "direct") return NodeServer::Introductions::Direct;
  if (text == "tunnel") return NodeServer::Introductions::Tunnelled;
  if (text == "off") return NodeServer::Introductions::Off;
  return std::nullopt;
}

void Usage(std::ostream& out) {
  out << "usage: tk_standins [--ports-file PATH] [--own-ip TEXT] [--heartbeat-seconds N] [--introduce HOW]\n"
         "       tk_standins --addon PORT [--addon-fault NAME]\n"
         "  Runs the web page (/h.php), node and plug-in stand-ins on 127.0.0.1.\n"
         "  --ports-file PATH       write \"web=<port> node=<port> plugin=<port>\" once all listen\n"
         "  --own-ip TEXT           the address the web page tells the client (default 203.0.113.7)\n"
         "  --heartbeat-seconds N   node heartbeat period to each logged-in client (default 30; 0 off);\n"
         "                          a client's own heartbeat is answered at once either way\n"
         "  --introduce HOW         how the node introduces two logged-in clients to each other:\n"
         "                          direct (the newcomer calls the other's port; the default),\n"
         "                          tunnel (through the node) or off\n"
         "  --addon PORT            instead: the add-on stand-in calls a client listening on PORT, logs in,\n"
         "                          asks its questions and ends (status 0 when all were answered)\n"
         "  --addon-fault NAME      with --addon: makes one fault instead (before-login, empty-name,\n"
         "                          unknown-code, short-body, split-frame)\n"
      << FsuipcUsage()
      << "tk_standins --window-peer NAME\n"
         "  Publishes a window NAME in the TK_WINDOWS folder for tests of windows across processes.\n"
         "tk_standins --bridge-module\n"
         "  The simulator-side bridge module: talks to the client's main dialog found in TK_WINDOWS.\n";
}

std::optional<int> ParseSeconds(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 0 || value > kMaxHeartbeatSeconds) return std::nullopt;
  return value;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// nullopt (after a message on stderr) for a bad command line.
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      Usage(std::cout);
      std::exit(0);
    }
    if (i + 1 >= argc) {
      std::cerr << "tk_standins: " << (name.rfind("--", 0) == 0 ? "missing value of " : "unknown argument ")
                << name << "\n";
      Usage(std::cerr);
      return std::nullopt;
    }
    const std::string_view value = argv[++i];
    if (name == "--ports-file" && !value.empty()) {
      options.portsFile = value;
    } else if (name == "--own-ip" && !value.empty()) {
      options.ownIp = value;
    } else if (name == "--heartbeat-seconds" && ParseSeconds(value)) {
      options.heartbeatSeconds = *ParseSeconds(value);
    } else if (name == "--addon" && ParsePort(value)) {
      options.addonPort = *ParsePort(value);
    } else if (name == "--addon-fault" && AddonFaultNamed(value)) {
      options.addonFault = value;
    } else if (name == "--introduce" && ParseIntroductions(value)) {
      options.introductions = *ParseIntroductions(value);
    } else if (ParseFsuipcOption(name, value, options.fsuipc) != StandinOption::Taken) {
      std::cerr << "tk_standins: bad argument " << name << " " << value << "\n";
      Usage(std::cerr);
      return std::nullopt;
    }
  }
  return options;
}

// Written whole under a temporary name, then renamed: a reader never sees half a line.
bool WritePortsFile(const std::string& path, const std::string& line) {
  const std::string temporary = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << line << '\n';
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::vector<std::string> WebPageLines(const std::string& ownIp, std::uint16_t nodePort) {
  std::vector<std::string> lines = WebPageServer::HubListLines(ownIp, "127.0.0.1:" + std::to_string(nodePort));
  // Inside the block, before its end.
  lines.insert(lines.end() - 1, "FROMWEBSITE_PRINT:Welcome to the stand-in network on this machine.");
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--window-peer") return RunWindowPeer(argv[2]);
  if (argc == 2 && std::string_view(argv[1]) == "--bridge-module") return RunBridgeModule();
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;

  // Waited for below with sigtimedwait. Blocked before any thread starts, so none
  // takes them; set to default first, as a shell starts background jobs
  // with SIGINT ignored, and an ignored signal is never pending.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  signal(SIGPIPE, SIG_IGN);  // a closed output must not end the servers
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  EventPrinter printer(std::cout);
  if (options->addonPort != 0) {
    const int status = RunAddonStandin(options->addonPort, options->addonFault,
                                       [&](std::string_view line) { printer.Print("add-on", line); });
    printer.Flush();
    return status;
  }
  int signalNumber = 0;
  {
    WebPageServer web("/h.php");
    NodeServer node;
    PluginServer plugin;
    if (!web.Ok() || !node.Ok() || !plugin.Ok()) {
      std::cerr << "tk_standins: could not listen on 127.0.0.1\n";
      return 1;
    }
    web.SetLines(WebPageLines(options->ownIp, node.Port()));
    web.SetEventLog([&](std::string_view line) { printer.Print("web", line); });
    node.SetEventLog([&](std::string_view line) { printer.Print("node", line); });
    plugin.SetEventLog([&](std::string_view line) { printer.Print("plug-in", line); });
    // As the plug-in does: the handshake answers the client's hello, then the flight streams.
    plugin.SetGreeting(PluginServer::Greeting::OnHello);
    node.SetHeartbeatInterval(options->heartbeatSeconds * 1000);
    // A client whose seconds are driven by automation stays linked.
    node.SetAnswerHeartbeats(true);
    node.SetIntroductions(options->introductions);
    std::string fsuipcError;
    const auto fsuipc = StartFsuipcStandin(
        options->fsuipc, [&](std::string_view line) { printer.Print("fsuipc", line); }, fsuipcError);
    if (!options->fsuipc.window.empty() && fsuipc == nullptr) {
      std::cerr << "tk_standins: " << fsuipcError << "\n";
      return 1;
    }

    const std::string ports = "web=" + std::to_string(web.Port()) + " node=" + std::to_string(node.Port()) +
                              " plugin=" + std::to_string(plugin.Port());
    printer.Print("", "listening on 127.0.0.1: " + ports + " (page /h.php, own address " + options->ownIp +
                          ", heartbeat " +
                          (options->heartbeatSeconds == 0 ? std::string("off")
                                                          : "every " + std::to_string(options->heartbeatSeconds) + " s") +
                          ")");
    if (!options->portsFile.empty() && !WritePortsFile(options->portsFile, ports)) {
      std::cerr << "tk_standins: could not write " << options->portsFile << "\n";
      return 1;
    }

    // Wakes once a second to tell the repeats folded in the second before.
    const timespec second{1, 0};
    for (;;) {
      const int taken = sigtimedwait(&stopSignals, nullptr, &second);
      if (taken > 0) {
        signalNumber = taken;
        break;
      }
      if (errno != EAGAIN && errno != EINTR) {
        signalNumber = SIGTERM;
        break;
      }
      printer.FlushDue();
    }
    printer.Print("", std::string("stopping on ") + (signalNumber == SIGINT ? "SIGINT" : "SIGTERM"));
    // The servers end their links and threads here.
  }
  if (!options->portsFile.empty()) std::remove(options->portsFile.c_str());
  printer.Flush();
  printer.Print("", "stopped");
  return 0;
}
