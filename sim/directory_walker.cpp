#include "sim/directory_walker.h"

#include <cstring>
#include <string_view>

#include "sim/wildcard_list.h"
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
}  // namespace

void DirectoryWalker::Walk(const std::string& folder) {
  if (Stopped()) return;
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
      if (options_.recurse && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        Walk(JoinPath(folder, name));
    } else if (MatchesWildcardList(options_.fileIncludes, name) &&
               !MatchesWildcardList(options_.fileExcludes, name)) {
      if (options_.onFile) {
        options_.onFile(folder, data);
      } else {
        entries_.push_back({data, folderIndex});
      }
    }
  } while (search.Next(data));
}
