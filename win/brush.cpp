#include "win/brush.h"

#include <map>
#include <mutex>

namespace {

struct BrushTable {
  std::mutex mutex;
  std::map<HBRUSH, COLORREF> live;
  HBRUSH next = 0x20000000;  // apart from window handles, so a mix-up is not a match
  int failCountdown = 0;
};

// Never destroyed: brushes may be released by objects that outlive main.
BrushTable& Table() {
  static BrushTable* table = new BrushTable();
  return *table;
}

}  // namespace

HBRUSH CreateSolidBrush(COLORREF colour) {
  BrushTable& t = Table();
  std::lock_guard lock(t.mutex);
  if (t.failCountdown > 0 && --t.failCountdown == 0) return 0;
  if (t.next == 0x2FFFFFFF) return 0;
  const HBRUSH brush = t.next++;
  t.live.emplace(brush, colour & 0x00FFFFFF);
  return brush;
}

BOOL DeleteObject(HGDIOBJ object) {
  BrushTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.live.erase(object) != 0 ? TRUE : FALSE;
}

std::optional<COLORREF> BrushColour(HBRUSH brush) {
  BrushTable& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.live.find(brush);
  if (it == t.live.end()) return std::nullopt;
  return it->second;
}

std::size_t LiveBrushCount() {
  BrushTable& t = Table();
  std::lock_guard lock(t.mutex);
  return t.live.size();
}

void FailBrushCreationForTest(int k) {
  BrushTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.failCountdown = k > 0 ? k : 0;
}

BOOL CBrush::CreateSolidBrush(COLORREF colour) {
  if (handle_ != 0) return FALSE;
  handle_ = ::CreateSolidBrush(colour);
  return handle_ != 0 ? TRUE : FALSE;
}

BOOL CBrush::DeleteObject() {
  if (handle_ == 0) return FALSE;
  const BOOL deleted = ::DeleteObject(handle_);
  handle_ = 0;
  return deleted;
}
