#include "win/menu_template.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "win/codepage.h"

namespace {

void PutWord(std::vector<BYTE>& out, WORD value) {
  out.push_back(static_cast<BYTE>(value & 0xFF));
  out.push_back(static_cast<BYTE>(value >> 8));
}

void PutText(std::vector<BYTE>& out, const std::string& text) {
  std::vector<char16_t> wide(text.size() + 1);
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  for (char16_t c : wide) PutWord(out, static_cast<WORD>(c));
}

void PutItems(std::vector<BYTE>& out, const std::vector<MenuItemSnapshot>& items) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItemSnapshot& item = items[i];
    const bool last = i + 1 == items.size();
    // A separator is written as resource compilers write one: flags 0, id 0, no text.
    const WORD flags =
        static_cast<WORD>(((item.flags & MF_SEPARATOR) != 0 ? 0 : (item.flags & 0xFFFF)) | (last ? MF_END : 0));
    PutWord(out, flags);
    if ((item.flags & MF_POPUP) == 0) PutWord(out, static_cast<WORD>(item.id));
    PutText(out, item.text);
    if ((item.flags & MF_POPUP) != 0) PutItems(out, item.popup);
  }
}

struct ResourceCache {
  std::mutex mutex;
  // Built once per id and kept, as a loaded module keeps its resources.
  std::map<WORD, std::unique_ptr<const std::vector<BYTE>>> menus;
};

ResourceCache& Cache() {
  static ResourceCache* cache = new ResourceCache();
  return *cache;
}

constexpr HRSRC kMenuKind = 0x00040000;

const std::vector<BYTE>* Find(HRSRC resource) {
  if ((resource & 0xFFFF0000) != kMenuKind) return nullptr;
  ResourceCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  auto it = cache.menus.find(static_cast<WORD>(resource & 0xFFFF));
  return it == cache.menus.end() ? nullptr : it->second.get();
}

}  // namespace

std::optional<std::vector<BYTE>> MenuTemplateBytes(HMENU menu) {
  std::optional<MenuSnapshot> snapshot = SnapshotMenu(menu);
  if (!snapshot) return std::nullopt;
  std::vector<BYTE> out;
  PutWord(out, 0);
  PutWord(out, 0);
  PutItems(out, snapshot->items);
  return out;
}

HRSRC FindResourceA(HMODULE, const char* name, const char* type) {
  if (type != RT_MENU || name == nullptr || !IS_INTRESOURCE(name)) return 0;
  const WORD id = ResourceIdOf(name);
  ResourceCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  if (cache.menus.find(id) == cache.menus.end()) {
    const HMENU menu = LoadMenuA(nullptr, static_cast<UINT>(id));
    if (menu == 0) return 0;
    std::optional<std::vector<BYTE>> bytes = MenuTemplateBytes(menu);
    DestroyMenu(menu);
    if (!bytes) return 0;
    cache.menus[id] = std::make_unique<const std::vector<BYTE>>(std::move(*bytes));
  }
  return kMenuKind | id;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  const std::vector<BYTE>* bytes = Find(resource);
  return bytes == nullptr ? nullptr : bytes->data();
}

const void* LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  const std::vector<BYTE>* bytes = Find(resource);
  return bytes == nullptr ? 0 : static_cast<DWORD>(bytes->size());
}
