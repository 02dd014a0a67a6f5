// Depth-first walk of a folder tree in the order the folder enumeration gives
// names, keeping the files (and optionally the folders) that the pattern
// lists accept.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win/find_file.h"

struct DirectoryEntry {
  WIN32_FIND_DATAA find;      // the file as the enumeration reported it
  std::uint32_t folder = 0;   // index into DirectoryWalker::Folders()
};

class DirectoryWalker {
 public:
  struct Options {
    bool recurse = true;
    bool includeFolders = false;
    // Names and kinds only (FindFirstFileBasicA): the entries carry no times,
    // sizes or read-only bit, and the walk needs no stat per entry.
    bool kindsOnly = false;
    std::size_t expectedEntries = 0;  // room made at the start: a large walk need not regrow its list
    const std::atomic<int>* stop = nullptr;  // a non-zero value ends the walk at once
    std::string root;
    std::string fileIncludes;    // ';'-separated patterns
    std::string fileExcludes;
    std::string folderExcludes;
    // When set, each accepted file is handed here, with the folder it was found
    // in, as the walk meets it, and is not kept in Entries(): a walk of tens of
    // thousands of files then copies no record twice and holds no list of them.
    std::function<void(const std::string& folder, const WIN32_FIND_DATAA& file)> onFile;
  };

  explicit DirectoryWalker(Options options) : options_(std::move(options)) {}

  // Walks the root folder.
  void Walk() {
    if (!options_.onFile) entries_.reserve(options_.expectedEntries);
    if (options_.kindsOnly) {
      const std::size_t last = options_.root.find_last_not_of('/');
      const std::string rootName = last == std::string::npos ? (options_.root.empty() ? "" : "/")
                                                             : options_.root.substr(0, last + 1);
      WalkKinds(-1, rootName.c_str(), options_.root, 0);
    } else {
      Walk(options_.root);
    }
  }
  // Appends every accepted entry below `folder`. Symbolic links to folders
  // are followed (models are often installed through one); a folder that is
  // already open on the current path (the same device and inode) is a loop
  // and is not entered again.
  void Walk(const std::string& folder);

  const std::vector<DirectoryEntry>& Entries() const { return entries_; }
  // Every folder an entry was found in, as the walk joined it ('/').
  const std::vector<std::string>& Folders() const { return folders_; }
  const std::string& FolderOf(const DirectoryEntry& entry) const { return folders_[entry.folder]; }

 private:
  // The names-and-kinds walk: each folder is opened relative to its parent's
  // descriptor (-1 for the root), so no full path is resolved again per folder.
  // `openName` is the folder's name in its parent (the whole path for the root).
  void WalkKinds(int parentFd, const char* openName, std::string folder, std::size_t depth);
  // Hands an accepted entry on, or keeps it.
  void Accept(const WIN32_FIND_DATAA& data, std::uint32_t folderIndex, const std::string& folder);
  bool Stopped() const { return options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed) != 0; }

  // The folders on the current path, by device and inode.
  struct FolderId {
    std::uint64_t device;
    std::uint64_t inode;
    friend bool operator==(const FolderId&, const FolderId&) = default;
  };
  // Holds a folder on the path while it is walked; not Entered() when the
  // folder is already on it (or cannot be told).
  class PathStep {
   public:
    PathStep(std::vector<FolderId>& path, bool known, FolderId id);
    ~PathStep();
    PathStep(const PathStep&) = delete;
    PathStep& operator=(const PathStep&) = delete;
    bool Entered() const { return entered_; }

   private:
    std::vector<FolderId>& path_;
    bool entered_ = false;
  };

  struct KindEntry {
    std::uint32_t nameAt;  // offset of the NUL-ended name in the level's name store
    std::uint32_t nameLength;
    DWORD attributes;
  };
  // One folder's listing; a level per depth, reused by the folders met at that depth.
  struct KindLevel {
    std::string names;
    std::vector<KindEntry> found;
  };

  static constexpr std::size_t kListBufferWords = 4096;  // 32 KiB of listing records per read

  Options options_;
  std::vector<std::uint64_t> listBuffer_;
  std::deque<KindLevel> levels_;  // a deque: a deeper level added keeps the shallower ones in place  // 8-byte aligned, as the listing records are
  std::vector<DirectoryEntry> entries_;
  std::vector<std::string> folders_;
  std::vector<FolderId> path_;
};
