#include "dialogs/plane_path_dialog.h"

#include <cstdio>

#include "base/klib_settings.h"
#include "core/own_aircraft_state.h"
#include "win/cursors.h"
#include "win/device_context.h"
#include "win/gdi_objects.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/mouse.h"
#include "win/paint.h"
#include "win/shapes.h"
#include "win/window_pos.h"

std::atomic<CPlanePathDlg*> g_pPlanePathDlg{nullptr};

namespace {
// Plots are drawn on the window's thread: a way thread posts this.
constexpr UINT kDrawPlotsMessage = WM_APP + 0x151;
// A flood of positions while the window's thread is busy keeps the newest.
constexpr std::size_t kMostPendingPlots = 4096;
constexpr int kDragThreshold = 8;
constexpr int kPictureMarginRight = 4;
constexpr int kPictureMarginBottom = 8;

void Segment(HDC dc, POINT from, POINT to) {
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
}
}  // namespace

CPlanePathDlg::CPlanePathDlg() : CDialogEx(kPlanePathTemplate) {}

CPlanePathDlg::~CPlanePathDlg() {
  if (g_pPlanePathDlg.load() == this) g_pPlanePathDlg = nullptr;
  DestroyWindow();
}

PlanePathView CPlanePathDlg::View() const {
  std::lock_guard guard(lock_);
  return view_;
}

void CPlanePathDlg::AddPoint(const double* longitude, const double* latitude, bool valid) {
  if (longitude == nullptr || latitude == nullptr || !valid) return;
  const OwnFlightData own = g_ownAircraft().Flight();
  bool post = false;
  {
    std::lock_guard guard(lock_);
    const std::optional<PlanePathPlot> plot = view_.AddPoint(*longitude, *latitude, own.longitude, own.latitude);
    if (!plot) return;
    if (pending_.size() >= kMostPendingPlots) pending_.erase(pending_.begin());
    pending_.push_back(*plot);
    post = !drawPosted_;
    drawPosted_ = true;
  }
  if (post && m_hWnd != 0) PostMessage(kDrawPlotsMessage);
}

void CPlanePathDlg::DrawPending() {
  std::vector<PlanePathPlot> plots;
  {
    std::lock_guard guard(lock_);
    plots.swap(pending_);
    drawPosted_ = false;
  }
  for (const PlanePathPlot& plot : plots) Draw(plot);
}

void CPlanePathDlg::Draw(const PlanePathPlot& plot) {
  CWnd* picture = GetDlgItem(kPlanePathPictureId);
  if (picture == nullptr) return;
  const HDC dc = ::GetDC(picture->m_hWnd);
  if (dc == 0) return;
  const HGDIOBJ before = SelectObject(dc, GetStockObject(BLACK_PEN));
  if (plot.cross) {
    const HPEN crossPen = CreatePen(PS_DOT, 1, Klib().Colour(kColour26));
    SelectObject(dc, crossPen);
    const POINT o = plot.origin;
    Segment(dc, POINT{o.x - kPlanePathCrossHalf, o.y}, POINT{o.x + kPlanePathCrossHalf, o.y});
    Segment(dc, POINT{o.x, o.y - kPlanePathCrossHalf}, POINT{o.x, o.y + kPlanePathCrossHalf});
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(crossPen);
  }
  const auto dot = [&](const std::optional<POINT>& at, COLORREF colour) {
    if (!at) return;
    const HPEN pen = CreatePen(PS_DOT, 1, colour);
    SelectObject(dc, pen);
    Segment(dc, *at, POINT{at->x + 1, at->y});
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
  };
  dot(plot.peer, kPlanePathPeerColour);
  dot(plot.own, kPlanePathOwnColour);
  SelectObject(dc, before);
  ::ReleaseDC(picture->m_hWnd, dc);
}

