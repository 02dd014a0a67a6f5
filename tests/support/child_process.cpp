#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::string& folder,
                           const std::vector<std::string>& env, const std::vector<std::string>& args) {
  // Built before the fork: the child only execs.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  char outTemplate[] = "/tmp/tk_child_out_XXXXXX";
  char errTemplate[] = "/tmp/tk_child_err_XXXXXX";
  const int out = mkstemp(outTemplate);
  const int err = mkstemp(errTemplate);
  outPath_ = outTemplate;
  errPath_ = errTemplate;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    if (chdir(folder.c_str()) != 0) _exit(126);
    // Headless unless a test asks otherwise: a desktop in the test's own
    // environment must not put the program's windows on it.
    static char headless[] = "TK_HEADLESS=1";
    putenv(headless);
    for (const std::string& pair : env) putenv(const_cast<char*>(pair.c_str()));
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out);
  close(err);
}

ChildProcess::~ChildProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    WaitForExit(5000);
  }
  std::remove(outPath_.c_str());
  std::remove(errPath_.c_str());
}

int ChildProcess::WaitForExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  if (status_ >= 0) return status_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool ChildProcess::Running() { return pid_ > 0 && WaitForExit(0) < 0; }

void ChildProcess::Signal(int signal) {
  if (Running()) kill(pid_, signal);
}

std::string ChildProcess::Stderr() const { return ReadAll(errPath_); }
std::string ChildProcess::Stdout() const { return ReadAll(outPath_); }

TempFolder::TempFolder() {
  char folder[] = "/tmp/tk_test_XXXXXX";
  if (mkdtemp(folder) != nullptr) path_ = folder;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string MakeXPlaneTree(const std::string& root, bool withExe) {
  namespace fs = std::filesystem;
  const fs::path program = fs::path(root) / "Resources" / "plugins" / "Tavelkor";
  fs::create_directories(program);
  fs::create_directories(fs::path(root) / "Aircraft");
  if (withExe) std::ofstream(fs::path(root) / "X-Plane.exe").put('\0');
  return program.string();
}

std::string MakeXPlaneTreeWithData(const std::string& root) {
  namespace fs = std::filesystem;
  const std::string program = MakeXPlaneTree(root);
  const fs::path data = fs::path(TK_SOURCE_DIR) / "res" / "data";
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(data, ignored))
    fs::copy_file(entry.path(), fs::path(program) / entry.path().filename(), ignored);
  return program;
}
