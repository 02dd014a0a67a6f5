#include "win/dialog_items.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>

#include "win/button_ctrl.h"
#include "win/control_base.h"
#include "win/display_hooks.h"
#include "win/window_registry.h"

namespace {

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

}  // namespace

BOOL SetDlgItemTextA(HWND dialog, int id, const char* text) {
  const HWND item = Item(dialog, id);
  return item != 0 ? SetWindowTextA(item, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int maxCount) {
  if (buffer != nullptr && maxCount > 0) buffer[0] = '\0';
  const HWND item = Item(dialog, id);
  if (item == 0) return 0;
  const int copied = GetWindowTextA(item, buffer, maxCount);
  return copied > 0 ? static_cast<UINT>(copied) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  std::array<char, 16> text{};
  if (isSigned != FALSE) {
    std::snprintf(text.data(), text.size(), "%d", static_cast<int>(value));
  } else {
    std::snprintf(text.data(), text.size(), "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text.data());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated != nullptr) *translated = FALSE;
  std::array<char, 64> text{};
  const HWND item = Item(dialog, id);
  if (item == 0) return 0;
  const int length = GetWindowTextA(item, text.data(), static_cast<int>(text.size()));
  std::string_view digits(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
  while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t')) digits.remove_prefix(1);
  while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
  if (digits.empty() || (isSigned == FALSE && digits.front() == '-')) return 0;
  long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  const bool fits = isSigned != FALSE ? value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()
                                      : value >= 0 && value <= std::numeric_limits<UINT>::max();
  if (!fits) return 0;
  if (translated != nullptr) *translated = TRUE;
  return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND item = Item(dialog, id);
  if (item == 0) return FALSE;
  SendMessageA(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  const HWND item = Item(dialog, id);
  return item != 0 ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  if (first > last) return FALSE;
  for (int id = first; id <= last; ++id) {
    if (const HWND item = Item(dialog, id)) SendMessageA(item, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND item = Item(dialog, id);
  return item != 0 ? SendMessageA(item, message, wParam, lParam) : 0;
}

LONG GetWindowLongA(HWND hwnd, int index) {
  if (index != GWL_STYLE) return 0;
  win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  if (!slot || !IsWindow(hwnd)) return 0;
  DWORD style = 0;
  if (slot->threadSafe) style = static_cast<DWORD>(SendMessageA(hwnd, ControlStyleMessage(), 0, 0));
  style &= ~(WS_VISIBLE | WS_DISABLED);
  if (slot->visible) style |= WS_VISIBLE;
  if (!slot->enabled) style |= WS_DISABLED;
  return static_cast<LONG>(style);
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
  if (index != GWL_STYLE) return 0;
  const LONG before = GetWindowLongA(hwnd, index);
  const auto style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED);
  if (SendMessageA(hwnd, ControlSetStyleMessage(), static_cast<WPARAM>(style), 0) == 0) return 0;
  // Kinds that answer the style message themselves say only what they show.
  if (static_cast<DWORD>(before) != static_cast<DWORD>(GetWindowLongA(hwnd, index))) {
    win::display::NotifyChanged(hwnd, win::display::kStyle);
  }
  return before;
}
