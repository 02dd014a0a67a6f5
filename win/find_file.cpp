#include "win/find_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "win/ascii_case.h"

// The entries stay where they were read; `order` sorts them, so that no
// 320-byte record moves more than the one copy handed out.
struct FindSearch {
  std::vector<WIN32_FIND_DATAA> entries;
  std::vector<std::uint32_t> order;
  std::size_t next = 0;
};

namespace {
constexpr std::size_t kFolderEntriesAtFirst = 16;  // room for a model folder without regrowth

// '*' any run, '?' any one character, letters without case.
bool NameMatches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || AsciiToUpper(pattern[p]) == AsciiToUpper(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// 100-ns intervals since 1601, as Windows counts file times.
FILETIME ToFileTime(const timespec& t) {
  constexpr unsigned long long kEpochDifference = 116'444'736'000'000'000ULL;
  const unsigned long long ticks = kEpochDifference + static_cast<unsigned long long>(t.tv_sec) * 10'000'000ULL +
                                   static_cast<unsigned long long>(t.tv_nsec) / 100ULL;
  return {static_cast<DWORD>(ticks & 0xFFFF'FFFFULL), static_cast<DWORD>(ticks >> 32)};
}

bool FillEntry(int folderFd, const char* name, WIN32_FIND_DATAA& data) {
  const std::size_t length = std::strlen(name);
  if (length >= sizeof data.cFileName) return false;
  struct stat info {};
  if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  DWORD attributes = 0;
  if (S_ISLNK(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target {};
    if (fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISDIR(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  }
  if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  data.dwFileAttributes = attributes;
  data.ftCreationTime = ToFileTime(info.st_ctim);
  data.ftLastAccessTime = ToFileTime(info.st_atim);
  data.ftLastWriteTime = ToFileTime(info.st_mtim);
  const auto size = static_cast<unsigned long long>(info.st_size);
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFF'FFFFULL);
  std::memcpy(data.cFileName, name, length + 1);
  return true;
}

// The name and kind alone, from the listing's type where it gives one.
bool FillKind(int folderFd, const dirent& entry, WIN32_FIND_DATAA& data) {
  const std::size_t length = std::strlen(entry.d_name);
  if (length >= sizeof data.cFileName) return false;
  unsigned char kind = entry.d_type;
  if (kind == DT_UNKNOWN) {
    struct stat info {};
    if (fstatat(folderFd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    kind = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
  }
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (kind == DT_LNK) {
    attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target {};
    if (fstatat(folderFd, entry.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (kind == DT_DIR) {
    attributes = FILE_ATTRIBUTE_DIRECTORY;
  }
  data.dwFileAttributes = attributes;
  std::memcpy(data.cFileName, entry.d_name, length + 1);
  return true;
}

bool NameBefore(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
  const int c = AsciiCompareNoCaseN(a.cFileName, b.cFileName, sizeof a.cFileName);
  return c != 0 ? c < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
}

// The names of a folder that match, each filled by `fill`, sorted.
template <class Fill>
HFIND FindFirst(const char* pattern, WIN32_FIND_DATAA* data, Fill fill) {
  if (pattern == nullptr || data == nullptr) return INVALID_FIND_HANDLE;
  const std::string_view whole(pattern);
  const std::size_t slash = whole.rfind('/');
  const std::string folder = slash == std::string_view::npos ? "." : std::string(whole.substr(0, slash == 0 ? 1 : slash));
  const std::string_view namePattern = slash == std::string_view::npos ? whole : whole.substr(slash + 1);
  if (namePattern.empty()) return INVALID_FIND_HANDLE;

  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return INVALID_FIND_HANDLE;
  auto search = std::make_unique<FindSearch>();
  search->entries.reserve(kFolderEntriesAtFirst);
  const int fd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    if (!NameMatches(namePattern, entry->d_name)) continue;
    WIN32_FIND_DATAA& found = search->entries.emplace_back();
    if (!fill(fd, *entry, found)) search->entries.pop_back();
  }
  closedir(dir);
  if (search->entries.empty()) return INVALID_FIND_HANDLE;
  const std::vector<WIN32_FIND_DATAA>& entries = search->entries;
  search->order.resize(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) search->order[i] = static_cast<std::uint32_t>(i);
  std::sort(search->order.begin(), search->order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return NameBefore(entries[a], entries[b]); });
  *data = entries[search->order[0]];
  search->next = 1;
  return search.release();
}
}  // namespace

HFIND FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  return FindFirst(pattern, data, [](int fd, const dirent& entry, WIN32_FIND_DATAA& found) {
    return FillEntry(fd, entry.d_name, found);
  });
}

HFIND FindFirstFileBasicA(const char* pattern, WIN32_FIND_DATAA* data) {
  return FindFirst(pattern, data, [](int fd, const dirent& entry, WIN32_FIND_DATAA& found) {
    return FillKind(fd, entry, found);
  });
}

BOOL FindNextFileA(HFIND search, WIN32_FIND_DATAA* data) {
  if (search == nullptr || data == nullptr || search->next >= search->entries.size()) return FALSE;
  *data = search->entries[search->order[search->next++]];
  return TRUE;
}

BOOL FindClose(HFIND search) {
  if (search == nullptr) return FALSE;
  delete search;
  return TRUE;
}
