// A window shown as the picture its model painted (owner-drawn buttons and
// slider, windows that paint themselves), and the user's mouse and keys on
// it handed to the model as a user's. Internal to the display.
#pragma once

#include <QWidget>

#include "win/types.h"

class QKeyEvent;
class QMouseEvent;

namespace win::display {

class Mirror;

// Draws the part `area` of the window's painted picture (nothing where it never painted).
void PaintSurface(QWidget& widget, HWND hwnd, const QRect& area);

enum class MouseAct { kMove, kPress, kRelease };
// The mouse at the event's point of `hwnd`'s client area reaches the model
// through its mouse driver: the window under it, capture, double clicks.
void ForwardMouse(Mirror& mirror, HWND hwnd, const QMouseEvent& event, MouseAct act);
// A key pressed or let go reaches the model's focused window (with its
// characters as WM_CHAR when pressed). False for a key the models have no code for.
bool ForwardKey(Mirror& mirror, const QKeyEvent& event, bool down);

class SurfaceWidget : public QWidget {
 public:
  SurfaceWidget(HWND hwnd, Mirror& mirror, QWidget* parent);
  HWND Window() const { return hwnd_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  const HWND hwnd_;
  Mirror& mirror_;
};

}  // namespace win::display
