#include "win/trackbar_ctrl.h"

#include <algorithm>
#include <cstdint>

#include "win/gdi.h"
#include "win/keys.h"
#include "win/mouse.h"
#include "win/paint.h"
#include "win/window_pos.h"

namespace {

int Clamped(int pos, int min, int max) {
  if (max < min) return min;
  return std::clamp(pos, min, max);
}

int DefaultPageSize(int min, int max) {
  const std::int64_t span = static_cast<std::int64_t>(max) - min;
  return span > 0 ? static_cast<int>(std::max<std::int64_t>(1, span / 5)) : 1;
}

// TBM_SETRANGE carries the ends as signed 16-bit halves.
int SignedLow(LPARAM v) { return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(v))); }
int SignedHigh(LPARAM v) { return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(v))); }

}  // namespace

CSliderCtrl::CSliderCtrl(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CSliderCtrl::~CSliderCtrl() { DestroyWindow(); }

win::TrackbarState CSliderCtrl::StateLocked() const {
  win::TrackbarState state;
  state.style = style_.load();
  state.min = min_;
  state.max = max_;
  state.pos = pos_;
  state.ticFreq = ticFreq_;
  state.thumbLength = thumbLength_;
  return state;
}

win::TrackbarLayout CSliderCtrl::Layout() const {
  // The window's rectangle first: the window registry's lock is never taken under ours.
  RECT client{};
  GetClientRect(m_hWnd, &client);
  std::lock_guard lock(mutex_);
  win::TrackbarState state = StateLocked();
  state.width = client.right - client.left;
  state.height = client.bottom - client.top;
  return win::TrackbarLayout(state);
}

void CSliderCtrl::SetRangeLocked(int min, int max) {
  min_ = min;
  max_ = max;
  pos_ = Clamped(pos_, min_, max_);
  if (!pageSizeSet_) pageSize_ = DefaultPageSize(min_, max_);
}

void CSliderCtrl::Redraw() { ContentChanged(); }

void CSliderCtrl::Notify(WORD code, int pos) {
  const HWND self = m_hWnd;
  const HWND parent = ::GetParent(self);
  if (parent == 0) return;
  const bool vertical = (style_.load() & TBS_VERT) != 0;
  const bool carriesPos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
  const WPARAM wParam = MAKELONG(code, carriesPos ? static_cast<WORD>(pos) : 0);
  SendMessageA(parent, vertical ? WM_VSCROLL : WM_HSCROLL, wParam, static_cast<LPARAM>(self));
}

bool CSliderCtrl::MoveTo(int pos) {
  {
    std::lock_guard lock(mutex_);
    const int clamped = Clamped(pos, min_, max_);
    if (clamped == pos_) return false;
    pos_ = clamped;
  }
  Redraw();
  return true;
}

LRESULT CSliderCtrl::OnKeyDown(WPARAM key) {
  int pos = 0;
  int line = 0;
  int page = 0;
  int min = 0;
  int max = 0;
  {
    std::lock_guard lock(mutex_);
    pos = pos_;
    line = lineSize_;
    page = pageSize_;
    min = min_;
    max = max_;
  }
  WORD code = 0;
  int target = pos;
  switch (static_cast<int>(key)) {
    case VK_LEFT:
    case VK_UP:
      code = TB_LINEUP;
      target = static_cast<int>(std::max<std::int64_t>(INT32_MIN, static_cast<std::int64_t>(pos) - line));
      break;
    case VK_RIGHT:
    case VK_DOWN:
      code = TB_LINEDOWN;
      target = static_cast<int>(std::min<std::int64_t>(INT32_MAX, static_cast<std::int64_t>(pos) + line));
      break;
    case VK_PRIOR:
      code = TB_PAGEUP;
      target = static_cast<int>(std::max<std::int64_t>(INT32_MIN, static_cast<std::int64_t>(pos) - page));
      break;
    case VK_NEXT:
      code = TB_PAGEDOWN;
      target = static_cast<int>(std::min<std::int64_t>(INT32_MAX, static_cast<std::int64_t>(pos) + page));
      break;
    case VK_HOME:
      code = TB_TOP;
      target = min;
      break;
    case VK_END:
      code = TB_BOTTOM;
      target = max;
      break;
    default:
      return CControlBase::WindowProc(WM_KEYDOWN, key, 0);
  }
  MoveTo(target);
  Notify(code);
  return 0;
}

LRESULT CSliderCtrl::OnKeyUp(WPARAM key) {
  switch (static_cast<int>(key)) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
      Notify(TB_ENDTRACK);
      return 0;
    default:
      return CControlBase::WindowProc(WM_KEYUP, key, 0);
  }
}

