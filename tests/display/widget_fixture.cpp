#include "tests/display/widget_fixture.h"

#include <cstdlib>
#include <mutex>

#include "win/control_base.h"
#include "win/dialog_template.h"
#include "win/display_hooks.h"
#include "win/gdi.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/os_thread.h"
#include "win/qt_app.h"
#include "win/trackbar_ctrl.h"

namespace tk_test {

namespace {

void SendInput(QWidget* widget, QEvent& event) { QApplication::sendEvent(widget, &event); }

void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
  SendInput(widget, event);
}

int KeyOfCharacter(QChar c) {
  if (c.isLetter() && c.toLatin1() != 0) return Qt::Key_A + (c.toUpper().toLatin1() - 'A');
  if (c.isDigit()) return Qt::Key_0 + (c.toLatin1() - '0');
  if (c == QLatin1Char(' ')) return Qt::Key_Space;
  if (c == QLatin1Char('.')) return Qt::Key_Period;
  return c.unicode();
}

}  // namespace

void EnsureOffscreenWidgets() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Never a real desktop, whatever the environment says.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    win::detail::EnsureQtApplication();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return;
    // The drawing layer made a GUI application for its fonts; widgets need a
    // widget application in its place.
    delete QCoreApplication::instance();
    static int argc = 1;
    static char name[] = "tests_display";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  });
}

LRESULT RecordingDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0) notices.push_back(Notice{message, LOWORD(wParam), HIWORD(wParam)});
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header == nullptr || header->code == NM_CUSTOMDRAW) return CDRF_DODEFAULT;
      notices.push_back(Notice{message, static_cast<int>(header->idFrom), header->code});
      return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      notices.push_back(Notice{message, ::GetDlgCtrlID(static_cast<HWND>(lParam)), LOWORD(wParam)});
      return 0;
    default:
      if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        auto it = colours.find(message);
        if (it == colours.end()) return 0;
        SetTextColor(static_cast<HDC>(wParam), it->second.text);
        return static_cast<LRESULT>(it->second.brush);
      }
      break;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

BOOL RecordingDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) {
    std::string text(256, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(msg->hwnd, text.data(), static_cast<int>(text.size()))));
    keys.push_back(KeySeen{msg->hwnd, msg->message, msg->wParam, text});
    if (tabMovesFocus && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
      const HWND next = GetNextDlgTabItem(m_hWnd, GetFocus(), GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
      if (next != 0) SetFocus(next);
      return TRUE;
    }
  }
  return FALSE;
}

WidgetFixture::WidgetFixture(UINT templateId, const char* templateText) : dialog(templateId), templateId_(templateId) {
  EnsureOffscreenWidgets();
  ResetKeyStates();
  InstallDialogTemplates();
  if (templateText != nullptr) RegisterDialogTemplateText(templateId, templateText);
  registered_ = templateText != nullptr;
  app_.m_pMainWnd = &dialog;
  app_.m_nThreadID = GetCurrentThreadId();
  if (dialog.Create(templateId, nullptr) == FALSE) return;
  dialog.ShowWindow(SW_SHOW);
  std::string error;
  const std::optional<DialogTemplate> parsed = FindDialogTemplate(templateId, error);
  if (!parsed) return;
  window.resize(parsed->rect.right - parsed->rect.left, parsed->rect.bottom - parsed->rect.top);
  for (const ControlTemplate& control : parsed->controls) {
    const HWND hwnd = GetDlgItem(dialog.m_hWnd, control.id);
    std::unique_ptr<win::display::ControlWidget> made =
        win::display::MakeControlWidget(hwnd, control.kind, control.style, &window);
    if (made != nullptr) {
      made->Widget()->setGeometry(control.rect.left, control.rect.top, control.rect.right - control.rect.left,
                                  control.rect.bottom - control.rect.top);
      made->Sync(~0u);
      made->Widget()->show();
    }
    widgets_[control.id] = std::move(made);
  }
  window.show();
  Pump();
}

WidgetFixture::~WidgetFixture() {
  widgets_.clear();
  dialog.DestroyWindow();
  if (registered_) RegisterDialogTemplateText(templateId_, "");
  SetDialogTemplateLoader(nullptr);
  ResetKeyStates();
}

HWND WidgetFixture::Hwnd(int id) const { return GetDlgItem(dialog.m_hWnd, id); }

win::display::ControlWidget* WidgetFixture::Of(int id) {
  auto it = widgets_.find(id);
  return it == widgets_.end() ? nullptr : it->second.get();
}

QWidget* WidgetFixture::WidgetOf(int id) {
  win::display::ControlWidget* made = Of(id);
  return made != nullptr ? made->Widget() : nullptr;
}

void WidgetFixture::Add(int id) {
  const HWND hwnd = Hwnd(id);
  CWnd* control = CWnd::FromHandle(hwnd);
  if (control == nullptr) return;
  std::unique_ptr<win::display::ControlWidget> made = win::display::MakeControlWidget(
      hwnd, control->Kind(), static_cast<DWORD>(SendMessageA(hwnd, ControlStyleMessage(), 0, 0)), &window);
  if (made != nullptr) {
    made->Sync(~0u);
    made->Widget()->show();
  }
  widgets_[id] = std::move(made);
}

void WidgetFixture::SyncAll(unsigned changes) {
  for (auto& [id, made] : widgets_) {
    if (made != nullptr) made->Sync(changes);
  }
}

void WidgetFixture::Sync(int id, unsigned changes) {
  if (win::display::ControlWidget* made = Of(id)) made->Sync(changes);
}

void WidgetFixture::Pump() {
  for (int round = 0; round < 100; ++round) {
    QApplication::processEvents();
    MSG msg;
    bool any = false;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != FALSE) {
      any = true;
      if (!app_.PreTranslateMessage(&msg)) DispatchMessageA(&msg);
    }
    if (!any) return;
  }
}

std::string WindowTextOf(HWND hwnd) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void Click(QWidget* widget, QPoint at) {
  Press(widget, at);
  Release(widget, at);
}

void Click(QWidget* widget) { Click(widget, widget->rect().center()); }

void DoubleClick(QWidget* widget, QPoint at) {
  Click(widget, at);
  Mouse(widget, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
  Release(widget, at);
}

void Press(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton); }

void MoveTo(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseMove, at, Qt::LeftButton); }

void Release(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseButtonRelease, at, Qt::NoButton); }

void Key(QWidget* widget, int key, const QString& text, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  SendInput(widget, press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  SendInput(widget, release);
}

void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) Key(widget, KeyOfCharacter(c), QString(c));
}

}  // namespace tk_test
