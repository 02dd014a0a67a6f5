#include "win/paths.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Lexical, as Windows does: a ".." after a symbolic link climbs the text, not the link.
std::string Normalise(std::string_view whole) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  while (at <= whole.size()) {
    const std::size_t slash = std::min(whole.find('/', at), whole.size());
    const std::string_view part = whole.substr(at, slash - at);
    at = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result;
  for (const auto part : parts) {
    result += '/';
    result += part;
  }
  if (result.empty() || whole.ends_with('/')) result += '/';
  return result;
}

}  // namespace

DWORD GetFullPathNameA(const char* name, DWORD bufferLength, char* buffer, char** filePart) {
  if (name == nullptr || name[0] == '\0') return 0;
  const std::string_view given(name);
  std::string whole;
  if (given.starts_with('/')) {
    whole = given;
  } else {
    const std::string folder = CurrentFolder();
    if (folder.empty()) return 0;
    whole = JoinPath(folder, given);
  }
  const std::string full = Normalise(whole);
  if (full.size() >= std::numeric_limits<DWORD>::max()) return 0;
  const auto length = static_cast<DWORD>(full.size());
  if (buffer == nullptr || bufferLength <= length) return length + 1;
  std::memcpy(buffer, full.data(), full.size());
  buffer[full.size()] = '\0';
  if (filePart != nullptr) *filePart = full.ends_with('/') ? nullptr : buffer + full.rfind('/') + 1;
  return length;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (name.empty()) return std::string(folder);
  while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  std::string joined(folder);
  joined += '/';
  joined += name;
  return joined;
}

std::string CurrentFolder() {
  std::vector<char> buffer(256);
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return {};
}
