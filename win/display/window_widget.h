// A top-level window of the program on screen: its painted picture (the
// dialog's background as WM_CTLCOLORDLG gave it) behind its controls; the
// user's close asks the model (WM_CLOSE), which decides; a move or resize by
// the user reaches the model. Internal to the display.
#pragma once

#include <QWidget>

#include "win/types.h"

namespace win::display {

class Mirror;

class WindowWidget : public QWidget {
 public:
  WindowWidget(HWND hwnd, Mirror& mirror);

  HWND Window() const { return hwnd_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  // The user's move or resize, handed to the model.
  void PlacedByUser();

  const HWND hwnd_;
  Mirror& mirror_;
};

}  // namespace win::display
