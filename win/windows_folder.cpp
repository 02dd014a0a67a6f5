// The TK_WINDOWS folder: its socket names and the handle ranges of the
// processes sharing it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win/ascii_case.h"
#include "win/remote_link.h"

namespace win::detail {
namespace {

constexpr std::size_t kMaxNameLength = 64;
// Range 0 is a process's own when no folder is shared; ranges 1..254 are
// claimed in the folder, leaving the top range to the special handle values.
constexpr HWND kRangeSize = 0x01000000;
constexpr HWND kFirstInRange = 0x00010000;  // far from control ids, so a mixed-up id is not a handle
constexpr int kSharedRanges = 254;

// Holds the claim for the process's life: a dead process's lock is released.
int ClaimRangeFile(const std::string& folder) {
  for (int range = 1; range <= kSharedRanges; ++range) {
    const std::string path = folder + "/.handles-" + std::to_string(range);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return range;  // the descriptor stays open
    ::close(fd);
  }
  return 0;
}

}  // namespace

std::string WindowsFolder() {
  const char* folder = std::getenv("TK_WINDOWS");
  return folder != nullptr ? std::string(folder) : std::string();
}

HandleRange ClaimHandleRange() {
  const std::string folder = WindowsFolder();
  const int range = folder.empty() ? 0 : ClaimRangeFile(folder);
  const HWND base = static_cast<HWND>(range) * kRangeSize;
  return HandleRange{base + kFirstInRange, base + kRangeSize - 1};
}

bool SameNameNoCase(std::string_view a, std::string_view b) { return AsciiEqualNoCase(a, b); }

bool IsPublishableName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameLength && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string PublishedPath(const std::string& folder, HWND hwnd, std::string_view name) {
  char handle[9];
  std::snprintf(handle, sizeof handle, "%08X", static_cast<unsigned>(hwnd));
  return folder + "/" + handle + "-" + std::string(name);
}

std::vector<PublishedEntry> ListPublished(const std::string& folder) {
  std::vector<PublishedEntry> entries;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view file = entry->d_name;
    if (file.size() < 10 || file[8] != '-') continue;
    HWND hwnd = 0;
    bool hex = true;
    for (char c : file.substr(0, 8)) {
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) {
        hex = false;
        break;
      }
      hwnd = (hwnd << 4) | static_cast<HWND>(digit);
    }
    if (!hex || hwnd == 0) continue;
    entries.push_back(PublishedEntry{hwnd, std::string(file.substr(9)), folder + "/" + std::string(file)});
  }
  ::closedir(dir);
  return entries;
}

int ConnectPublished(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace win::detail
