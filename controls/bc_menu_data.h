// One item of an owner-drawn menu: what the menu measures and draws it from.
// The menu owns its records; each one's address is its item's data.
#pragma once

#include <memory>
#include <string>

#include "win/menu.h"

class BCMenuData {
 public:
  BCMenuData() = default;
  BCMenuData(const BCMenuData&) = delete;
  BCMenuData& operator=(const BCMenuData&) = delete;

  // UTF-16, as the menu measures and draws it.
  std::u16string text;
  // The item's image in imageList; -1 is none.
  int imageIndex = -1;
  // Where the command id stands in the program-wide list of commands with images; -1 when absent.
  int sharedImageIndex = -1;
  int firstWord = 0;
  int secondImageIndex = -1;
  // MF_* of the item.
  UINT flags = 0;
  // The command id, or the submenu's handle for a popup item.
  UINT_PTR commandId = 0;
  // Set while records are matched with the menu's items; unmarked ones are then freed.
  int syncMark = 0;
  int lastWord = 0;
};
