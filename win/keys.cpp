#include "win/keys.h"

#include <array>
#include <charconv>
#include <mutex>

#include "win/ascii_case.h"

namespace {

struct KeyState {
  bool down = false;
  bool toggled = false;
  bool pressedSinceRead = false;
};

struct KeyTable {
  std::mutex mutex;
  std::array<KeyState, 256> keys{};
};

KeyTable& Table() {
  static KeyTable* table = new KeyTable();
  return *table;
}

bool InRange(int vk) { return vk >= 1 && vk <= 254; }

// The two sides of a generic key, or none.
std::array<int, 2> SidesOf(int vk) {
  switch (vk) {
    case VK_SHIFT: return {VK_LSHIFT, VK_RSHIFT};
    case VK_CONTROL: return {VK_LCONTROL, VK_RCONTROL};
    case VK_MENU: return {VK_LMENU, VK_RMENU};
    default: return {0, 0};
  }
}

int GenericOf(int vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU: return VK_MENU;
    default: return 0;
  }
}

// The caller holds the table's lock.
bool IsDown(const KeyTable& t, int vk) {
  if (t.keys[static_cast<std::size_t>(vk)].down) return true;
  for (int side : SidesOf(vk)) {
    if (side != 0 && t.keys[static_cast<std::size_t>(side)].down) return true;
  }
  return false;
}

void Press(KeyTable& t, int vk, bool down) {
  KeyState& key = t.keys[static_cast<std::size_t>(vk)];
  if (down && !key.down) {
    key.toggled = !key.toggled;
    key.pressedSinceRead = true;
  }
  key.down = down;
}

struct KeyName {
  std::string_view name;
  int vk;
};

constexpr std::array<KeyName, 40> kNames = {{
    {"LBUTTON", VK_LBUTTON}, {"RBUTTON", VK_RBUTTON}, {"MBUTTON", VK_MBUTTON}, {"BACK", VK_BACK},
    {"TAB", VK_TAB},         {"RETURN", VK_RETURN},   {"ENTER", VK_RETURN},    {"SHIFT", VK_SHIFT},
    {"CONTROL", VK_CONTROL}, {"CTRL", VK_CONTROL},    {"MENU", VK_MENU},       {"ALT", VK_MENU},
    {"PAUSE", VK_PAUSE},     {"CAPITAL", VK_CAPITAL}, {"ESCAPE", VK_ESCAPE},   {"ESC", VK_ESCAPE},
    {"SPACE", VK_SPACE},     {"PRIOR", VK_PRIOR},     {"NEXT", VK_NEXT},       {"END", VK_END},
    {"HOME", VK_HOME},       {"LEFT", VK_LEFT},       {"UP", VK_UP},           {"RIGHT", VK_RIGHT},
    {"DOWN", VK_DOWN},       {"INSERT", VK_INSERT},   {"DELETE", VK_DELETE},   {"LSHIFT", VK_LSHIFT},
    {"RSHIFT", VK_RSHIFT},   {"LCONTROL", VK_LCONTROL}, {"RCONTROL", VK_RCONTROL}, {"LMENU", VK_LMENU},
    {"RMENU", VK_RMENU},     {"NUMLOCK", VK_NUMLOCK}, {"SCROLL", VK_SCROLL},   {"SNAPSHOT", VK_SNAPSHOT},
    {"APPS", VK_APPS},       {"LWIN", VK_LWIN},       {"RWIN", VK_RWIN},       {"CLEAR", VK_CLEAR},
}};

std::optional<int> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

SHORT GetAsyncKeyState(int vk) {
  if (!InRange(vk)) return 0;
  KeyTable& t = Table();
  std::lock_guard lock(t.mutex);
  bool pressed = false;
  auto take = [&](int key) {
    KeyState& state = t.keys[static_cast<std::size_t>(key)];
    pressed = pressed || state.pressedSinceRead;
    state.pressedSinceRead = false;
  };
  take(vk);
  for (int side : SidesOf(vk)) {
    if (side != 0) take(side);
  }
  const unsigned value = (IsDown(t, vk) ? 0x8000u : 0u) | (pressed ? 1u : 0u);
  return static_cast<SHORT>(value);
}

SHORT GetKeyState(int vk) {
  if (!InRange(vk)) return 0;
  KeyTable& t = Table();
  std::lock_guard lock(t.mutex);
  const unsigned value = (IsDown(t, vk) ? 0xFF80u : 0u) | (t.keys[static_cast<std::size_t>(vk)].toggled ? 1u : 0u);
  return static_cast<SHORT>(value);
}

BOOL SetKeyState(int vk, bool down) {
  if (!InRange(vk)) return FALSE;
  KeyTable& t = Table();
  std::lock_guard lock(t.mutex);
  const int generic = GenericOf(vk);
  const bool genericWasDown = generic != 0 && IsDown(t, generic);
  Press(t, vk, down);
  // A side key also presses its generic key, which reads as either side.
  if (generic != 0 && down && !genericWasDown) {
    KeyState& g = t.keys[static_cast<std::size_t>(generic)];
    g.toggled = !g.toggled;
    g.pressedSinceRead = true;
  }
  return TRUE;
}

void ResetKeyStates() {
  KeyTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.keys.fill(KeyState{});
}

std::optional<int> VirtualKeyFromName(std::string_view name) {
  if (name.empty()) return std::nullopt;
  if (name[0] >= '0' && name[0] <= '9') {
    std::optional<int> number = ParseNumber(name);
    if (number && InRange(*number)) return number;
    return std::nullopt;
  }
  if (name.size() == 1) {
    const char c = AsciiToUpper(name[0]);
    if (c >= 'A' && c <= 'Z') return static_cast<int>(c);
    return std::nullopt;
  }
  if (name.size() > 3 && AsciiEqualNoCase(name.substr(0, 3), "VK_")) name.remove_prefix(3);
  for (const KeyName& entry : kNames) {
    if (AsciiEqualNoCase(entry.name, name)) return entry.vk;
  }
  if (AsciiToUpper(name[0]) == 'F' && name.size() <= 3) {
    std::optional<int> n = ParseNumber(name.substr(1));
    if (n && *n >= 1 && *n <= 12) return VK_F1 + *n - 1;
  }
  return std::nullopt;
}
