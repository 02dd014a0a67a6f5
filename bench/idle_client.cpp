#include "bench/idle_client.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "testbed/automation_client.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kStepTimeoutMs = 60'000;
constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";

std::uint64_t StatusField(const std::string& path, const char* name) {
  std::ifstream file(path);
  std::string line;
  const std::size_t length = std::strlen(name);
  while (std::getline(file, line)) {
    if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
      return std::strtoull(line.c_str() + length + 1, nullptr, 10);
    }
  }
  return 0;
}

// Starts program in folder with extra environment entries; its output goes to log.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& folder, const std::vector<std::string>& env,
            const std::string& log) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Its own process group, so that a Ctrl-C on the benchmark does not reach it first.
  setpgid(0, 0);
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out >= 0) {
    dup2(out, 1);
    dup2(out, 2);
    close(out);
  }
  if (chdir(folder.c_str()) != 0) _exit(126);
  for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

void Terminate(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!WaitForExit(pid, 10s)) {
    kill(pid, SIGKILL);
    WaitForExit(pid, 5s);
  }
  pid = -1;
}

std::uint16_t FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  std::uint16_t port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  close(s);
  return port;
}

// Asks until some answer line holds `text` or the time is up.
bool WaitForDump(const std::string& socketPath, const std::string& text, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    AutomationClient client;
    if (client.Connect(socketPath, 2000) && AnyLineContains(client.Request("dump"), text)) return true;
    std::this_thread::sleep_for(250ms);
  }
  return false;
}

// What a command printed; empty when it did not run.
std::string Output(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  char chunk[512];
  while (std::fgets(chunk, sizeof chunk, pipe)) text += chunk;
  pclose(pipe);
  return text;
}

std::size_t VisibleWindows(const std::vector<std::string>& dump) {
  std::size_t visible = 0;
  for (const std::string& line : dump) {
    if (line.rfind("window ", 0) == 0 && line.find(" visible=1") != std::string::npos) ++visible;
  }
  return visible;
}

}  // namespace

