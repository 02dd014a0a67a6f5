// The real client run idle in a generated demo tree against the stand-ins,
// for the idle benchmark: start, log in through automation, optional idle
// callers on its listening port, figures read from /proc, ordered quit.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What /proc says of a process: context switches of all its threads, the
// CPU time it used and its resident memory.
struct ProcessFigures {
  std::uint64_t contextSwitches = 0;  // voluntary + non-voluntary, every thread
  std::uint64_t voluntarySwitches = 0;  // the threads' own waits: their wake-ups
  std::uint64_t cpuTicks = 0;         // utime + stime, in clock ticks
  // The process's CPU clock: run time of all its threads, in nanoseconds.
  // Ticks are sampled at 100 Hz, too coarse for an idle client's fraction of
  // a per cent over a few seconds.
  std::uint64_t cpuNanoseconds = 0;
  std::size_t threads = 0;
  std::uint64_t residentKiB = 0;      // VmRSS
  std::uint64_t peakResidentKiB = 0;  // VmHWM
};
bool ReadProcessFigures(pid_t pid, ProcessFigures& out);
// Voluntary context switches by thread name (threads of one name summed),
// the main thread as "(UI thread)".
std::map<std::string, std::uint64_t> ReadThreadWakeups(pid_t pid);

// A virtual X screen of its own (Xvfb) on the first free display number.
class VirtualScreen {
 public:
  explicit VirtualScreen(const std::string& folder);
  ~VirtualScreen();
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;
  // Empty while the server is not up; ":N" once it is.
  const std::string& Name() const { return name_; }

 private:
  pid_t server_ = -1;
  std::string name_;
};

class IdleClient {
 public:
  IdleClient();
  ~IdleClient();
  IdleClient(const IdleClient&) = delete;
  IdleClient& operator=(const IdleClient&) = delete;

  // The client's plug-in port goes to this port (a plug-in stand-in of the
  // caller's own) instead of that of tk_standins; before StartAndLogIn.
  void SetPluginPort(std::uint16_t port) { pluginPort_ = port; }
  // Shown on that X screen (":N") instead of headless; before StartAndLogIn.
  void ShowOn(const std::string& display) { display_ = display; }
  // Shown: every window the main dialog's buttons toggle made visible (chat,
  // dashboard, controller list, locate and track). False with a reason.
  bool ShowEveryWindow();
  // The folder the client's files lie in.
  const std::string& Folder() const { return root_; }
  // Lays out the tree, starts the stand-ins and the client, and logs in as
  // the demo does. False with a reason in Error().
  bool StartAndLogIn();
  // Where the client takes pilot peers' calls (its 55009 moved to a free port).
  std::uint16_t ListenPort() const { return listenPort_; }
  // Opens `count` TCP connections from 127.0.0.1 to the client's listening
  // port and keeps them open without a word (as idle peers); gives how many
  // are still open a while later.
  std::size_t ConnectIdlePeers(std::size_t count);
  std::size_t OpenPeers();
  pid_t ClientPid() const { return client_; }
  // One automation request's answer lines (empty when the client cannot be reached).
  std::vector<std::string> Ask(const std::string& line);
  const std::string& Error() const { return error_; }
  // The ordered quit (automation "quit"), then the stand-ins stop.
  void Stop();

 private:
  // Shown: the welcome box of the node answered as the pilot does (Return).
  bool AnswerWelcomeBox();

  std::string root_;
  std::string display_;
  std::string program_;
  std::string socket_;
  std::uint16_t listenPort_ = 0;
  std::uint16_t pluginPort_ = 0;
  pid_t standins_ = -1;
  pid_t client_ = -1;
  std::vector<int> peers_;
  std::string error_;
};
