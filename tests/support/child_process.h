// Runs the real program in a folder, for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
 public:
  // Starts `program` with its arguments and its current folder set to
  // `folder`; stdout and stderr are captured.
  ChildProcess(const std::string& program, const std::string& folder, const std::vector<std::string>& env = {},
               const std::vector<std::string>& args = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // The exit status, or -1 when it has not ended within the time (or ended by a signal: 128 + signal).
  int WaitForExit(int timeoutMs);
  bool Running();
  void Signal(int signal);
  std::string Stderr() const;
  std::string Stdout() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string outPath_;
  std::string errPath_;
};

// A fresh folder under /tmp, removed by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The demo layout: <root>/X-Plane.exe, <root>/Aircraft, <root>/Resources/plugins/Tavelkor (returned).
std::string MakeXPlaneTree(const std::string& root, bool withExe = true);

// The demo layout with the shipped sample data copied into the program folder.
std::string MakeXPlaneTreeWithData(const std::string& root);