VirtualScreen::VirtualScreen(const std::string& folder) {
  if (access(kXvfb, X_OK) != 0) return;
  // The server picks a free number itself and tells it through the pipe.
  int ends[2];
  if (pipe(ends) != 0) return;
  server_ = Spawn({kXvfb, "-displayfd", std::to_string(ends[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                  folder, {}, folder + "/xvfb.log");
  close(ends[1]);
  std::string told;
  pollfd wait{ends[0], POLLIN, 0};
  char byte = 0;
  while (told.find('\n') == std::string::npos && poll(&wait, 1, 20'000) == 1 && read(ends[0], &byte, 1) == 1) told += byte;
  close(ends[0]);
  if (told.find('\n') == std::string::npos) return;
  char name[16];
  std::snprintf(name, sizeof name, ":%d", std::atoi(told.c_str()));
  name_ = name;
}

VirtualScreen::~VirtualScreen() {
  if (server_ <= 0) return;
  kill(server_, SIGTERM);
  if (!WaitForExit(server_, 10s)) {
    kill(server_, SIGKILL);
    WaitForExit(server_, 5s);
  }
}

bool ReadProcessFigures(pid_t pid, ProcessFigures& out) {
  const std::string base = "/proc/" + std::to_string(pid);
  ProcessFigures f;
  {
    // utime and stime are fields 14 and 15; the name in field 2 may hold spaces.
    std::ifstream stat(base + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    std::uint64_t utime = 0, stime = 0;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
      if (k == 14) utime = std::strtoull(field.c_str(), nullptr, 10);
      if (k == 15) stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    f.cpuTicks = utime + stime;
  }
  clockid_t clock = 0;
  timespec used{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) return false;
  f.cpuNanoseconds = static_cast<std::uint64_t>(used.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(used.tv_nsec);
  f.residentKiB = StatusField(base + "/status", "VmRSS");
  f.peakResidentKiB = StatusField(base + "/status", "VmHWM");
  DIR* tasks = opendir((base + "/task").c_str());
  if (!tasks) return false;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string status = base + "/task/" + entry->d_name + "/status";
    const std::uint64_t voluntary = StatusField(status, "voluntary_ctxt_switches");
    f.voluntarySwitches += voluntary;
    f.contextSwitches += voluntary + StatusField(status, "nonvoluntary_ctxt_switches");
    ++f.threads;
  }
  closedir(tasks);
  out = f;
  return true;
}

std::map<std::string, std::uint64_t> ReadThreadWakeups(pid_t pid) {
  std::map<std::string, std::uint64_t> wakeups;
  const std::string base = "/proc/" + std::to_string(pid) + "/task/";
  DIR* tasks = opendir(base.c_str());
  if (!tasks) return wakeups;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(base + entry->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    // The threads take the program's name unless they name themselves.
    if (std::to_string(pid) == entry->d_name) name = "(UI thread)";
    wakeups[name] += StatusField(base + entry->d_name + "/status", "voluntary_ctxt_switches");
  }
  closedir(tasks);
  return wakeups;
}

IdleClient::IdleClient() {
  char pattern[] = "/tmp/tk_bench_idle_XXXXXX";
  if (mkdtemp(pattern)) root_ = pattern;
}

IdleClient::~IdleClient() {
  Stop();
  if (!root_.empty()) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
}

bool IdleClient::StartAndLogIn() {
  if (root_.empty()) return error_ = "no temporary folder", false;
  // The demo's tree and login.
  const std::string tree = root_ + "/xplane";
  const std::string make = std::string("bash '") + TK_SOURCE_DIR + "/scripts/make_demo_tree.sh' '" + tree + "'";
  std::FILE* pipe = popen(make.c_str(), "r");
  if (!pipe) return error_ = "make_demo_tree.sh did not run", false;
  char line[4096] = {};
  if (!std::fgets(line, sizeof line, pipe)) line[0] = '\0';
  pclose(pipe);
  program_ = line;
  while (!program_.empty() && (program_.back() == '\n' || program_.back() == '\r')) program_.pop_back();
  if (program_.empty()) return error_ = "make_demo_tree.sh gave no program folder", false;
  {
    std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary);
    ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=demo\r\nPilotPW=demo\r\n"
           "[FLIGHT PLAN]\r\nCallSign=DEMO01\r\n"
           "[TRUSTED]\r\nIP0=127.0.0.1\r\n";
  }

  const std::string portsFile = root_ + "/standins.ports";
  standins_ = Spawn({TK_STANDINS_BINARY, "--ports-file", portsFile}, root_, {}, root_ + "/standins.log");
  int web = 0, node = 0, plugin = 0;
  for (int k = 0; k < 200; ++k) {
    std::ifstream ports(portsFile);
    std::string text((std::istreambuf_iterator<char>(ports)), std::istreambuf_iterator<char>());
    if (std::sscanf(text.c_str(), "web=%d node=%d plugin=%d", &web, &node, &plugin) == 3) break;
    std::this_thread::sleep_for(100ms);
  }
  if (plugin == 0) return error_ = "tk_standins wrote no ports", false;

  listenPort_ = FreePort();
  socket_ = root_ + "/automation.sock";
  std::vector<std::string> env = {
      "TK_AUTOMATION=" + socket_,
      "TK_PORTMAP=80=" + std::to_string(web) + ",55007=" + std::to_string(pluginPort_ != 0 ? pluginPort_ : plugin) +
          ",55009=" +
          std::to_string(listenPort_)};
  if (display_.empty()) {
    env.emplace_back("TK_HEADLESS=1");
  } else {
    env.insert(env.end(), {"DISPLAY=" + display_, "TK_HEADLESS=0", "WAYLAND_DISPLAY="});
  }
  client_ = Spawn({TK_CLIENT_BINARY}, program_, env, root_ + "/client.log");

  // As the demo: once the plug-in link has opened the session, server 1 and Connect.
  if (!WaitForDump(socket_, "Connecting to XPlane ...Ok", kStepTimeoutMs)) return error_ = "no session", false;
  {
    AutomationClient client;
    if (!client.Connect(socket_, kStepTimeoutMs)) return error_ = "no automation", false;
    client.Request("command 7055 33000");
    client.Request("click 7055 7212");
  }
  if (!display_.empty() && !AnswerWelcomeBox()) return error_ = "the welcome box never showed", false;
  // The Connect button shows bitmap 7096 once logged in.
  if (!WaitForDump(socket_, "image 7096", kStepTimeoutMs)) return error_ = "no login", false;
  return true;
}

bool IdleClient::AnswerWelcomeBox() {
  const std::string xdotool = "DISPLAY='" + display_ + "' " + kXdotool;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStepTimeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    const std::string found = Output(xdotool + " search --onlyvisible --name '^Information on ORVENA$' 2>/dev/null");
    const std::string box = found.substr(0, found.find('\n'));
    if (!box.empty()) {
      Output(xdotool + " windowfocus --sync " + box + " key --clearmodifiers Return 2>/dev/null");
      return true;
    }
    std::this_thread::sleep_for(250ms);
  }
  return false;
}

bool IdleClient::ShowEveryWindow() {
  // Until the count of visible windows is no longer `from`.
  auto changedFrom = [this](std::size_t from) {
    std::size_t now = from;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while ((now = VisibleWindows(Ask("dump"))) == from && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(100ms);
    }
    return now;
  };
  // The chat, dashboard, controller list and locate buttons: each toggles its window.
  for (const char* button : {"7201", "7202", "7211", "7219"}) {
    const std::string press = std::string("command 7055 ") + button;
    const std::size_t before = VisibleWindows(Ask("dump"));
    Ask(press);
    const std::size_t now = changedFrom(before);
    if (now > before) continue;
    // It was shown already and is hidden now: shown again.
    if (now < before) {
      Ask(press);
      if (changedFrom(now) == before) continue;
    }
    return error_ = std::string("button ") + button + " shows no window", false;
  }
  return true;
}

std::size_t IdleClient::ConnectIdlePeers(std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(listenPort_);
    if (s >= 0 && connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      peers_.push_back(s);
    } else if (s >= 0) {
      close(s);
    }
  }
  // A refused caller is closed within the listener's answer time (3 s).
  std::this_thread::sleep_for(5s);
  return OpenPeers();
}

std::size_t IdleClient::OpenPeers() {
  std::size_t open = 0;
  for (int s : peers_) {
    pollfd p{s, POLLIN, 0};
    char byte = 0;
    // Readable with nothing to read: closed by the client.
    if (poll(&p, 1, 0) == 0 || recv(s, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0) ++open;
  }
  return open;
}

void IdleClient::Stop() {
  for (int s : peers_) close(s);
  peers_.clear();
  if (client_ > 0) {
    AutomationClient client;
    if (client.Connect(socket_, 2000)) client.Request("quit", 5000);
    if (WaitForExit(client_, 20s)) {
      client_ = -1;
    } else {
      Terminate(client_);
    }
  }
  Terminate(standins_);
}

std::vector<std::string> IdleClient::Ask(const std::string& line) {
  AutomationClient client;
  if (!client.Connect(socket_, kStepTimeoutMs)) return {};
  return client.Request(line, kStepTimeoutMs);
}
