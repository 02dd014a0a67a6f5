// tk_auto: sends request lines to the client's automation socket and prints
// every answer line. Exit 0 when every answer ended with "ok", 1 when one did
// not (or came incomplete), 2 when it could not connect within --wait-ms (no
// socket, or another client holding it) or was misused.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "testbed/automation_client.h"

namespace {

constexpr int kDefaultWaitMs = 20000;
constexpr int kAnswerTimeoutMs = 30000;
constexpr int kBusyRetryMs = 100;

int Usage() {
  std::cerr << "usage: tk_auto SOCKET_PATH [--wait-ms N] LINE...\n"
               "  Connects to the automation socket (retrying up to N ms, default 20000), sends each\n"
               "  LINE as a request and prints the answers. Exit 0: every answer ended with \"ok\";\n"
               "  1: one did not; 2: no connection within N ms (also while another client holds\n"
               "  the socket) or a bad command line.\n"
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

  // Connected and answered, or turned away while another client holds the socket:
  // both are retried until --wait-ms has passed.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  AutomationClient client;
  std::vector<std::string> lines;
  bool complete = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!client.Connect(socketPath, static_cast<int>(std::max<std::int64_t>(left.count(), 0)))) {
      std::cerr << "tk_auto: could not connect to " << socketPath << "\n";
      return 2;
    }
    complete = client.Request(requests.front(), lines, kAnswerTimeoutMs);
    if (!complete || !IsTurnedAway(lines)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      std::cerr << "tk_auto: another client holds " << socketPath << "\n";
      return 2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyRetryMs));
  }
  int status = 0;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (i > 0) complete = client.Request(requests[i], lines, kAnswerTimeoutMs);
    for (const std::string& line : lines) std::cout << line << '\n';
    std::cout.flush();
    if (!complete) {
      std::cerr << "tk_auto: no complete answer to \"" << requests[i] << "\"\n";
      return 1;
    }
    if (lines.back() != "ok") status = 1;
  }
  return status;
}
