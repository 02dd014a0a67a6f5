// The edit control as a line edit (a plain text edit when multi-line). The
// desktop edits (keys, clipboard, input methods); each edit reaches the model
// as a typed replacement of what changed (folded to the edit's case, digits
// only where it takes only digits), which tells the parent EN_CHANGE,
// and the model's text and selection come back. A password edit's widget
// holds only one mask character per character of the model's text.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/edit_ctrl.h"

namespace win::display {

namespace {

constexpr QChar kMask = QChar(0x25CF);

// A multi-line edit keeps its line breaks as "\r\n"; the widget as "\n".
QString ShownText(const std::string& model, bool multiline) {
  QString text = FromModelText(model);
  if (multiline) text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string ModelTextOf(const QString& shown, bool multiline) {
  std::string text = ToModelText(shown);
  if (!multiline) return text;
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Where widget position `pos` of `shown` lies in the model's text.
int ModelPosition(const QString& shown, int pos, bool multiline) {
  if (!multiline) return pos;
  const QString before = shown.left(pos);
  return pos + static_cast<int>(before.count(QLatin1Char('\n')));
}

int ShownPosition(const std::string& model, int pos, bool multiline) {
  if (!multiline) return pos;
  pos = std::clamp(pos, 0, static_cast<int>(model.size()));
  int shown = pos;
  for (std::size_t i = 0; i < static_cast<std::size_t>(pos) && i + 1 < model.size(); ++i) {
    if (model[i] == '\r' && model[i + 1] == '\n') --shown;
  }
  return shown;
}

// What a user's edit changed: the widget's text went from `before` to
// `after` with the cursor at `cursor` (just past what was put in).
struct Replacement {
  int start = 0;     // in `before`
  int removed = 0;
  QString inserted;
};

Replacement Diff(const QString& before, const QString& after, int cursor) {
  cursor = std::clamp(cursor, 0, static_cast<int>(after.size()));
  // The text after the cursor is what stayed after the change.
  int suffix = 0;
  const int maxSuffix = std::min(static_cast<int>(after.size()) - cursor, static_cast<int>(before.size()));
  while (suffix < maxSuffix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
  int prefix = 0;
  const int maxPrefix = std::min(static_cast<int>(before.size()) - suffix, static_cast<int>(after.size()) - suffix);
  while (prefix < maxPrefix && prefix < cursor && before[prefix] == after[prefix]) ++prefix;
  Replacement r;
  r.start = prefix;
  r.removed = static_cast<int>(before.size()) - suffix - prefix;
  r.inserted = after.mid(prefix, after.size() - suffix - prefix);
  return r;
}

class EditWidget : public ModelWidget {
 public:
  EditWidget(HWND control, QWidget* widget, QLineEdit* line, QPlainTextEdit* lines)
      : ModelWidget(control, widget, ColourRoles::kField), line_(line), lines_(lines) {
    if (line_ != nullptr) {
      QObject::connect(line_, &QLineEdit::textEdited, line_, [this](const QString&) { Typed(); });
      QObject::connect(line_, &QLineEdit::selectionChanged, line_, [this] { Selected(); });
      QObject::connect(line_, &QLineEdit::cursorPositionChanged, line_, [this](int, int) { Selected(); });
    } else {
      QObject::connect(lines_, &QPlainTextEdit::textChanged, lines_, [this] { Typed(); });
      QObject::connect(lines_, &QPlainTextEdit::cursorPositionChanged, lines_, [this] { Selected(); });
    }
  }

 protected:
  UINT ColourMessage() const override {
    return (ModelStyle(Control()) & ES_READONLY) != 0 || !IsWindowEnabled(Control()) ? WM_CTLCOLORSTATIC
                                                                                     : WM_CTLCOLOREDIT;
  }

  void SyncModel(unsigned) override {
    auto* model = dynamic_cast<CEdit*>(CWnd::FromHandle(Control()));
    if (model == nullptr) return;
    const DWORD style = model->Style();
    const bool password = (style & ES_PASSWORD) != 0 && line_ != nullptr;
    const std::string text = model->Text();
    int start = 0;
    int end = 0;
    model->GetSel(start, end);
    const QString shown = password ? QString(static_cast<qsizetype>(text.size()), kMask) : ShownText(text, Multiline());
    const bool readOnly = (style & ES_READONLY) != 0;
    const int limit = static_cast<int>(std::min<UINT>(model->GetLimitText(), 0x7FFFFFFF));
    if (line_ != nullptr) {
      line_->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
      line_->setReadOnly(readOnly);
      line_->setMaxLength(std::max(limit, static_cast<int>(shown.size())));
      line_->setAlignment((style & ES_CENTER) != 0 ? Qt::AlignHCenter : (style & ES_RIGHT) != 0 ? Qt::AlignRight : Qt::AlignLeft);
      if (line_->text() != shown) line_->setText(shown);
    } else {
      lines_->setReadOnly(readOnly);
      if (lines_->toPlainText() != shown) lines_->setPlainText(shown);
    }
    shown_ = shown;
    if (start != modelStart_ || end != modelEnd_) ShowSelection(text, start, end);
  }

 private:
  bool Multiline() const { return lines_ != nullptr; }

  QString WidgetText() const { return line_ != nullptr ? line_->text() : lines_->toPlainText(); }
  int WidgetCursor() const { return line_ != nullptr ? line_->cursorPosition() : lines_->textCursor().position(); }

  void ShowSelection(const std::string& text, int start, int end) {
    modelStart_ = start;
    modelEnd_ = end;
    const int from = ShownPosition(text, start, Multiline());
    const int to = ShownPosition(text, end, Multiline());
    if (line_ != nullptr) {
      line_->setSelection(from, to - from);
      if (from == to) line_->setCursorPosition(to);
      return;
    }
    QTextCursor cursor = lines_->textCursor();
    cursor.setPosition(std::min(from, static_cast<int>(lines_->document()->characterCount()) - 1));
    cursor.setPosition(std::min(to, static_cast<int>(lines_->document()->characterCount()) - 1), QTextCursor::KeepAnchor);
    lines_->setTextCursor(cursor);
  }

  // What the platform's edit makes of typed text: folded to its case, digits only.
  QString AsTheEditTakesIt(QString typed) const {
    const DWORD style = ModelStyle(Control());
    if ((style & ES_UPPERCASE) != 0) typed = typed.toUpper();
    if ((style & ES_LOWERCASE) != 0) typed = typed.toLower();
    if ((style & ES_NUMBER) != 0) typed.removeIf([](QChar c) { return !c.isDigit(); });
    return typed;
  }

  // The user changed the widget's text: the change typed into the model.
  void Typed() {
    if (!Alive() || !IsWindow(Control())) return;
    const QString after = WidgetText();
    if (after == shown_) return;
    const bool password = line_ != nullptr && line_->echoMode() == QLineEdit::Password;
    const Replacement change = Diff(shown_, after, WidgetCursor());
    // A password's widget holds masks: positions count the same in the model.
    const int start = password ? change.start : ModelPosition(shown_, change.start, Multiline());
    const int stop = password ? change.start + change.removed
                              : ModelPosition(shown_, change.start + change.removed, Multiline());
    const std::string inserted = ModelTextOf(AsTheEditTakesIt(change.inserted), Multiline());
    SendMessageA(Control(), EM_SETSEL, static_cast<WPARAM>(start), stop);
    SendMessageA(Control(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(inserted.c_str()));
    // What the model kept (its limit may cut) shows at once, with its caret.
    Resync();
  }

  // The user moved the caret or the selection: the model follows.
  void Selected() {
    if (!Alive() || !IsWindow(Control()) || WidgetText() != shown_) return;
    int from = 0;
    int to = 0;
    if (line_ != nullptr) {
      const bool password = line_->echoMode() == QLineEdit::Password;
      if (line_->hasSelectedText()) {
        from = line_->selectionStart();
        to = line_->selectionEnd();
      } else {
        from = to = line_->cursorPosition();
      }
      if (!password) {
        from = ModelPosition(shown_, from, false);
        to = ModelPosition(shown_, to, false);
      }
    } else {
      const QTextCursor cursor = lines_->textCursor();
      from = ModelPosition(shown_, cursor.selectionStart(), true);
      to = ModelPosition(shown_, cursor.selectionEnd(), true);
    }
    if (from == modelStart_ && to == modelEnd_) return;
    modelStart_ = from;
    modelEnd_ = to;
    SendMessageA(Control(), EM_SETSEL, static_cast<WPARAM>(from), to);
  }

  QLineEdit* line_;
  QPlainTextEdit* lines_;
  QString shown_;  // what the widget shows of the model's text
  int modelStart_ = -1;
  int modelEnd_ = -1;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeEditWidget(HWND control, DWORD style, QWidget* parent) {
  if ((style & ES_MULTILINE) != 0) {
    auto* lines = new QPlainTextEdit(parent);
    lines->setLineWrapMode((style & ES_AUTOHSCROLL) != 0 ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    lines->setTabChangesFocus(true);
    return std::make_unique<EditWidget>(control, lines, nullptr, lines);
  }
  auto* line = new QLineEdit(parent);
  line->setFrame((style & WS_BORDER) != 0);
  return std::make_unique<EditWidget>(control, line, line, nullptr);
}

}  // namespace win::display
