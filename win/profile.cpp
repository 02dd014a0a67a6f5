#include "win/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/profile_text.h"

namespace {

using profile_text::Line;

// A settings file is a few kilobytes; anything past this is not one of ours.
constexpr std::size_t kMaxFileBytes = 64u << 20;

enum class ReadResult { Ok, Missing, Failed };

// Closes a descriptor on every path out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

ReadResult ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return ReadResult::Failed;
  std::array<char, 16384> chunk{};
  for (;;) {
    const ssize_t got = ::read(file.Get(), chunk.data(), chunk.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return ReadResult::Failed;
    }
    if (got == 0) break;
    if (out.size() + static_cast<std::size_t>(got) > kMaxFileBytes) return ReadResult::Failed;
    out.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return ReadResult::Ok;
}

std::string ReadForLookup(const char* path) {
  std::string text;
  if (path == nullptr || path[0] == '\0') return text;
  if (ReadWholeFile(path, text) != ReadResult::Ok) text.clear();
  return text;
}

// Texts handed back are C strings: whatever follows a NUL in the file is not part of them.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view DefaultText(const char* defaultValue) {
  if (defaultValue == nullptr) return {};
  std::string_view text(defaultValue);
  while (text.size() > 1 && text.back() == ' ') text.remove_suffix(1);
  return text;
}

DWORD CopyValue(std::string_view text, char* buffer, DWORD size) {
  const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

DWORD CopyList(const std::vector<std::string_view>& names, char* buffer, DWORD size) {
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t at = 0;
  for (const std::string_view whole : names) {
    const std::string_view name = UpToNul(whole);
    // Room for the name, its NUL and the list's closing NUL.
    if (at + name.size() + 2 > size) {
      const std::size_t room = size >= at + 2 ? size - 2 - at : 0;
      std::copy_n(name.data(), room, buffer + at);
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::copy_n(name.data(), name.size(), buffer + at);
    at += name.size();
    buffer[at++] = '\0';
  }
  buffer[at] = '\0';
  return static_cast<DWORD>(at);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

UINT ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  UINT value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<UINT>(text[i] - '0');
  }
  return negative ? 0u - value : value;
}

bool HasLineEnd(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool ValidSection(std::string_view section) {
  return !profile_text::BlankName(section) && !HasLineEnd(section) && section.find(']') == std::string_view::npos;
}

bool ValidKey(std::string_view key) {
  // Checked as the file will read the name back, without its blanks.
  const std::string_view name = profile_text::TrimBlanks(key);
  return !name.empty() && !HasLineEnd(key) && key.find('=') == std::string_view::npos && name.front() != ';' &&
         name.front() != '[';
}

// A link is written through, so the link itself stays in place.
std::string WriteTarget(const char* path) {
  struct stat info {};
  if (::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path, nullptr), &std::free);
    if (resolved) return resolved.get();
  }
  return path;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Readers see the old file or the new one, never half of either.
bool ReplaceFile(const std::string& target, std::string_view text) {
  struct stat info {};
  const bool existed = ::stat(target.c_str(), &info) == 0;
  std::string temporary = target + ".XXXXXX";
  FileDescriptor file(::mkstemp(temporary.data()));
  if (file.Get() < 0) return false;
  const mode_t mode = existed ? (info.st_mode & 07777) : 0644;
  const bool written = ::fchmod(file.Get(), mode) == 0 && WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0;
  if (!file.Close() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::mutex& WriteLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size,
                               const char* path) {
  if (buffer == nullptr || size == 0) return 0;
  const std::string text = ReadForLookup(path);
  const std::vector<Line> lines = profile_text::SplitLines(text);
  if (section == nullptr) return CopyList(profile_text::SectionNames(lines), buffer, size);
  if (key == nullptr) return CopyList(profile_text::KeyNames(lines, section), buffer, size);
  const auto value = profile_text::FindValue(lines, section, key);
  return CopyValue(value ? profile_text::Unquote(UpToNul(*value)) : DefaultText(defaultValue), buffer, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, INT defaultValue, const char* path) {
  const auto fallback = static_cast<UINT>(defaultValue);
  if (section == nullptr || key == nullptr) return fallback;
  const std::string text = ReadForLookup(path);
  const auto value = profile_text::FindValue(profile_text::SplitLines(text), section, key);
  if (!value) return fallback;
  const std::string_view digits = profile_text::Unquote(UpToNul(*value));
  if (digits.empty()) return fallback;
  return ParseDecimal(digits);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path) {
  // All three null asks Windows to flush its cache; there is none here.
  if (section == nullptr) return key == nullptr && value == nullptr ? TRUE : FALSE;
  if (path == nullptr || path[0] == '\0' || !ValidSection(section)) return FALSE;
  if (key != nullptr && !ValidKey(key)) return FALSE;

  std::lock_guard guard(WriteLock());
  const std::string target = WriteTarget(path);
  std::string text;
  if (ReadWholeFile(target, text) == ReadResult::Failed) return FALSE;

  std::optional<std::string> edited;
  if (key == nullptr) {
    edited = profile_text::DeleteSection(text, section);
  } else if (value == nullptr) {
    edited = profile_text::DeleteKey(text, section, key);
  } else {
    std::string_view line(value);
    line = line.substr(0, line.find_first_of("\r\n"));
    edited = profile_text::SetValue(text, section, key, line);
  }
  if (!edited) return TRUE;
  return ReplaceFile(target, *edited) ? TRUE : FALSE;
}