LRESULT CSliderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TBM_GETPOS: {
      std::lock_guard lock(mutex_);
      return pos_;
    }
    case TBM_GETRANGEMIN: {
      std::lock_guard lock(mutex_);
      return min_;
    }
    case TBM_GETRANGEMAX: {
      std::lock_guard lock(mutex_);
      return max_;
    }
    case TBM_SETPOS: {
      {
        std::lock_guard lock(mutex_);
        pos_ = Clamped(static_cast<int>(lParam), min_, max_);
      }
      if (wParam != 0) Redraw();
      return 0;
    }
    case TBM_SETRANGE:
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX: {
      {
        std::lock_guard lock(mutex_);
        const int low = message == TBM_SETRANGE ? SignedLow(lParam)
                        : message == TBM_SETRANGEMIN ? static_cast<int>(lParam)
                                                     : min_;
        const int high = message == TBM_SETRANGE ? SignedHigh(lParam)
                         : message == TBM_SETRANGEMAX ? static_cast<int>(lParam)
                                                      : max_;
        SetRangeLocked(low, high);
      }
      if (wParam != 0) Redraw();
      return 0;
    }
    case TBM_SETTICFREQ: {
      {
        std::lock_guard lock(mutex_);
        ticFreq_ = static_cast<int>(wParam);
      }
      Redraw();
      return 0;
    }
    case TBM_GETNUMTICS: {
      const win::TrackbarLayout layout = Layout();
      if ((style_.load() & TBS_NOTICKS) != 0) return 0;
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(layout.InnerTicValues().size()) + (max_ != min_ ? 2 : 1);
    }
    case TBM_SETPAGESIZE: {
      std::lock_guard lock(mutex_);
      const int previous = pageSize_;
      pageSize_ = static_cast<int>(lParam);
      pageSizeSet_ = true;
      return previous;
    }
    case TBM_GETPAGESIZE: {
      std::lock_guard lock(mutex_);
      return pageSize_;
    }
    case TBM_SETLINESIZE: {
      std::lock_guard lock(mutex_);
      const int previous = lineSize_;
      lineSize_ = static_cast<int>(lParam);
      return previous;
    }
    case TBM_GETLINESIZE: {
      std::lock_guard lock(mutex_);
      return lineSize_;
    }
    case TBM_GETCHANNELRECT: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      if (out == nullptr) return 0;
      const win::TrackbarLayout layout = Layout();
      const RECT c = layout.Channel();
      *out = layout.Vertical() ? RECT{c.top, c.left, c.bottom, c.right} : c;
      return 0;
    }
    case TBM_GETTHUMBRECT: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      if (out != nullptr) *out = Layout().Thumb();
      return 0;
    }
    case TBM_SETTHUMBLENGTH: {
      {
        std::lock_guard lock(mutex_);
        thumbLength_ = std::max<LONG>(0, static_cast<LONG>(wParam));
      }
      Redraw();
      return 0;
    }
    case TBM_GETTHUMBLENGTH: {
      std::lock_guard lock(mutex_);
      return thumbLength_;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      CControlBase::WindowProc(message, wParam, lParam);
      return OnOwnerThread() ? OnButtonDown(lParam) : 0;
    case WM_MOUSEMOVE:
      return OnOwnerThread() ? OnMouseMove(lParam) : 0;
    case WM_LBUTTONUP:
      return OnOwnerThread() ? OnButtonUp() : 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      // A key is the user's: it acts on the owner's thread.
      if (!OnOwnerThread()) {
        RepostToOwner(message, wParam, lParam);
        return 0;
      }
      return message == WM_KEYDOWN ? OnKeyDown(wParam) : OnKeyUp(wParam);
    default:
      return CControlBase::WindowProc(message, wParam, lParam);
  }
}

