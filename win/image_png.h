// Writing a bitmap as a PNG file.
#pragma once

#include <string>

#include "win/gdi_handles.h"

namespace win {

// False when the handle is not a live bitmap or the file cannot be written.
bool SaveBitmapPng(HBITMAP bitmap, const std::string& path);

}  // namespace win
