#include <mutex>
#include <string>
#include <unordered_map>

#include "win/remote_link.h"
#include "win/window.h"

namespace {

struct MessageNames {
  std::mutex mutex;
  std::unordered_map<std::string, UINT> ids;
  std::unordered_map<UINT, std::string> names;
  UINT next = 0xC000;
};

// Never destroyed, and made on first use: units register their names during
// static initialisation, before any ordinary global would be constructed.
MessageNames& Names() {
  static MessageNames* names = new MessageNames();
  return *names;
}

std::string FoldCase(const char* name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

}  // namespace

UINT RegisterWindowMessageA(const char* name) {
  if (name == nullptr || *name == '\0') return 0;
  std::string key = FoldCase(name);
  MessageNames& names = Names();
  std::lock_guard lock(names.mutex);
  auto it = names.ids.find(key);
  if (it != names.ids.end()) return it->second;
  if (names.next > 0xFFFF) return 0;  // the range is spent
  const UINT id = names.next++;
  names.names.emplace(id, key);
  names.ids.emplace(std::move(key), id);
  return id;
}

namespace win::detail {

std::string RegisteredMessageName(UINT id) {
  MessageNames& names = Names();
  std::lock_guard lock(names.mutex);
  auto it = names.names.find(id);
  return it == names.names.end() ? std::string() : it->second;
}

}  // namespace win::detail
