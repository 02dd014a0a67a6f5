// tk_auto: sends request lines to the client's automation socket and prints
// every answer line. Exit 0 when every answer ended with "ok", 1 when one did
// not (or came incomplete), 2 when it could not connect or was misused.
#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "testbed/automation_client.h"

namespace {

constexpr int kDefaultWaitMs = 20000;
constexpr int kAnswerTimeoutMs = 30000;

int Usage() {
  std::cerr << "usage: tk_auto SOCKET_PATH [--wait-ms N] LINE...\n"
               "  Connects to the automation socket (retrying up to N ms, default 20000), sends each\n"
               "  LINE as a request and prints the answers. Exit 0: every answer ended with \"ok\";\n"
               "  1: one did not; 2: no connection or a bad command line.\n"
               "  Example: tk_auto /tmp/tk.sock dump \"click 7055 7212\"\n";
  return 2;
}

bool ParseMilliseconds(std::string_view text, int& out) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return false;
  out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string socketPath = argv[1];
  int waitMs = kDefaultWaitMs;
  std::vector<std::string> requests;
  bool optionsDone = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && arg == "--wait-ms") {
      if (i + 1 >= argc || !ParseMilliseconds(argv[i + 1], waitMs)) return Usage();
      ++i;
    } else if (arg.find_first_of("\r\n") != std::string_view::npos) {
      std::cerr << "tk_auto: a request is one line\n";
      return Usage();
    } else {
      requests.emplace_back(arg);
    }
  }
  if (requests.empty()) return Usage();

  AutomationClient client;
  if (!client.Connect(socketPath, waitMs)) {
    std::cerr << "tk_auto: could not connect to " << socketPath << "\n";
    return 2;
  }
  int status = 0;
  for (const std::string& request : requests) {
    std::vector<std::string> lines;
    const bool complete = client.Request(request, lines, kAnswerTimeoutMs);
    for (const std::string& line : lines) std::cout << line << '\n';
    std::cout.flush();
    if (!complete) {
      std::cerr << "tk_auto: no complete answer to \"" << request << "\"\n";
      return 1;
    }
    if (lines.back() != "ok") status = 1;
  }
  return status;
}
