#include <cstdio>

#include "win/menu.h"
#include "win/resource_text.h"
#include "win/resources.h"

using namespace win::detail;

namespace {

// Popups nest a few levels in practice.
constexpr std::size_t kMaxNesting = 8;
constexpr std::size_t kMaxItems = 4096;

std::string At(const ResourceLine& line, const std::string& reason) {
  return "line " + std::to_string(line.number) + ": " + reason;
}

bool ReadFlags(const ResourceLine& line, std::size_t index, UINT& flags, std::string& error) {
  flags = 0;
  if (line.fields.size() <= index) return true;
  const ResourceField& field = line.fields[index];
  std::string reason;
  std::optional<UINT> parsed = field.quoted ? std::nullopt : ParseMenuFlags(field.text, reason);
  if (!parsed) {
    error = At(line, reason.empty() ? "flags must not be quoted" : reason);
    return false;
  }
  flags = *parsed;
  return true;
}

bool Build(const std::vector<ResourceLine>& lines, HMENU root, std::string& error) {
  std::vector<HMENU> open{root};
  std::size_t items = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const ResourceLine& line = lines[i];
    const ResourceField& word = line.fields[0];
    if (++items > kMaxItems) {
      error = At(line, "too many items");
      return false;
    }
    if (word.quoted) {
      error = At(line, "a line starts with item, popup, separator or end");
      return false;
    }
    if (word.text == "end") {
      if (line.fields.size() != 1 || open.size() == 1) {
        error = At(line, line.fields.size() != 1 ? "end stands alone" : "end without its popup");
        return false;
      }
      open.pop_back();
    } else if (word.text == "separator") {
      if (line.fields.size() != 1) {
        error = At(line, "separator stands alone");
        return false;
      }
      AppendMenuA(open.back(), MF_SEPARATOR, 0, nullptr);
    } else if (word.text == "item") {
      // item <id> "<text>" [flags]
      if (line.fields.size() < 3 || line.fields.size() > 4) {
        error = At(line, "an item is: item <id> \"<text>\" [flags]");
        return false;
      }
      std::optional<long long> id =
          line.fields[1].quoted ? std::nullopt : ParseResourceNumber(line.fields[1].text, 1, 0xFFFF);
      if (!id) {
        error = At(line, "bad item id \"" + line.fields[1].text + "\"");
        return false;
      }
      if (!line.fields[2].quoted) {
        error = At(line, "the item's text must be a quoted text");
        return false;
      }
      UINT flags = 0;
      if (!ReadFlags(line, 3, flags, error)) return false;
      AppendMenuA(open.back(), MF_STRING | flags, static_cast<UINT_PTR>(*id), line.fields[2].text.c_str());
    } else if (word.text == "popup") {
      // popup "<text>" [flags]
      if (line.fields.size() < 2 || line.fields.size() > 3 || !line.fields[1].quoted) {
        error = At(line, "a popup is: popup \"<text>\" [flags]");
        return false;
      }
      if (open.size() > kMaxNesting) {
        error = At(line, "popups nested too deep");
        return false;
      }
      UINT flags = 0;
      if (!ReadFlags(line, 2, flags, error)) return false;
      const HMENU popup = CreatePopupMenu();
      if (popup == 0 || !AppendMenuA(open.back(), MF_POPUP | flags, popup, line.fields[1].text.c_str())) {
        DestroyMenu(popup);
        error = At(line, "no room for another menu");
        return false;
      }
      open.push_back(popup);
    } else {
      error = At(line, "unknown word \"" + word.text + "\"");
      return false;
    }
  }
  if (open.size() != 1) {
    error = "a popup has no end";
    return false;
  }
  return true;
}

}  // namespace

HMENU LoadMenuFromText(std::string_view text, std::string& error, UINT* id) {
  std::vector<ResourceLine> lines;
  if (!SplitResourceText(text, lines, error)) return 0;
  if (lines.empty()) {
    error = "the menu is empty";
    return 0;
  }
  const ResourceLine& header = lines[0];
  std::optional<long long> menuId;
  if (header.fields.size() == 2 && !header.fields[0].quoted && header.fields[0].text == "menu" &&
      !header.fields[1].quoted) {
    menuId = ParseResourceNumber(header.fields[1].text, 1, 0xFFFF);
  }
  if (!menuId) {
    error = At(header, "the first line must be: menu <id>");
    return 0;
  }
  const HMENU root = CreateMenu();
  if (root == 0) {
    error = "no room for another menu";
    return 0;
  }
  if (!Build(lines, root, error)) {
    DestroyMenu(root);
    return 0;
  }
  if (id != nullptr) *id = static_cast<UINT>(*menuId);
  return root;
}

HMENU LoadMenuA(HINSTANCE instance, UINT id) {
  std::optional<std::string_view> text = FindEmbeddedFile("menus/" + std::to_string(id) + ".menu");
  if (!text) {
    std::fprintf(stderr, "Menu %u: no such menu\n", id);
    return 0;
  }
  std::string error;
  UINT fileId = 0;
  HMENU menu = LoadMenuFromText(*text, error, &fileId);
  if (menu != 0 && fileId != id) {
    DestroyMenu(menu);
    menu = 0;
    error = "the file holds menu " + std::to_string(fileId);
  }
  if (menu == 0) std::fprintf(stderr, "Menu %u: %s\n", id, error.c_str());
  return menu;
}

HMENU LoadMenuA(HINSTANCE instance, const char* name) {
  if (name == nullptr) return 0;
  if (IS_INTRESOURCE(name)) return LoadMenuA(instance, static_cast<UINT>(ResourceIdOf(name)));
  // "#7036" names a resource by number.
  if (name[0] == '#') {
    if (std::optional<long long> id = ParseResourceNumber(name + 1, 1, 0xFFFF)) {
      return LoadMenuA(instance, static_cast<UINT>(*id));
    }
  }
  return 0;
}
