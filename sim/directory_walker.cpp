#include "sim/directory_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "sim/wildcard_list.h"
#include "win/ascii_case.h"
#include "win/paths.h"

namespace {
class SearchHandle {
 public:
  SearchHandle(const std::string& pattern, bool kindsOnly, WIN32_FIND_DATAA& data)
      : handle_(kindsOnly ? FindFirstFileBasicA(pattern.c_str(), &data) : FindFirstFileA(pattern.c_str(), &data)) {}
  ~SearchHandle() {
    if (handle_ != INVALID_FIND_HANDLE) FindClose(handle_);
  }
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_FIND_HANDLE; }
  bool Next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != FALSE; }

 private:
  HFIND handle_;
};

// A folder opened for listing, closed when it goes.
class FolderHandle {
 public:
  FolderHandle(int parentFd, const std::string& folder) {
    const char* where = folder.empty() ? "." : folder.c_str();
    fd_ = openat(parentFd < 0 ? AT_FDCWD : parentFd, where, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  ~FolderHandle() {
    if (fd_ >= 0) close(fd_);
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// The attributes the names-and-kinds enumeration gives an entry; false when it
// gives none (the entry vanished, or its name does not fit a find record).
bool KindOf(int folderFd, const char* name, unsigned char kind, std::size_t nameLength, DWORD& attributes) {
  if (nameLength >= MAX_PATH) return false;
  if (kind == DT_UNKNOWN) {
    struct stat info {};
    if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    kind = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
  }
  attributes = FILE_ATTRIBUTE_NORMAL;
  if (kind == DT_LNK) {
    attributes = FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target {};
    if (fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (kind == DT_DIR) {
    attributes = FILE_ATTRIBUTE_DIRECTORY;
  }
  return true;
}
}  // namespace

DirectoryWalker::PathStep::PathStep(std::vector<FolderId>& path, bool known, FolderId id) : path_(path) {
  if (!known || std::find(path.begin(), path.end(), id) != path.end()) return;
  path.push_back(id);
  entered_ = true;
}

DirectoryWalker::PathStep::~PathStep() {
  if (entered_) path_.pop_back();
}

void DirectoryWalker::Accept(const WIN32_FIND_DATAA& data, std::uint32_t folderIndex, const std::string& folder) {
  if (options_.onFile && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    options_.onFile(folder, data);
  } else {
    entries_.push_back({data, folderIndex});
  }
}

// The same entries, kinds and order as a FindFirstFileBasicA search of "folder/*".
void DirectoryWalker::WalkKinds(int parentFd, const char* openName, std::string folder, std::size_t depth) {
  if (Stopped()) return;
  const FolderHandle handle(parentFd, openName);
  if (handle.Fd() < 0) return;
  struct stat info {};
  const bool known = fstat(handle.Fd(), &info) == 0;
  const PathStep step(path_, known, {info.st_dev, info.st_ino});
  if (!step.Entered()) return;
  // The listing is read whole, straight from the kernel's records, before any
  // subfolder is entered, so one buffer serves the whole walk.
  if (levels_.size() <= depth) levels_.resize(depth + 1);
  KindLevel& level = levels_[depth];
  std::string& names = level.names;
  std::vector<KindEntry>& found = level.found;
  names.clear();
  found.clear();
  listBuffer_.resize(kListBufferWords);
  auto* const buffer = reinterpret_cast<unsigned char*>(listBuffer_.data());
  for (;;) {
    const ssize_t got = getdents64(handle.Fd(), buffer, listBuffer_.size() * sizeof(std::uint64_t));
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      const unsigned char* record = buffer + at;
      unsigned short recordLength = 0;
      std::memcpy(&recordLength, record + offsetof(struct dirent64, d_reclen), sizeof recordLength);
      if (recordLength == 0) break;
      at += recordLength;
      const unsigned char kind = record[offsetof(struct dirent64, d_type)];
      const char* name = reinterpret_cast<const char*>(record + offsetof(struct dirent64, d_name));
      const std::size_t length = strnlen(name, recordLength - offsetof(struct dirent64, d_name));
      DWORD attributes = 0;
      if (!KindOf(handle.Fd(), name, kind, length, attributes)) continue;
      found.push_back({static_cast<std::uint32_t>(names.size()), static_cast<std::uint32_t>(length), attributes});
      names.append(name, length);
      names += '\0';
    }
  }
  if (found.empty()) return;
  const char* store = names.data();
  std::sort(found.begin(), found.end(), [store](const KindEntry& a, const KindEntry& b) {
    const int c = AsciiCompareNoCaseN(store + a.nameAt, store + b.nameAt, MAX_PATH);
    return c != 0 ? c < 0 : std::strcmp(store + a.nameAt, store + b.nameAt) < 0;
  });

  const auto folderIndex = static_cast<std::uint32_t>(folders_.size());
  folders_.push_back(std::move(folder));
  WIN32_FIND_DATAA data;
  for (const KindEntry& item : found) {
    const std::string& here = folders_[folderIndex];  // fetched anew: a subfolder's walk may move the list
    if (Stopped()) return;
    const std::string_view name(store + item.nameAt, item.nameLength);
    if (name == "." || name == "..") continue;
    data.dwFileAttributes = item.attributes;
    std::memcpy(data.cFileName, name.data(), name.size() + 1);
    if ((item.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (MatchesWildcardList(options_.folderExcludes, name)) continue;
      if (options_.includeFolders) Accept(data, folderIndex, here);
      if (options_.recurse) WalkKinds(handle.Fd(), store + item.nameAt, JoinPath(here, name), depth + 1);
    } else if (MatchesWildcardList(options_.fileIncludes, name) &&
               !MatchesWildcardList(options_.fileExcludes, name)) {
      Accept(data, folderIndex, here);
    }
  }
}

void DirectoryWalker::Walk(const std::string& folder) {
  if (Stopped()) return;
  struct stat info {};
  const bool known = stat(folder.empty() ? "." : folder.c_str(), &info) == 0;
  const PathStep step(path_, known, {info.st_dev, info.st_ino});
  if (!step.Entered()) return;
  WIN32_FIND_DATAA data;
  SearchHandle search(JoinPath(folder, "*"), options_.kindsOnly, data);
  if (!search.Valid()) return;
  const auto folderIndex = static_cast<std::uint32_t>(folders_.size());
  folders_.push_back(folder);
  do {
    if (Stopped()) return;
    const std::string_view name(data.cFileName);
    if (name == "." || name == "..") continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (MatchesWildcardList(options_.folderExcludes, name)) continue;
      if (options_.includeFolders) entries_.push_back({data, folderIndex});
      if (options_.recurse) Walk(JoinPath(folder, name));
    } else if (MatchesWildcardList(options_.fileIncludes, name) &&
               !MatchesWildcardList(options_.fileExcludes, name)) {
      Accept(data, folderIndex, folder);
    }
  } while (search.Next(data));
}
