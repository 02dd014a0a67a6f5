#include "win/registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "win/ascii_case.h"

namespace {

// Windows itself bounds a key name to 255 characters and a value to about 1 MB.
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxValueSize = 1 << 20;

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return AsciiUpper(a) < AsciiUpper(b); }
};

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

struct Key {
  std::map<std::string, std::unique_ptr<Key>, NoCaseLess> children;
  std::map<std::string, Value, NoCaseLess> values;
};

struct OpenKey {
  Key* key = nullptr;
  REGSAM access = 0;
};

struct Registry {
  std::mutex mutex;
  Key currentUser;
  Key localMachine;
  Key classesRoot;
  std::map<HKEY, OpenKey> open;
  HKEY next = 0x00100000;
};

Registry& Reg() {
  static Registry* registry = new Registry();
  return *registry;
}

// The caller holds the registry's lock below.
const OpenKey* Resolve(Registry& r, HKEY key, OpenKey& root) {
  switch (key) {
    case HKEY_CURRENT_USER:
      root = {&r.currentUser, KEY_ALL_ACCESS};
      return &root;
    case HKEY_LOCAL_MACHINE:
      root = {&r.localMachine, KEY_ALL_ACCESS};
      return &root;
    case HKEY_CLASSES_ROOT:
      root = {&r.classesRoot, KEY_ALL_ACCESS};
      return &root;
    default: {
      auto it = r.open.find(key);
      return it == r.open.end() ? nullptr : &it->second;
    }
  }
}

bool SplitPath(const char* subKey, std::vector<std::string>& parts) {
  if (subKey == nullptr) return true;
  std::string_view rest(subKey);
  while (!rest.empty()) {
    const std::size_t cut = rest.find('\\');
    const std::string_view part = rest.substr(0, cut);
    if (part.empty() || part.size() > kMaxNameLength) return false;
    parts.emplace_back(part);
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return true;
}

HKEY Register(Registry& r, Key* key, REGSAM access) {
  const HKEY handle = r.next++;
  r.open[handle] = OpenKey{key, access};
  return handle;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM desired, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  OpenKey root;
  const OpenKey* base = Resolve(r, key, root);
  if (base == nullptr) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, parts)) return ERROR_FILE_NOT_FOUND;
  Key* at = base->key;
  for (const std::string& part : parts) {
    auto it = at->children.find(part);
    if (it == at->children.end()) return ERROR_FILE_NOT_FOUND;
    at = it->second.get();
  }
  *result = Register(r, at, desired);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM desired, const void*, HKEY* result,
                     DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  OpenKey root;
  const OpenKey* base = Resolve(r, key, root);
  if (base == nullptr) return ERROR_INVALID_HANDLE;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, parts)) return ERROR_INVALID_PARAMETER;
  if (!parts.empty() && (base->access & KEY_CREATE_SUB_KEY) == 0) {
    // Creating below a key needs the right to, unless every part exists already.
    Key* probe = base->key;
    for (const std::string& part : parts) {
      auto it = probe->children.find(part);
      if (it == probe->children.end()) return ERROR_ACCESS_DENIED;
      probe = it->second.get();
    }
  }
  Key* at = base->key;
  bool created = false;
  for (const std::string& part : parts) {
    std::unique_ptr<Key>& child = at->children[part];
    if (!child) {
      child = std::make_unique<Key>();
      created = true;
    }
    at = child.get();
  }
  *result = Register(r, at, desired);
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  return r.open.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  OpenKey root;
  const OpenKey* base = Resolve(r, key, root);
  if (base == nullptr) return ERROR_INVALID_HANDLE;
  if ((base->access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  auto it = base->key->values.find(valueName == nullptr ? std::string() : std::string(valueName));
  if (it == base->key->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = it->second;
  if (type != nullptr) *type = value.type;
  if (size == nullptr) return ERROR_SUCCESS;
  const auto needed = static_cast<DWORD>(value.bytes.size());
  if (data == nullptr) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::copy(value.bytes.begin(), value.bytes.end(), data);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if ((data == nullptr && size != 0) || size > kMaxValueSize) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && size != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
  if (valueName != nullptr && std::strlen(valueName) > 16383) return ERROR_INVALID_PARAMETER;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  OpenKey root;
  const OpenKey* base = Resolve(r, key, root);
  if (base == nullptr) return ERROR_INVALID_HANDLE;
  if ((base->access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  Value& value = base->key->values[valueName == nullptr ? std::string() : std::string(valueName)];
  value.type = type;
  value.bytes.assign(data, data + size);
  return ERROR_SUCCESS;
}

void ResetRegistryForTest() {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  r.open.clear();
  r.currentUser = Key{};
  r.localMachine = Key{};
  r.classesRoot = Key{};
}
