// Internal to win/: text layout and drawing on a DC, the table held.
#pragma once

#include <QString>

#include "win/gdi_table.h"

namespace win::detail {

// Bytes of the ANSI code page (1252) as Qt text.
QString FromAnsi(const char* text, int count);

// DrawText on a DC: the lines laid out by the DT_ flags, drawn in the DC's
// text colour (or the given one) unless DT_CALCRECT; the height of the text.
int LayOutAndDraw(GdiTable& table, DcObject& dc, const QString& text, RECT& rect, UINT format);

}  // namespace win::detail
