// Brushes: a handle that keeps its colour (or pattern) until DeleteObject.
#pragma once

#include <cstddef>
#include <optional>

#include "win/gdi_object.h"

// 0 when the platform refuses (or the test hook says so).
HBRUSH CreateSolidBrush(COLORREF colour);
// The colour of a live solid brush (stock brushes included).
std::optional<COLORREF> BrushColour(HBRUSH brush);
// Brushes made by CreateSolidBrush or CreatePatternBrush and not yet deleted.
std::size_t LiveBrushCount();

// Tests: the k-th CreateSolidBrush from now fails (once); 0 cancels.
void FailBrushCreationForTest(int k);

// The class library's brush object: owns its handle.
class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }

  // Each fails when this object already holds a brush.
  BOOL CreateSolidBrush(COLORREF colour);
  BOOL CreatePatternBrush(CBitmap* bitmap);
  BOOL CreateSysColorBrush(int index);
  operator HBRUSH() const { return m_hObject; }
  static CBrush* FromHandle(HBRUSH brush);
};
