#include "win/atoms.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "win/ascii_case.h"
#include "win/remote_link.h"

namespace {

constexpr ATOM kFirstAtom = 0xC000;
constexpr std::size_t kMaxAtomName = 255;

struct AtomEntry {
  ATOM id = 0;
  WORD count = 0;
  std::string name;
};
using AtomTable = std::vector<AtomEntry>;

// The folder's table file, one record per atom: u16 id, u16 count, u8 length, name.
AtomTable Decode(const std::vector<std::uint8_t>& bytes) {
  AtomTable table;
  std::size_t at = 0;
  while (at + 5 <= bytes.size()) {
    AtomEntry entry;
    entry.id = static_cast<ATOM>(bytes[at] | (bytes[at + 1] << 8));
    entry.count = static_cast<WORD>(bytes[at + 2] | (bytes[at + 3] << 8));
    const std::size_t length = bytes[at + 4];
    at += 5;
    if (at + length > bytes.size()) break;  // a torn record ends the table
    entry.name.assign(reinterpret_cast<const char*>(bytes.data() + at), length);
    at += length;
    table.push_back(std::move(entry));
  }
  return table;
}

std::vector<std::uint8_t> Encode(const AtomTable& table) {
  std::vector<std::uint8_t> bytes;
  for (const AtomEntry& entry : table) {
    bytes.push_back(static_cast<std::uint8_t>(entry.id & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(entry.id >> 8));
    bytes.push_back(static_cast<std::uint8_t>(entry.count & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(entry.count >> 8));
    bytes.push_back(static_cast<std::uint8_t>(entry.name.size()));
    bytes.insert(bytes.end(), entry.name.begin(), entry.name.end());
  }
  return bytes;
}

std::mutex& LocalMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

AtomTable& LocalTable() {
  static AtomTable* table = new AtomTable();
  return *table;
}

// Runs `change` on the table under its lock: the folder's file under flock,
// or this process's own table. `change` returns whether it wrote.
template <typename Change>
auto WithTable(Change change) {
  std::lock_guard local(LocalMutex());
  const std::string folder = win::detail::WindowsFolder();
  if (folder.empty()) return change(LocalTable());
  const std::string path = folder + "/.atoms";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  AtomTable table;
  if (fd < 0) return change(table);
  ::flock(fd, LOCK_EX);
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  for (ssize_t n; (n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(bytes.size()))) > 0;) {
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  table = Decode(bytes);
  const AtomTable before = table;
  auto result = change(table);
  if (table.size() != before.size() ||
      !std::equal(table.begin(), table.end(), before.begin(), [](const AtomEntry& a, const AtomEntry& b) {
        return a.id == b.id && a.count == b.count && a.name == b.name;
      })) {
    const std::vector<std::uint8_t> out = Encode(table);
    if (::ftruncate(fd, 0) == 0) {
      std::size_t at = 0;
      while (at < out.size()) {
        const ssize_t n = ::pwrite(fd, out.data() + at, out.size() - at, static_cast<off_t>(at));
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
    }
  }
  ::flock(fd, LOCK_UN);
  ::close(fd);
  return result;
}

bool Usable(const char* name) {
  return name != nullptr && *name != '\0' && std::strlen(name) <= kMaxAtomName;
}

AtomTable::iterator ByName(AtomTable& table, const char* name) {
  return std::find_if(table.begin(), table.end(),
                      [name](const AtomEntry& entry) { return AsciiEqualNoCase(entry.name, name); });
}

AtomTable::iterator ById(AtomTable& table, ATOM atom) {
  return std::find_if(table.begin(), table.end(), [atom](const AtomEntry& entry) { return entry.id == atom; });
}

}  // namespace

ATOM GlobalAddAtomA(const char* name) {
  if (!Usable(name)) return 0;
  return WithTable([name](AtomTable& table) -> ATOM {
    if (auto it = ByName(table, name); it != table.end()) {
      if (it->count < 0xFFFF) ++it->count;
      return it->id;
    }
    for (unsigned id = kFirstAtom; id <= 0xFFFF; ++id) {
      if (ById(table, static_cast<ATOM>(id)) == table.end()) {
        table.push_back(AtomEntry{static_cast<ATOM>(id), 1, name});
        return static_cast<ATOM>(id);
      }
    }
    return 0;
  });
}

ATOM GlobalFindAtomA(const char* name) {
  if (!Usable(name)) return 0;
  return WithTable([name](AtomTable& table) -> ATOM {
    auto it = ByName(table, name);
    return it != table.end() ? it->id : 0;
  });
}

UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  const std::string name = WithTable([atom](AtomTable& table) {
    auto it = ById(table, atom);
    return it != table.end() ? it->name : std::string();
  });
  const std::size_t copied = std::min(name.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, name.data(), copied);
  buffer[copied] = '\0';
  return static_cast<UINT>(copied);
}

ATOM GlobalDeleteAtom(ATOM atom) {
  return WithTable([atom](AtomTable& table) -> ATOM {
    auto it = ById(table, atom);
    if (it == table.end()) return atom;
    if (--it->count == 0) table.erase(it);
    return 0;
  });
}
