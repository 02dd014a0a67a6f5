#include "win/cursors.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace {

// Cursor handles lie apart from the drawing objects' (0x2...) and the windows'.
constexpr HCURSOR kFirstCursor = 0x30000000;

constexpr std::array<WORD, 14> kSystemCursors = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                                 32644, 32645, 32646, 32648, 32649, 32650, 32651};

struct Cursors {
  std::mutex mutex;
  std::map<HCURSOR, win::CursorInfo> live;
  std::map<WORD, HCURSOR> system;
  HCURSOR next = kFirstCursor;
  HCURSOR shown = 0;
};

Cursors& TheCursors() {
  static Cursors* cursors = new Cursors();
  return *cursors;
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (name == nullptr || !IS_INTRESOURCE(name)) return 0;
  const WORD id = ResourceIdOf(name);
  if (id == 0) return 0;
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  const bool system = std::find(kSystemCursors.begin(), kSystemCursors.end(), id) != kSystemCursors.end();
  if (instance == nullptr && system) {
    auto it = c.system.find(id);
    if (it != c.system.end()) return it->second;
    const HCURSOR made = c.next++;
    c.system[id] = made;
    c.live[made] = win::CursorInfo{true, id};
    return made;
  }
  const HCURSOR made = c.next++;
  c.live[made] = win::CursorInfo{false, id};
  return made;
}

HCURSOR SetCursor(HCURSOR cursor) {
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  const HCURSOR before = c.shown;
  c.shown = cursor;
  return before;
}

HCURSOR GetCursor() {
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  return c.shown;
}

BOOL DestroyCursor(HCURSOR cursor) {
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  auto it = c.live.find(cursor);
  if (it == c.live.end()) return FALSE;
  if (it->second.system) return TRUE;  // shared: stays
  c.live.erase(it);
  if (c.shown == cursor) c.shown = 0;
  return TRUE;
}

namespace win {

std::optional<CursorInfo> CursorOf(HCURSOR cursor) {
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  auto it = c.live.find(cursor);
  if (it == c.live.end()) return std::nullopt;
  return it->second;
}

std::size_t LiveCursorCount() {
  Cursors& c = TheCursors();
  std::lock_guard lock(c.mutex);
  return c.live.size();
}

}  // namespace win
