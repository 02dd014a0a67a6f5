#include "win/display/widget_keys.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "win/focus.h"
#include "win/keys.h"
#include "win/window.h"

namespace win::display {

namespace {

// The US keyboard's keys of the punctuation Qt names by the character typed.
int OemKeyOf(int key) {
  switch (key) {
    case ';': case ':': return 0xBA;
    case '=': case '+': return 0xBB;
    case ',': case '<': return 0xBC;
    case '-': case '_': return 0xBD;
    case '.': case '>': return 0xBE;
    case '/': case '?': return 0xBF;
    case '`': case '~': return 0xC0;
    case '[': case '{': return 0xDB;
    case '\\': case '|': return 0xDC;
    case ']': case '}': return 0xDD;
    case '\'': case '"': return 0xDE;
    default: return 0;
  }
}

// Shifted digits come as their symbols.
int ShiftedDigitOf(int key) {
  constexpr const char kSymbols[] = ")!@#$%^&*(";
  for (int digit = 0; digit < 10; ++digit) {
    if (kSymbols[digit] == key) return '0' + digit;
  }
  return 0;
}

int KeypadKeyOf(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Period: case Qt::Key_Comma: return VK_DECIMAL;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Enter: return VK_RETURN;
    default: return 0;
  }
}

// The widget's own handling of an event, without its filters and without
// passing it to the window around it. The member pointer names QWidget's
// virtual event(), so the widget's own override runs.
struct EventAccess : QWidget {
  using QWidget::event;
};
bool Deliver(QWidget* widget, QEvent* event) {
  bool (QWidget::*handler)(QEvent*) = &EventAccess::event;
  return (widget->*handler)(event);
}

}  // namespace

int VirtualKeyOf(const QKeyEvent& event) {
  const int key = event.key();
  if ((event.modifiers() & Qt::KeypadModifier) != 0) {
    if (const int vk = KeypadKeyOf(key); vk != 0) return vk;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Clear: return VK_CLEAR;
    default: break;
  }
  if (const int digit = ShiftedDigitOf(key); digit != 0) return digit;
  return OemKeyOf(key);
}

ControlKeys::ControlKeys(HWND control, QWidget* outer, bool keysAreTheModels)
    : control_(control), outer_(outer), keysAreTheModels_(keysAreTheModels) {
  Watch(outer);
}

void ControlKeys::Watch(QWidget* inner) {
  if (inner == nullptr) return;
  inner->installEventFilter(this);
  for (QWidget* child : inner->findChildren<QWidget*>()) child->installEventFilter(this);
}

void ControlKeys::Tell(const QKeyEvent& event, bool down) const {
  const int vk = VirtualKeyOf(event);
  if (vk == 0) return;
  SetKeyState(vk, down);
  // The repeat count, and for a release the previous state and transition bits.
  const LPARAM flags = down ? (event.isAutoRepeat() ? 0x40000001 : 0x00000001) : static_cast<LPARAM>(0xC0000001);
  PostMessageA(control_, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk), flags);
}

bool ControlKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    // Tab was told to the program, whose windows move their own focus on it
    // (from the control it left): the model's focus is theirs to move then.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    const bool tabbed = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
    if (!tabbed && ::GetFocus() != control_ && IsWindow(control_)) ::SetFocus(control_);
    return false;
  }
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || outer_ == nullptr) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool down = event->type() == QEvent::KeyPress;
  QWidget* focus = QApplication::focusWidget();
  const bool focusInside = focus != nullptr && (focus == outer_ || outer_->isAncestorOf(focus));
  if (widget != outer_) {
    // A part of the control: it tells the key when it has the focus and edits.
    if (widget == focus) Tell(*key, down);
    return false;
  }
  // The control itself, first or as a part passes the key on: told once, then
  // kept from the window around it.
  if (!focusInside || focus == outer_) Tell(*key, down);
  const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
  if (!keysAreTheModels_ || tab) Deliver(outer_, event);
  event->accept();
  return true;
}

}  // namespace win::display
