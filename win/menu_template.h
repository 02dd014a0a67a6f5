// The standard binary template of a menu resource, as Windows keeps it: a
// MENUITEMTEMPLATEHEADER, then the items in order, each a 16-bit flags word,
// a 16-bit id unless MF_POPUP, and its null-terminated UTF-16 text; a popup's
// items follow it, and MF_END marks the last item of each level. The menus of
// res/menus are turned into this form on request, so code that walks a
// template by its bytes gets the same menu LoadMenuA builds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "win/menu.h"
#include "win/module.h"

struct MENUITEMTEMPLATEHEADER {
  WORD versionNumber = 0;
  WORD offset = 0;
};
constexpr std::size_t kMenuTemplateHeaderSize = 4;

// A resource of the program: a kind and a number.
using HRSRC = std::uint32_t;
using HGLOBAL = const void*;

inline const char* const RT_MENU = MAKEINTRESOURCEA(4);

// Only RT_MENU resources are found here. 0 when there is no such resource.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The bytes stay valid for the program's lifetime.
const void* LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// The template of a menu as this layer holds it (nullopt when it is not one).
std::optional<std::vector<BYTE>> MenuTemplateBytes(HMENU menu);
