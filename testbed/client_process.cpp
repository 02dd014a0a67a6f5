#include "testbed/client_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

extern char** environ;

namespace {

int StatusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// This process's environment with the given entries laid over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    entries[entry.substr(0, entry.find('='))] = entry;
  }
  for (const std::string& entry : extra) entries[entry.substr(0, entry.find('='))] = entry;
  std::vector<std::string> merged;
  for (const auto& [name, entry] : entries) merged.push_back(entry);
  return merged;
}

}  // namespace

ClientProcess::~ClientProcess() {
  if (Running()) Kill();
}

bool ClientProcess::Start(const std::string& program, const std::string& folder,
                          const std::vector<std::string>& environment, const std::string& outPath,
                          const std::string& errPath) {
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> merged = MergedEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& entry : merged) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  std::vector<char*> argv{path.data(), nullptr};
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0 || err < 0) {
    if (out >= 0) close(out);
    if (err >= 0) close(err);
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(folder.c_str()) != 0) _exit(127);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out);
  close(err);
  if (pid < 0) return false;
  pid_ = pid;
  status_.reset();
  return true;
}

bool ClientProcess::Running() {
  if (pid_ < 0 || status_) return false;
  int raw = 0;
  const pid_t done = waitpid(pid_, &raw, WNOHANG);
  if (done == pid_) {
    status_ = StatusOf(raw);
    return false;
  }
  return done == 0;
}

std::optional<int> ClientProcess::WaitForExit(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return status_;
}

void ClientProcess::Kill() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  WaitForExit(10'000);
}

std::optional<ProcessFigures> ClientProcess::Figures() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  if (!status) return std::nullopt;
  ProcessFigures figures;
  bool seen = false;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      figures.residentKb = std::strtoull(line.c_str() + 6, nullptr, 10);
      seen = true;
    } else if (line.rfind("Threads:", 0) == 0) {
      figures.threads = std::atoi(line.c_str() + 8);
    }
  }
  if (!seen) return std::nullopt;
  return figures;
}
