#include "win/display/desktop_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <algorithm>

#include "win/codepage.h"
#include "win/display/desktop_modal.h"
#include "win/msgbox.h"

namespace win::display {

namespace {

QMessageBox::StandardButton QtButton(int answer) {
  switch (answer) {
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::Ok;
  }
}

std::optional<int> AnswerOfButton(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return std::nullopt;
  }
}

QMessageBox::Icon QtIcon(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QString FromAnsi(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

void Show(QMessageBox& box, HWND owner, UINT type) {
  box.adjustSize();
  CentreOverOwner(box, owner);
  box.show();
  if ((type & MB_SETFOREGROUND) != 0) {
    box.raise();
    box.activateWindow();
  }
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption, UINT type) {
  auto box = std::make_unique<QMessageBox>();
  box->setWindowTitle(FromAnsi(caption));
  // The program's texts are plain: a '<' in a server's message is no markup.
  box->setTextFormat(Qt::PlainText);
  box->setText(FromAnsi(text));
  box->setIcon(QtIcon(type));
  for (const int answer : MessageBoxButtons(type)) box->addButton(QtButton(answer));
  box->setDefaultButton(QtButton(DefaultMessageBoxAnswer(type)));
  const std::span<const int> buttons = MessageBoxButtons(type);
  if (std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end()) box->setEscapeButton(QMessageBox::Cancel);
  if ((type & (MB_TOPMOST | MB_SYSTEMMODAL)) != 0) box->setWindowFlag(Qt::WindowStaysOnTopHint);
  return box;
}

int MessageBoxAnswer(const QMessageBox& box, UINT type) {
  if (QAbstractButton* clicked = box.clickedButton()) {
    if (std::optional<int> answer = AnswerOfButton(box.standardButton(clicked))) return *answer;
  }
  const std::span<const int> buttons = MessageBoxButtons(type);
  if (std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end()) return IDCANCEL;
  return DefaultMessageBoxAnswer(type);
}

std::optional<int> ShowMessageBox(const Hooks& hooks, HWND owner, const std::string& text, const std::string& caption,
                                  UINT type, bool onUiThread) {
  if (!onUiThread) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) return std::nullopt;
    // Shown by the UI thread when it next runs its events; this thread goes on.
    QMetaObject::invokeMethod(
        app,
        [owner, text, caption, type] {
          QMessageBox* box = MakeMessageBox(text, caption, type).release();
          box->setAttribute(Qt::WA_DeleteOnClose);
          box->setWindowModality(Qt::NonModal);
          Show(*box, owner, type);
        },
        Qt::QueuedConnection);
    WakeModalLoop(hooks);
    return DefaultMessageBoxAnswer(type);
  }
  if (!WidgetsUsable()) return std::nullopt;
  bool finished = false;
  std::unique_ptr<QMessageBox> box = MakeMessageBox(text, caption, type);
  box->setWindowModality(Qt::ApplicationModal);
  QObject::connect(box.get(), &QDialog::finished, [&finished, &hooks] {
    finished = true;
    WakeModalLoop(hooks);
  });
  Show(*box, owner, type);
  RunModalLoop(hooks, [&finished] { return finished; });
  return MessageBoxAnswer(*box, type);
}

}  // namespace win::display
