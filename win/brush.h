// Solid brushes: a handle that keeps its colour until DeleteObject.
#pragma once

#include <cstddef>
#include <optional>

#include "win/gdi_handles.h"

// 0 when the platform refuses (or the test hook says so).
HBRUSH CreateSolidBrush(COLORREF colour);
// FALSE for a handle that is not a live brush.
BOOL DeleteObject(HGDIOBJ object);

// The colour of a live brush.
std::optional<COLORREF> BrushColour(HBRUSH brush);
std::size_t LiveBrushCount();

// Tests: the k-th CreateSolidBrush from now fails (once); 0 cancels.
void FailBrushCreationForTest(int k);

// The class library's brush object: owns its handle.
class CBrush {
 public:
  CBrush() = default;
  ~CBrush() { DeleteObject(); }
  CBrush(const CBrush&) = delete;
  CBrush& operator=(const CBrush&) = delete;

  // Fails when this object already holds a brush.
  BOOL CreateSolidBrush(COLORREF colour);
  BOOL DeleteObject();
  HBRUSH GetSafeHandle() const { return handle_; }
  operator HBRUSH() const { return handle_; }

 private:
  HBRUSH handle_ = 0;
};
