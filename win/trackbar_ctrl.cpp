#include "win/trackbar_ctrl.h"

#include <algorithm>
#include <cstdint>

#include "win/keys.h"
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
