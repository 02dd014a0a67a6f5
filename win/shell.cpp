#include "win/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "win/ascii_case.h"

namespace {

struct ShellLog {
  std::mutex mutex;
  std::vector<ShellRequest> requests;
};

ShellLog& Log() {
  static ShellLog* log = new ShellLog();
  return *log;
}

std::atomic<bool> g_launchEnabled{true};

HINSTANCE Result(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

std::optional<std::string> FindOnPath(std::string_view program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  std::string_view rest(path);
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (folder.empty()) continue;
    std::string candidate = std::string(folder) + "/" + std::string(program);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

bool HasDesktop() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && x[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// Starts the program in a grandchild, so nothing is left to reap or wait for.
bool LaunchDetached(const std::string& program, const std::string& argument) {
  // Everything the children need is made before fork: after it only
  // async-signal-safe calls are allowed.
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::setsid();
      const int null = ::open("/dev/null", O_RDWR);
      if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
      }
      ::execv(argv[0], argv);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsUrl(std::string_view file) { return file.find("://") != std::string_view::npos; }

bool MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  // XDG asks for absolute paths; a relative one is ignored.
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* folder,
                        int show) {
  ShellRequest request{Text(verb), Text(file), Text(parameters), Text(folder), show, false};
  std::intptr_t code = 42;
  // A null verb is the default verb, which is "open" for the files the client opens.
  if (!request.verb.empty() && !AsciiEqualNoCase(request.verb, "open")) {
    code = SE_ERR_NOASSOC;
  } else if (request.file.empty() || (!IsUrl(request.file) && ::access(request.file.c_str(), F_OK) != 0)) {
    code = SE_ERR_FNF;
  } else if (g_launchEnabled.load() && HasDesktop()) {
    if (std::optional<std::string> opener = FindOnPath("xdg-open")) {
      request.launched = LaunchDetached(*opener, request.file);
    }
  }
  {
    std::lock_guard lock(Log().mutex);
    Log().requests.push_back(std::move(request));
  }
  return Result(code);
}

std::vector<ShellRequest> ShellRequests() {
  std::lock_guard lock(Log().mutex);
  return Log().requests;
}

void ClearShellRequests() {
  std::lock_guard lock(Log().mutex);
  Log().requests.clear();
}

void SetShellLaunchEnabled(bool enabled) { g_launchEnabled = enabled; }

BOOL SHGetSpecialFolderPathA(HWND, char* path, int folder, BOOL create) {
  if (path == nullptr) return FALSE;
  path[0] = '\0';
  const std::optional<std::string> home = FromEnvironment("HOME");
  std::optional<std::string> result;
  switch (folder) {
    case CSIDL_APPDATA:
      result = FromEnvironment("XDG_CONFIG_HOME");
      if (!result && home) result = *home + "/.config";
      break;
    case CSIDL_LOCAL_APPDATA:
      result = FromEnvironment("XDG_DATA_HOME");
      if (!result && home) result = *home + "/.local/share";
      break;
    case CSIDL_PERSONAL:
      result = home;
      break;
    default:
      return FALSE;
  }
  if (!result) return FALSE;
  while (result->size() > 1 && result->back() == '/') result->pop_back();
  if (result->size() >= MAX_PATH) return FALSE;
  if (create != FALSE && !MakeFolders(*result)) return FALSE;
  std::memcpy(path, result->c_str(), result->size() + 1);
  return TRUE;
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOA)) return FALSE;
  info->hInstApp =
      ShellExecuteA(info->hwnd, info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory, info->nShow);
  return ShellResultCode(info->hInstApp) > 32 ? TRUE : FALSE;
}
