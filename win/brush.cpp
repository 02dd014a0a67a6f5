#include "win/brush.h"

#include "win/gdi_table.h"
#include "win/sys_colors.h"

using win::detail::BrushObject;
using win::detail::Table;

HBRUSH CreateSolidBrush(COLORREF colour) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  if (t.brushFailCountdown > 0 && --t.brushFailCountdown == 0) return 0;
  return win::detail::AddObject(t, BrushObject{BS_SOLID, colour & 0x00FFFFFF, nullptr});
}

std::optional<COLORREF> BrushColour(HBRUSH brush) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  const BrushObject* b = win::detail::Find<BrushObject>(t, brush);
  if (b == nullptr || b->style != BS_SOLID) return std::nullopt;
  return b->colour;
}

std::size_t LiveBrushCount() {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  std::size_t count = 0;
  for (const auto& [handle, entry] : t.objects)
    if (!entry.stock && std::holds_alternative<BrushObject>(entry.object)) ++count;
  return count;
}

void FailBrushCreationForTest(int k) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  t.brushFailCountdown = k > 0 ? k : 0;
}

BOOL CBrush::CreateSolidBrush(COLORREF colour) {
  if (m_hObject != 0) return FALSE;
  return Attach(::CreateSolidBrush(colour));
}

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap) {
  if (m_hObject != 0 || bitmap == nullptr) return FALSE;
  return Attach(::CreatePatternBrush(bitmap->GetSafeHandle()));
}

BOOL CBrush::CreateSysColorBrush(int index) {
  if (m_hObject != 0) return FALSE;
  // A brush of its own (the class library's form owns what it holds).
  const HBRUSH system = ::GetSysColorBrush(index);
  if (system == 0) return FALSE;
  return Attach(::CreateSolidBrush(::GetSysColor(index)));
}
