// The default look of the standard controls: simple, in the system colours
// and the dialog font, on what the parent answers to WM_CTLCOLOR*.
#include <algorithm>
#include <string>
#include <vector>

#include "win/button_ctrl.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/window_pos.h"
#include "win/gdi.h"
#include "win/listbox_ctrl.h"
#include "win/os_thread.h"
#include "win/paint.h"
#include "win/static_ctrl.h"

namespace {

bool IsField(UINT message) { return message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX; }

// A bitmap drawn at (x, y) at its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  BITMAP info;
  if (bitmap == 0 || GetObjectA(bitmap, sizeof info, &info) == 0) return;
  const HDC memory = CreateCompatibleDC(dc);
  if (memory == 0) return;
  const HGDIOBJ before = SelectObject(memory, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, before);
  DeleteDC(memory);
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info;
  if (bitmap == 0 || GetObjectA(bitmap, sizeof info, &info) == 0) return SIZE{};
  return SIZE{info.bmWidth, info.bmHeight};
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
  const HBRUSH brush = CreateSolidBrush(colour);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
}

int LineHeight(HDC dc) {
  TEXTMETRICA metrics;
  return GetTextMetricsA(dc, &metrics) && metrics.tmHeight > 0 ? metrics.tmHeight : 13;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

}  // namespace

UINT CControlBase::CtlColorMessage() const { return WM_CTLCOLORSTATIC; }

void CControlBase::PaintControl(HDC dc, const RECT& client, HBRUSH background) { FillRect(dc, &client, background); }

void CControlBase::PaintNow() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(m_hWnd, &paint);
  if (dc == 0) return;
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  const UINT message = CtlColorMessage();
  const bool field = IsField(message);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, GetSysColor(!IsWindowEnabled() ? COLOR_GRAYTEXT : field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
  SetBkMode(dc, OPAQUE);
  HBRUSH answered = 0;
  const HWND parent = ::GetParent(m_hWnd);
  if (parent != 0 && GetWindowThreadProcessId(parent, nullptr) == GetCurrentThreadId()) {
    answered = static_cast<HBRUSH>(
        SendMessageA(parent, message, static_cast<WPARAM>(dc), static_cast<LPARAM>(m_hWnd)));
  }
  win::detail::RecordControlColours(
      m_hWnd, win::ControlColours{message, GetTextColor(dc), GetBkColor(dc), GetBkMode(dc), answered});
  PaintControl(dc, client, answered != 0 ? answered : GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE));
  EndPaint(m_hWnd, &paint);
}

// --- static and picture -----------------------------------------------------

UINT CStatic::CtlColorMessage() const { return WM_CTLCOLORSTATIC; }

