// Keys typed into a control's widget, told to the program as the platform
// tells them: WM_KEYDOWN / WM_KEYUP posted to the control's window (so the
// application's loop runs its windows' PreTranslateMessage on them) and the
// key state table fed. Internal to the display; UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "win/types.h"

class QKeyEvent;

namespace win::display {

// The virtual key of a Qt key event; 0 for a key the platform has no code for.
int VirtualKeyOf(const QKeyEvent& event);

// Watches a control's widget and the widgets inside it. Each key press is
// posted once, from the widget that has the focus; the widget then edits as
// the desktop does, and what it does not take never reaches the window
// around it (which would tell it a second time). The focus coming into the
// widget gives the control the focus, unless Tab brought it: the program's
// windows move their focus on the Tab key themselves.
class ControlKeys : public QObject {
 public:
  // `keysAreTheModels`: the widget itself takes no key but Tab; the model
  // moves on the posted message and the widget follows it.
  ControlKeys(HWND control, QWidget* outer, bool keysAreTheModels);
  // Also watches `inner` and what is inside it (parts made later).
  void Watch(QWidget* inner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Tell(const QKeyEvent& event, bool down) const;

  const HWND control_;
  QPointer<QWidget> outer_;
  const bool keysAreTheModels_;
};

}  // namespace win::display