SIZE CPlanePathDlg::ClientSize() const {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

void CPlanePathDlg::OnShown() {
  const SIZE size = ClientSize();
  {
    std::lock_guard guard(lock_);
    view_.Reset(size.cx, size.cy);
    pending_.clear();
  }
  ShowZoom(kPlanePathDefaultZoom);
}

void CPlanePathDlg::OnSized() {
  const SIZE size = ClientSize();
  if (CWnd* picture = GetDlgItem(kPlanePathPictureId)) {
    RECT r{};
    ::GetWindowRect(picture->m_hWnd, &r);
    POINT topLeft{r.left, r.top};
    ::ScreenToClient(m_hWnd, &topLeft);
    ::SetWindowPos(picture->m_hWnd, 0, topLeft.x, topLeft.y,
                   std::max(0, size.cx - kPictureMarginRight - topLeft.x),
                   std::max(0, size.cy - kPictureMarginBottom - topLeft.y), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  {
    std::lock_guard guard(lock_);
    view_.SetCentre(size.cx, size.cy);
  }
  InvalidateView();
}

void CPlanePathDlg::InvalidateView() {
  {
    std::lock_guard guard(lock_);
    view_.Invalidated();
  }
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  if (CWnd* picture = GetDlgItem(kPlanePathPictureId)) ::InvalidateRect(picture->m_hWnd, nullptr, TRUE);
}

void CPlanePathDlg::ShowZoom(double zoom) {
  char text[64];
  std::snprintf(text, sizeof text, "Zoom %f", zoom);
  if (CWnd* field = GetDlgItem(kPlanePathZoomId)) field->SetWindowText(text);
}

void CPlanePathDlg::OnWheel(int delta, bool control, bool shift) {
  double zoom = 0.0;
  {
    std::lock_guard guard(lock_);
    zoom = view_.Wheel(delta, control, shift);
  }
  ShowZoom(zoom);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  if (CWnd* picture = GetDlgItem(kPlanePathPictureId)) ::InvalidateRect(picture->m_hWnd, nullptr, TRUE);
}

void CPlanePathDlg::OnMouseMove(POINT point) {
  if (!dragging_) return;
  const int dx = point.x - lastMouse_.x;
  const int dy = point.y - lastMouse_.y;
  if (dx * dx + dy * dy <= kDragThreshold * kDragThreshold) return;
  {
    std::lock_guard guard(lock_);
    view_.Pan(dx, dy);
  }
  lastMouse_ = point;
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  if (CWnd* picture = GetDlgItem(kPlanePathPictureId)) ::InvalidateRect(picture->m_hWnd, nullptr, TRUE);
}

LRESULT CPlanePathDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kDrawPlotsMessage:
      DrawPending();
      return 0;
    case WM_SHOWWINDOW: {
      const LRESULT r = CDialogEx::WindowProc(message, wParam, lParam);
      if (wParam != 0) OnShown();
      return r;
    }
    case WM_SIZE: {
      const LRESULT r = CDialogEx::WindowProc(message, wParam, lParam);
      OnSized();
      return r;
    }
    case WM_MOUSEWHEEL:
      OnWheel(GET_WHEEL_DELTA_WPARAM(wParam), (LOWORD(wParam) & MK_CONTROL) != 0, (LOWORD(wParam) & MK_SHIFT) != 0);
      return 0;
    case WM_LBUTTONDOWN:
      dragging_ = true;
      lastMouse_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      savedCursor_ = SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
      ::SetCapture(m_hWnd);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        {
          std::lock_guard guard(lock_);
          view_.Pan(point.x - lastMouse_.x, point.y - lastMouse_.y);
        }
        dragging_ = false;
        ::ReleaseCapture();
        SetCursor(savedCursor_);
        InvalidateView();
      }
      return 0;
    default:
      return CDialogEx::WindowProc(message, wParam, lParam);
  }
}

BOOL CPlanePathDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message != WM_KEYDOWN) return CDialogEx::PreTranslateMessage(msg);
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  const auto pan = [&](int dx, int dy) {
    {
      std::lock_guard guard(lock_);
      view_.Pan(dx, dy);
    }
    InvalidateView();
  };
  switch (static_cast<int>(msg->wParam)) {
    case VK_HOME:
      {
        std::lock_guard guard(lock_);
        view_.Home();
      }
      ShowZoom(kPlanePathDefaultZoom);
      InvalidateView();
      return TRUE;
    case VK_LEFT: pan(-kPlanePathKeyStep, 0); return TRUE;
    case VK_RIGHT: pan(kPlanePathKeyStep, 0); return TRUE;
    case VK_UP: pan(0, -kPlanePathKeyStep); return TRUE;
    case VK_DOWN: pan(0, kPlanePathKeyStep); return TRUE;
    case VK_ADD: OnWheel(WHEEL_DELTA, control, shift); return TRUE;
    case VK_SUBTRACT: OnWheel(-WHEEL_DELTA, control, shift); return TRUE;
    default: return CDialogEx::PreTranslateMessage(msg);
  }
}

void AddPlanePathPoint(double longitude, double latitude, bool onlyWhenShown) {
  CPlanePathDlg* view = g_pPlanePathDlg.load();
  if (view == nullptr || view->m_hWnd == 0) return;
  if (onlyWhenShown && !view->IsWindowVisible()) return;
  view->AddPoint(&longitude, &latitude, true);
}