void CStatic::PaintControl(HDC dc, const RECT& client, HBRUSH background) {
  const DWORD style = Style();
  const DWORD type = style & SS_TYPEMASK;
  switch (type) {
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT: {
      const int colour = type == SS_BLACKRECT ? COLOR_WINDOWFRAME : type == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_WINDOW;
      FillRect(dc, &client, GetSysColorBrush(colour));
      return;
    }
    case SS_BLACKFRAME:
      FillRect(dc, &client, background);
      Frame(dc, client, GetSysColor(COLOR_WINDOWFRAME));
      return;
    case SS_ETCHEDFRAME: {
      FillRect(dc, &client, background);
      RECT edge = client;
      DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
      return;
    }
    case SS_BITMAP: {
      FillRect(dc, &client, background);
      HBITMAP bitmap = GetBitmap();
      if (bitmap == 0) {
        if (std::optional<UINT> id = ResourceImageId()) bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(*id)));
      }
      const SIZE size = BitmapSize(bitmap);
      if ((style & SS_CENTERIMAGE) != 0) {
        DrawBitmap(dc, bitmap, (client.right - size.cx) / 2, (client.bottom - size.cy) / 2);
      } else {
        DrawBitmap(dc, bitmap, 0, 0);
      }
      return;
    }
    case SS_ICON:
    case SS_OWNERDRAW:
      FillRect(dc, &client, background);
      return;
    default:
      break;
  }
  FillRect(dc, &client, background);
  UINT format = DT_EXPANDTABS;
  if ((style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  format |= type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
  if ((style & SS_CENTERIMAGE) != 0) format |= DT_SINGLELINE | DT_VCENTER;
  RECT area = client;
  const std::string text = Text();
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

// --- buttons ----------------------------------------------------------------

namespace {

DWORD ButtonType(DWORD style) { return style & BS_TYPEMASK; }
bool IsPush(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }

void PaintPushButton(HDC dc, RECT r, const std::string& text, HBITMAP bitmap, bool isDefault, bool pushed,
                     bool focused, bool enabled, HBRUSH background) {
  FillRect(dc, &r, background);
  if (isDefault || focused) {
    Frame(dc, r, GetSysColor(COLOR_WINDOWFRAME));
    r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  if (pushed) {
    Frame(dc, r, GetSysColor(COLOR_BTNSHADOW));
  } else {
    RECT edge = r;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
  }
  const int shift = pushed ? 1 : 0;
  RECT inner{r.left + 2 + shift, r.top + 2 + shift, r.right - 2 + shift, r.bottom - 2 + shift};
  if (bitmap != 0) {
    const SIZE size = BitmapSize(bitmap);
    DrawBitmap(dc, bitmap, inner.left + (inner.right - inner.left - size.cx) / 2,
               inner.top + (inner.bottom - inner.top - size.cy) / 2);
  } else {
    SetBkMode(dc, TRANSPARENT);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (focused) {
    const RECT focus{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
    DrawFocusRect(dc, &focus);
  }
}

void PaintCheckButton(HDC dc, const RECT& r, const std::string& text, bool radio, UINT check, bool focused,
                      bool enabled, HBRUSH background) {
  FillRect(dc, &r, background);
  constexpr int kBox = 13;
  const int top = (r.bottom - r.top - kBox) / 2 + r.top;
  RECT box{r.left, top, r.left + kBox, top + kBox};
  const HBRUSH field = GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
  const HPEN ink = CreatePen(PS_SOLID, 1, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  if (radio) {
    const HGDIOBJ oldBrush = SelectObject(dc, field);
    const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    if (check == BST_CHECKED) {
      SelectObject(dc, GetStockObject(BLACK_BRUSH));
      Ellipse(dc, box.left + 4, box.top + 4, box.right - 4, box.bottom - 4);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
  } else {
    RECT edge = box;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &edge, check == BST_INDETERMINATE ? GetSysColorBrush(COLOR_BTNFACE) : field);
    if (check != BST_UNCHECKED) {
      const HGDIOBJ oldPen = SelectObject(dc, ink);
      // A tick of two strokes, three pixels thick.
      for (int d = 0; d < 3; ++d) {
        MoveToEx(dc, edge.left + 1, edge.top + 3 + d, nullptr);
        LineTo(dc, edge.left + 3, edge.top + 5 + d);
        LineTo(dc, edge.left + 8, edge.top + d);
      }
      SelectObject(dc, oldPen);
    }
  }
  DeleteObject(ink);
  RECT label{r.left + kBox + 4, r.top, r.right, r.bottom};
  if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  SetBkMode(dc, TRANSPARENT);
  RECT measured = label;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_SINGLELINE | DT_VCENTER | DT_CALCRECT);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_SINGLELINE | DT_VCENTER);
  if (focused && !text.empty()) {
    const int height = measured.bottom - measured.top;
    const int y = (r.bottom - r.top - height) / 2 + r.top;
    const RECT focus{label.left - 1, y - 1, std::min(measured.right + 1, r.right), y + height + 1};
    DrawFocusRect(dc, &focus);
  }
}

void PaintGroupBox(HDC dc, const RECT& r, const std::string& text, HBRUSH background) {
  FillRect(dc, &r, background);
  const int half = LineHeight(dc) / 2;
  RECT frame{r.left, r.top + half, r.right, r.bottom};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (text.empty()) return;
  RECT label{r.left + 8, r.top, r.right - 8, r.top + 2 * half + 1};
  RECT measured = label;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_SINGLELINE | DT_CALCRECT);
  const RECT behind{label.left - 2, label.top, std::min(measured.right + 2, r.right), label.bottom};
  FillRect(dc, &behind, background);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_SINGLELINE);
}

}  // namespace

UINT CButton::CtlColorMessage() const {
  const DWORD type = ButtonType(Style());
  return IsPush(type) || type == BS_OWNERDRAW ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC;
}

void CButton::PaintControl(HDC dc, const RECT& client, HBRUSH background) {
  const DWORD type = ButtonType(Style());
  const bool focused = ::GetFocus() == m_hWnd;
  const bool enabled = IsWindowEnabled() != FALSE;
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  HBITMAP bitmap = 0;
  {
    std::lock_guard lock(mutex_);
    check = check_;
    pushed = pushed_;
    bitmap = bitmap_;
  }
  if (type == BS_OWNERDRAW) {
    DRAWITEMSTRUCT item;
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID());
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = (pushed ? ODS_SELECTED : 0) | (focused ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
    item.hwndItem = m_hWnd;
    item.hDC = dc;
    item.rcItem = client;
    const HWND parent = ::GetParent(m_hWnd);
    if (parent != 0) SendMessageA(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    return;
  }
  const std::string text = Text();
  if (type == BS_GROUPBOX) {
    PaintGroupBox(dc, client, text, background);
  } else if (IsPush(type)) {
    PaintPushButton(dc, client, text, bitmap, type == BS_DEFPUSHBUTTON, pushed, focused, enabled, background);
  } else {
    PaintCheckButton(dc, client, text, type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON, check, focused,
                     enabled, background);
  }
}

// --- edit -------------------------------------------------------------------

UINT CEdit::CtlColorMessage() const {
  return (Style() & ES_READONLY) != 0 || !IsWindowEnabled() ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
}

void CEdit::PaintControl(HDC dc, const RECT& client, HBRUSH background) {
  FillRect(dc, &client, background);
  RECT inner = client;
  DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  inner = RECT{inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
  const DWORD style = Style();
  std::string text = Text();
  if ((style & ES_PASSWORD) != 0) text.assign(text.size(), '*');
  UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS;
  if ((style & ES_CENTER) != 0) format |= DT_CENTER;
  if ((style & ES_RIGHT) != 0) format |= DT_RIGHT;
  if ((style & ES_MULTILINE) == 0) {
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner, format | DT_VCENTER);
    return;
  }
  const int height = LineHeight(dc);
  RECT line{inner.left, inner.top, inner.right, inner.top + height};
  for (const std::string& row : Lines(text)) {
    if (line.top >= inner.bottom) break;
    DrawTextA(dc, row.c_str(), static_cast<int>(row.size()), &line, format);
    line.top += height;
    line.bottom += height;
  }
}

// --- list and combo box -----------------------------------------------------

UINT CItemListCtrl::CtlColorMessage() const { return combo_ ? WM_CTLCOLOREDIT : WM_CTLCOLORLISTBOX; }

void CItemListCtrl::PaintControl(HDC dc, const RECT& client, HBRUSH background) {
  FillRect(dc, &client, background);
  RECT inner = client;
  DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  std::vector<std::string> items;
  int selected = -1;
  std::string text;
  const int height = LineHeight(dc);
  {
    // Only the lines that fit are drawn: a list of 43,000 models copies a few.
    const std::size_t fit = height > 0 ? static_cast<std::size_t>((inner.bottom - inner.top) / height + 1) : 0;
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < items_.size() && i < fit; ++i) items.push_back(items_[i].text);
    selected = selected_;
    text = text_;
  }
  if (combo_) {
    // The field with the chosen item and the drop button.
    const int button = std::min<int>(inner.bottom - inner.top, 16);
    RECT arrow{inner.right - button, inner.top, inner.right, inner.bottom};
    FillRect(dc, &arrow, GetSysColorBrush(COLOR_BTNFACE));
    RECT edge = arrow;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
    RECT field{inner.left + 2, inner.top, arrow.left - 1, std::min(inner.bottom, inner.top + height + 4)};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &field, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    return;
  }
  RECT line{inner.left, inner.top, inner.right, inner.top + height};
  const COLORREF text0 = GetTextColor(dc);
  const COLORREF back0 = GetBkColor(dc);
  for (std::size_t i = 0; i < items.size() && line.top < inner.bottom; ++i) {
    const bool chosen = static_cast<int>(i) == selected;
    if (chosen) {
      FillRect(dc, &line, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    }
    RECT cell{line.left + 2, line.top, line.right, line.bottom};
    DrawTextA(dc, items[i].c_str(), static_cast<int>(items[i].size()), &cell,
              DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
    if (chosen) {
      SetTextColor(dc, text0);
      SetBkColor(dc, back0);
    }
    line.top += height;
    line.bottom += height;
  }
}