int CSliderCtrl::GetPos() { return static_cast<int>(SendMessage(TBM_GETPOS)); }

void CSliderCtrl::SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }

void CSliderCtrl::GetRange(int& min, int& max) {
  min = GetRangeMin();
  max = GetRangeMax();
}

int CSliderCtrl::GetRangeMin() { return static_cast<int>(SendMessage(TBM_GETRANGEMIN)); }

int CSliderCtrl::GetRangeMax() { return static_cast<int>(SendMessage(TBM_GETRANGEMAX)); }

void CSliderCtrl::SetRange(int min, int max, BOOL redraw) {
  SendMessage(TBM_SETRANGEMIN, FALSE, min);
  SendMessage(TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), max);
}

void CSliderCtrl::SetRangeMin(int min, BOOL redraw) { SendMessage(TBM_SETRANGEMIN, static_cast<WPARAM>(redraw), min); }

void CSliderCtrl::SetRangeMax(int max, BOOL redraw) { SendMessage(TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), max); }

void CSliderCtrl::SetTicFreq(int freq) { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(freq)); }

UINT CSliderCtrl::GetNumTics() { return static_cast<UINT>(SendMessage(TBM_GETNUMTICS)); }

int CSliderCtrl::GetPageSize() { return static_cast<int>(SendMessage(TBM_GETPAGESIZE)); }

int CSliderCtrl::SetPageSize(int size) { return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, size)); }

int CSliderCtrl::GetLineSize() { return static_cast<int>(SendMessage(TBM_GETLINESIZE)); }

int CSliderCtrl::SetLineSize(int size) { return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, size)); }

void CSliderCtrl::GetChannelRect(RECT* rect) { SendMessage(TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(rect)); }

void CSliderCtrl::GetThumbRect(RECT* rect) { SendMessage(TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(rect)); }

int CSliderCtrl::GetThumbLength() { return static_cast<int>(SendMessage(TBM_GETTHUMBLENGTH)); }

void CSliderCtrl::SetThumbLength(int length) { SendMessage(TBM_SETTHUMBLENGTH, static_cast<WPARAM>(length)); }

namespace {

LONG AlongAxis(bool vertical, LPARAM where) {
  return vertical ? GET_Y_LPARAM(where) : GET_X_LPARAM(where);
}

LONG CrossAxis(bool vertical, LPARAM where) {
  return vertical ? GET_X_LPARAM(where) : GET_Y_LPARAM(where);
}

}  // namespace

LRESULT CSliderCtrl::OnButtonDown(LPARAM where) {
  const win::TrackbarLayout layout = Layout();
  const bool vertical = layout.Vertical();
  const RECT thumb = layout.Thumb();
  const LONG along = AlongAxis(vertical, where);
  const LONG across = CrossAxis(vertical, where);
  const LONG thumbStart = vertical ? thumb.top : thumb.left;
  const LONG thumbEnd = vertical ? thumb.bottom : thumb.right;
  const LONG crossStart = vertical ? thumb.left : thumb.top;
  const LONG crossEnd = vertical ? thumb.right : thumb.bottom;
  if (along >= thumbStart && along < thumbEnd && across >= crossStart && across < crossEnd) {
    drag_ = Drag{true, false, along - (thumbStart + layout.ThumbBreadth() / 2)};
    ::SetCapture(m_hWnd);
    return 0;
  }
  int page = 0;
  int pos = 0;
  {
    std::lock_guard lock(mutex_);
    page = pageSize_;
    pos = pos_;
  }
  // A press beside the thumb pages towards it.
  const bool before = along < thumbStart;
  MoveTo(before ? pos - page : pos + page);
  Notify(before ? TB_PAGEUP : TB_PAGEDOWN);
  drag_ = Drag{};
  ::SetCapture(m_hWnd);
  return 0;
}

