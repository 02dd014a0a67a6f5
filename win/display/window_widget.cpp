#include "win/display/window_widget.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QResizeEvent>

#include "win/display/mirror.h"
#include "win/display/surface_widget.h"
#include "win/window.h"
#include "win/window_pos.h"

namespace win::display {

WindowWidget::WindowWidget(HWND hwnd, Mirror& mirror) : QWidget(nullptr), hwnd_(hwnd), mirror_(mirror) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void WindowWidget::paintEvent(QPaintEvent* event) { PaintSurface(*this, hwnd_, event->rect()); }

void WindowWidget::closeEvent(QCloseEvent* event) {
  // The model decides: a dialog may hide, stay or go, and the widget follows.
  event->ignore();
  PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void WindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (event->spontaneous()) PlacedByUser();
}

void WindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->spontaneous()) PlacedByUser();
}

void WindowWidget::PlacedByUser() {
  if (mirror_.Syncing()) return;
  const QRect placed = geometry();
  const HWND hwnd = hwnd_;
  mirror_.Later([hwnd, placed] {
    RECT now{};
    if (!GetWindowRect(hwnd, &now)) return;
    if (now.left == placed.x() && now.top == placed.y() && now.right - now.left == placed.width() &&
        now.bottom - now.top == placed.height()) {
      return;
    }
    SetWindowPos(hwnd, HWND_TOP, placed.x(), placed.y(), placed.width(), placed.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

void WindowWidget::mousePressEvent(QMouseEvent* event) { ForwardMouse(mirror_, hwnd_, *event, MouseAct::kPress); }

void WindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  ForwardMouse(mirror_, hwnd_, *event, MouseAct::kPress);
}

void WindowWidget::mouseMoveEvent(QMouseEvent* event) { ForwardMouse(mirror_, hwnd_, *event, MouseAct::kMove); }

void WindowWidget::mouseReleaseEvent(QMouseEvent* event) {
  ForwardMouse(mirror_, hwnd_, *event, MouseAct::kRelease);
}

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  if (!ForwardKey(mirror_, *event, true)) QWidget::keyPressEvent(event);
}

void WindowWidget::keyReleaseEvent(QKeyEvent* event) {
  if (!ForwardKey(mirror_, *event, false)) QWidget::keyReleaseEvent(event);
}

}  // namespace win::display
