// The client under a long run: started in its program folder with extra
// environment, its standard output and error going to files, watched through
// /proc (resident memory, threads) and waited for with a bound.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ProcessFigures {
  std::uint64_t residentKb = 0;
  int threads = 0;
};

class ClientProcess {
 public:
  ClientProcess() = default;
  ~ClientProcess();
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  // `environment`: "NAME=value" entries added to (or replacing) this process's own.
  bool Start(const std::string& program, const std::string& folder, const std::vector<std::string>& environment,
             const std::string& outPath, const std::string& errPath);
  bool Running();
  pid_t Pid() const { return pid_; }
  // The exit status (128 + the signal for a signalled end); nullopt when it
  // still runs after timeoutMs.
  std::optional<int> WaitForExit(int timeoutMs);
  void Kill();
  // nullopt once the process is gone.
  std::optional<ProcessFigures> Figures() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};
