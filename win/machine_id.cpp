#include "win/machine_id.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kDefaultPath = "/etc/machine-id";
// The file holds 32 hex digits; anything much longer is not an identity.
constexpr std::size_t kMaxIdentity = 4096;

std::mutex g_pathMutex;
std::string g_pathOverride;

std::string IdentityPath() {
  std::lock_guard lock(g_pathMutex);
  return g_pathOverride.empty() ? std::string(kDefaultPath) : g_pathOverride;
}

std::optional<std::string> ReadIdentity() {
  const std::string path = IdentityPath();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  std::array<char, 512> chunk{};
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(chunk.data(), static_cast<std::size_t>(n));
    if (text.size() > kMaxIdentity) {
      ::close(fd);
      return std::nullopt;
    }
  }
  ::close(fd);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  if (text.empty()) return std::nullopt;
  return text;
}

void CopyName(const char* name, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return;
  const std::size_t n = std::min<std::size_t>(std::strlen(name), size - 1);
  std::memcpy(buffer, name, n);
  buffer[n] = '\0';
}

}  // namespace

DWORD Fnv1a32(std::string_view text) {
  DWORD hash = 0x811C9DC5u;
  for (char c : text) {
    hash ^= static_cast<BYTE>(c);
    hash *= 0x01000193u;
  }
  return hash;
}

BOOL GetVolumeInformationA(const char*, char* volumeName, DWORD volumeNameSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags, char* fileSystemName,
                           DWORD fileSystemNameSize) {
  const std::optional<std::string> identity = ReadIdentity();
  if (!identity) return FALSE;
  if (serial != nullptr) *serial = Fnv1a32(*identity);
  CopyName("", volumeName, volumeNameSize);
  if (maxComponentLength != nullptr) *maxComponentLength = 255;
  if (fileSystemFlags != nullptr) *fileSystemFlags = 0;
  CopyName("LINUX", fileSystemName, fileSystemNameSize);
  return TRUE;
}

void SetMachineIdPathForTest(std::string path) {
  std::lock_guard lock(g_pathMutex);
  g_pathOverride = std::move(path);
}