LRESULT CSliderCtrl::OnMouseMove(LPARAM where) {
  if (!drag_.tracking) return 0;
  const win::TrackbarLayout layout = Layout();
  const int value = layout.ValueAtPixel(AlongAxis(layout.Vertical(), where) - drag_.grab);
  MoveTo(value);
  drag_.moved = true;
  Notify(TB_THUMBTRACK, GetPos());
  return 0;
}

LRESULT CSliderCtrl::OnButtonUp() {
  if (::GetCapture() != m_hWnd) return 0;
  const Drag drag = drag_;
  drag_ = Drag{};
  ::ReleaseCapture();
  if (drag.tracking && drag.moved) Notify(TB_THUMBPOSITION, GetPos());
  Notify(TB_ENDTRACK);
  return 0;
}

LRESULT CSliderCtrl::CustomDraw(DWORD stage, HDC dc, const RECT& rect, DWORD_PTR item) {
  const HWND parent = ::GetParent(m_hWnd);
  if (parent == 0) return CDRF_DODEFAULT;
  NMCUSTOMDRAW record;
  record.hdr.hwndFrom = m_hWnd;
  record.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hWnd));
  record.hdr.code = NM_CUSTOMDRAW;
  record.dwDrawStage = stage;
  record.hdc = dc;
  record.rc = rect;
  record.dwItemSpec = item;
  return SendMessageA(parent, WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record));
}

void CSliderCtrl::PaintControl(HDC dc, const RECT& client, HBRUSH background) {
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  // The stages draw off screen, so a stage reads back what the earlier ones drew.
  const HDC work = CreateCompatibleDC(dc);
  const HBITMAP image = CreateCompatibleBitmap(dc, width, height);
  const HGDIOBJ oldImage = SelectObject(work, image);
  const RECT area{0, 0, width, height};
  FillRect(work, &area, background != 0 ? background : GetSysColorBrush(COLOR_BTNFACE));

  const win::TrackbarLayout layout = Layout();
  const LRESULT pre = CustomDraw(CDDS_PREPAINT, work, area, 0);
  if ((pre & CDRF_SKIPDEFAULT) == 0) {
    const bool items = (pre & CDRF_NOTIFYITEMDRAW) != 0;
    auto part = [&](DWORD_PTR item, const RECT& rect, auto draw) {
      const LRESULT answer = items ? CustomDraw(CDDS_ITEMPREPAINT, work, rect, item) : CDRF_DODEFAULT;
      if ((answer & CDRF_SKIPDEFAULT) == 0) draw();
      if ((answer & CDRF_NOTIFYPOSTPAINT) != 0) CustomDraw(CDDS_ITEMPOSTPAINT, work, rect, item);
    };
    part(TBCD_TICS, area, [&] {
      const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
      for (const win::TrackbarTic& tic : layout.Tics()) FillRect(work, &tic.rect, black);
    });
    RECT channel = layout.Channel();
    part(TBCD_CHANNEL, channel, [&] {
      FillRect(work, &channel, GetSysColorBrush(COLOR_WINDOW));
      DrawEdge(work, &channel, EDGE_SUNKEN, BF_RECT);
    });
    RECT thumb = layout.Thumb();
    part(TBCD_THUMB, thumb, [&] {
      FillRect(work, &thumb, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(work, &thumb, EDGE_RAISED, BF_RECT);
    });
    if ((pre & CDRF_NOTIFYPOSTPAINT) != 0) CustomDraw(CDDS_POSTPAINT, work, area, 0);
  }
  BitBlt(dc, client.left, client.top, width, height, work, 0, 0, SRCCOPY);
  SelectObject(work, oldImage);
  DeleteObject(image);
  DeleteDC(work);
}
