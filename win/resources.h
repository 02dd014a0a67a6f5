// The resource files built into the program (res/dialogs, res/menus,
// res/bitmaps): the
// build turns each into bytes of the tk_res library, so the program runs from
// any folder.
#pragma once

#include <optional>
#include <span>
#include <string_view>

struct EmbeddedFile {
  std::string_view name;  // relative to res/, e.g. "dialogs/7055.dlg"
  std::string_view data;
};

// Defined by the generated source of tk_res, sorted by name.
std::span<const EmbeddedFile> EmbeddedFiles();

std::optional<std::string_view> FindEmbeddedFile(std::string_view name);
