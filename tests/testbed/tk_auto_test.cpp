// The tk_auto program: against a scripted automation socket for its exit
// codes, and against the real client for the demo's use.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/free_port.h"
#include "testbed/automation_client.h"
#include "win/os_thread.h"

namespace {

constexpr int kWaitMs = 20'000;

// Serves one client at a time on a UNIX socket: each request line gets its
// scripted lines; a request without a script hangs up.
class ScriptedAutomation {
 public:
  ScriptedAutomation(std::string path, std::map<std::string, std::vector<std::string>> answers)
      : path_(std::move(path)), answers_(std::move(answers)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    listening_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listening_ < 0 || bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listening_, 4) != 0)
      return;
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedAutomation() {
    stop_.Signal();
    if (thread_.joinable()) thread_.join();
    if (listening_ >= 0) close(listening_);
    unlink(path_.c_str());
  }
  bool Ok() const { return thread_.joinable(); }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  // Waits for fd or the stop event, at most a poll's bound at a time.
  bool WaitReadable(int fd) {
    for (;;) {
      std::array<pollfd, 2> fds{pollfd{fd, POLLIN, 0}, pollfd{stop_.Fd(), POLLIN, 0}};
      if (poll(fds.data(), fds.size(), 200) < 0 || fds[1].revents != 0) return false;
      if (fds[0].revents != 0) return true;
    }
  }
  void Run() {
    while (WaitReadable(listening_)) {
      const int client = accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Serve(client);
      close(client);
    }
  }
  void Serve(int client) {
    std::string pending;
    std::array<char, 1024> chunk{};
    while (WaitReadable(client)) {
      const ssize_t n = recv(client, chunk.data(), chunk.size(), 0);
      if (n <= 0) return;
      pending.append(chunk.data(), static_cast<std::size_t>(n));
      std::size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        {
          std::lock_guard lock(mutex_);
          received_.push_back(line);
        }
        const auto answer = answers_.find(line);
        if (answer == answers_.end()) return;
        std::string text;
        for (const std::string& one : answer->second) text += one + "\n";
        if (send(client, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) return;
      }
    }
  }

  const std::string path_;
  const std::map<std::string, std::vector<std::string>> answers_;
  int listening_ = -1;
  WakeEvent stop_;
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread thread_;
};

TEST(TkAuto, ExitStatusFollowsTheAnswers) {
  TempFolder folder;
  const std::string path = folder.Path() + "/auto.sock";
  ScriptedAutomation automation(path, {{"dump", {"window 7055 visible=1 text=Tavelkor", "ok"}},
                                       {"click 7055 7212", {"ok"}},
                                       {"click 1 2", {"error no such control"}},
                                       {"text 7055 7106", {"error", "ok"}}});
  ASSERT_TRUE(automation.Ok());

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"dump", "click 7055 7212"}, 0, "window 7055 visible=1 text=Tavelkor\nok\nok\n"},
      {{"--wait-ms", "100", "click 1 2", "dump"}, 1, "error no such control\nwindow 7055 visible=1 text=Tavelkor\nok\n"},
      // "error" alone closes an answer too; what follows is not read as it.
      {{"text 7055 7106"}, 1, "error\n"},
      // The socket hangs up in the middle: what came is printed, the rest not sent.
      {{"dump", "unknown", "dump"}, 1, "window 7055 visible=1 text=Tavelkor\nok\n"},
      {{"--", "--wait-ms"}, 1, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ChildProcess tool(TK_AUTO_BINARY, folder.Path(), {}, args);
    EXPECT_EQ(tool.WaitForExit(kWaitMs), c.status) << c.args[0] << tool.Stderr();
    EXPECT_EQ(tool.Stdout(), c.out) << c.args[0];
  }
}

TEST(TkAuto, NoConnectionOrABadCommandLineGiveTwo) {
  TempFolder folder;
  const std::vector<std::vector<std::string>> cases = {
      {folder.Path() + "/none.sock", "--wait-ms", "0", "dump"},
      {folder.Path() + "/none.sock", "--wait-ms", "150", "dump"},
      {folder.Path() + "/none.sock"},
      {folder.Path() + "/none.sock", "--wait-ms", "x", "dump"},
      {folder.Path() + "/none.sock", "two\nlines"},
      {},
  };
  for (const auto& args : cases) {
    ChildProcess tool(TK_AUTO_BINARY, folder.Path(), {}, args);
    EXPECT_EQ(tool.WaitForExit(kWaitMs), 2) << (args.empty() ? "" : args.back());
    EXPECT_EQ(tool.Stdout(), "");
    EXPECT_FALSE(tool.Stderr().empty());
  }
}

TEST(TkAuto, DumpsAndQuitsTheRunningClient) {
  TempFolder tree;
  const std::string program = MakeXPlaneTreeWithData(tree.Path());
  const std::string socketPath = tree.Path() + "/automation.sock";
  // The client's fixed ports go to free ones: tests run in parallel.
  const std::string portMap = "TK_PORTMAP=55009=" + std::to_string(FreeLoopbackPort()) +
                              ",55007=" + std::to_string(FreeLoopbackPort());
  ChildProcess client(TK_BINARY, program, {"TK_AUTOMATION=" + socketPath, portMap});

  ChildProcess dump(TK_AUTO_BINARY, tree.Path(), {}, {socketPath, "--wait-ms", "20000", "dump"});
  ASSERT_EQ(dump.WaitForExit(kWaitMs), 0) << dump.Stderr() << client.Stderr();
  const std::string out = dump.Stdout();
  EXPECT_NE(out.find("window 7055 "), std::string::npos) << out;
  EXPECT_NE(out.find("control 7055 7212 "), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.size() - 3), "ok\n");

  {
    // While another client holds the socket, tk_auto keeps trying for its --wait-ms and gives up with 2.
    AutomationClient holder;
    ASSERT_TRUE(holder.Connect(socketPath, kWaitMs));
    ASSERT_FALSE(holder.Request("focus").empty());
    ChildProcess turnedAway(TK_AUTO_BINARY, tree.Path(), {}, {socketPath, "--wait-ms", "300", "quit"});
    EXPECT_EQ(turnedAway.WaitForExit(kWaitMs), 2) << turnedAway.Stderr();
    EXPECT_EQ(turnedAway.Stdout(), "");
    EXPECT_NE(turnedAway.Stderr().find("another client holds"), std::string::npos) << turnedAway.Stderr();
  }

  ChildProcess quit(TK_AUTO_BINARY, tree.Path(), {}, {socketPath, "quit"});
  EXPECT_EQ(quit.WaitForExit(kWaitMs), 0) << quit.Stderr();
  EXPECT_EQ(quit.Stdout(), "ok\n");
  EXPECT_EQ(client.WaitForExit(kWaitMs), 0) << client.Stderr();
}

}  // namespace
