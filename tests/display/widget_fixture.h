// A dialog made from a small template, each of its controls shown as its
// widget in an offscreen window, and the user's input sent to the widgets as
// the desktop sends it. Everything runs on the test's thread, the UI thread.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/app.h"
#include "win/dialog.h"
#include "win/display/control_widget.h"

namespace tk_test {

// Qt's application for widgets, on the offscreen platform, once per process.
void EnsureOffscreenWidgets();

// What the dialog heard from its controls, and the keys its loop saw.
struct Notice {
  UINT message;  // WM_COMMAND, WM_NOTIFY, WM_HSCROLL or WM_VSCROLL
  int id;        // the control's id (0 for a scroll: the control is in `from`)
  UINT code;
  bool operator==(const Notice&) const = default;
};

struct KeySeen {
  HWND hwnd;
  UINT message;
  WPARAM key;
  std::string inputText;  // the text of the control the key was aimed at, then
  bool operator==(const KeySeen&) const = default;
};

class RecordingDialog : public CDialog {
 public:
  explicit RecordingDialog(UINT templateId) : CDialog(templateId) {}
  ~RecordingDialog() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // Tab moves the focus as the program's forms move it, from the control
  // that has it.
  bool tabMovesFocus = false;
  std::vector<Notice> notices;
  std::vector<KeySeen> keys;
  // What WM_CTLCOLOR* answers, by message: the text colour and the brush (0: none).
  struct Answer {
    COLORREF text = 0;
    HBRUSH brush = 0;
  };
  std::map<UINT, Answer> colours;
};

class WidgetFixture {
 public:
  // Registers the template (null: the program's own of that id), makes the dialog and a widget for each control
  // it has (those a kind leaves to its surface stay null).
  explicit WidgetFixture(UINT templateId, const char* templateText);
  ~WidgetFixture();

 private:
  struct QtFirst {
    QtFirst() { EnsureOffscreenWidgets(); }
  } qtFirst_;

 public:
  RecordingDialog dialog;
  QWidget window;

  HWND Hwnd(int id) const;
  win::display::ControlWidget* Of(int id);
  bool Created() const { return dialog.m_hWnd != 0; }
  QWidget* WidgetOf(int id);
  template <class W>
  W* As(int id) {
    return qobject_cast<W*>(WidgetOf(id));
  }
  // Makes the widget of a control added after the template.
  void Add(int id);
  // Syncs every widget with `changes`, as the display does after a change.
  void SyncAll(unsigned changes);
  void Sync(int id, unsigned changes);
  // Runs the posted messages through the application's loop (its windows'
  // PreTranslateMessage first) and Qt's pending events.
  void Pump();

 private:
  UINT templateId_;
  bool registered_ = false;
  CWinApp app_;
  std::map<int, std::unique_ptr<win::display::ControlWidget>> widgets_;
};

std::string WindowTextOf(HWND hwnd);

// Input as the desktop delivers it: to the widget given (a mouse event at a
// point in it), through Qt's event filters and propagation.
void Click(QWidget* widget, QPoint at);
void Click(QWidget* widget);
void DoubleClick(QWidget* widget, QPoint at);
void Press(QWidget* widget, QPoint at);
void MoveTo(QWidget* widget, QPoint at);
void Release(QWidget* widget, QPoint at);
void Key(QWidget* widget, int key, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Type(QWidget* widget, const QString& text);

}  // namespace tk_test
