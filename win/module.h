// Module and resource names: the program is one module, its resources are
// built in, so every module handle means "this program".
#pragma once

#include <cstdint>

#include "win/types.h"

using HINSTANCE = void*;
using HMODULE = HINSTANCE;

// A resource id passed where a name is expected, as Windows packs it.
inline const char* MAKEINTRESOURCEA(WORD id) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));
}
inline bool IS_INTRESOURCE(const char* name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }
inline WORD ResourceIdOf(const char* name) { return static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name)); }

inline HINSTANCE AfxGetInstanceHandle() { return nullptr; }
inline HINSTANCE AfxGetResourceHandle() { return nullptr; }
