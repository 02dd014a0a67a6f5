// The rich edit as a text edit: the model's runs with their colours and
// effects on its background colour. Text appended to what is shown is added
// at the end; any other change shows the whole text again. The view follows
// the model's caret: at the end of the text, the end is shown.
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/dialog_items.h"
#include "win/richedit.h"
#include "win/styles.h"

namespace win::display {

namespace {

// The runs that cover the first `length` characters, the last one cut there.
std::vector<TextRun> RunsUpTo(const std::vector<TextRun>& runs, std::size_t length) {
  std::vector<TextRun> head;
  for (const TextRun& run : runs) {
    if (length == 0) break;
    TextRun part = run;
    if (part.text.size() > length) part.text.resize(length);
    length -= part.text.size();
    head.push_back(std::move(part));
  }
  return head;
}

// The runs past the first `length` characters.
std::vector<TextRun> RunsFrom(const std::vector<TextRun>& runs, std::size_t length) {
  std::vector<TextRun> tail;
  for (const TextRun& run : runs) {
    if (length >= run.text.size()) {
      length -= run.text.size();
      continue;
    }
    TextRun part = run;
    part.text.erase(0, length);
    length = 0;
    tail.push_back(std::move(part));
  }
  return tail;
}

QTextCharFormat FormatOf(const TextRun& run) {
  QTextCharFormat format;
  // An automatic colour is the window text's.
  format.setForeground(FromColorRef((run.effects & CFE_AUTOCOLOR) != 0 ? RGB(0, 0, 0) : run.colour));
  format.setFontWeight((run.effects & CFE_BOLD) != 0 ? QFont::Bold : QFont::Normal);
  format.setFontItalic((run.effects & CFE_ITALIC) != 0);
  format.setFontUnderline((run.effects & (CFE_UNDERLINE | CFE_LINK)) != 0);
  format.setFontStrikeOut((run.effects & CFE_STRIKEOUT) != 0);
  if ((run.effects & CFE_SUPERSCRIPT) != 0) format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  if ((run.effects & CFE_SUBSCRIPT) != 0) format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  return format;
}

class RichEditWidget : public ModelWidget {
 public:
  RichEditWidget(HWND control, QTextEdit* edit) : ModelWidget(control, edit, ColourRoles::kNone), edit_(edit) {
    edit->setUndoRedoEnabled(false);
    edit->setAcceptRichText(false);
    // The text is laid out only once the widget has its size (shown, or
    // grabbed for a picture): the end is followed then too.
    QScrollBar* bar = edit->verticalScrollBar();
    QObject::connect(bar, &QScrollBar::rangeChanged, edit, [this, bar](int, int maximum) {
      if (followsEnd_) bar->setValue(maximum);
    });
  }

 protected:
  void SyncModel(unsigned) override {
    auto* model = dynamic_cast<CRichEditCtrl*>(CWnd::FromHandle(Control()));
    if (model == nullptr) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongA(Control(), GWL_STYLE));
    edit_->setReadOnly((style & ES_READONLY) != 0);
    edit_->setLineWrapMode((style & ES_AUTOHSCROLL) != 0 && (style & ES_MULTILINE) == 0 ? QTextEdit::NoWrap
                                                                                       : QTextEdit::WidgetWidth);
    const COLORREF background = model->BackgroundColour();
    if (background != background_) {
      background_ = background;
      QPalette palette = edit_->palette();
      palette.setColor(QPalette::Base, FromColorRef(background));
      edit_->setPalette(palette);
    }
    const std::vector<TextRun> runs = model->Runs();
    std::size_t length = 0;
    for (const TextRun& run : runs) length += run.text.size();
    if (length >= shownLength_ && RunsUpTo(runs, shownLength_) == shown_) {
      Append(RunsFrom(runs, shownLength_));
    } else {
      edit_->clear();
      Append(runs);
    }
    shown_ = runs;
    shownLength_ = length;
    FollowCaret(*model, length);
  }

 private:
  void Append(const std::vector<TextRun>& runs) {
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    for (const TextRun& run : runs) {
      QString text = FromModelText(run.text);
      text.remove(QLatin1Char('\r'));
      cursor.insertText(text, FormatOf(run));
    }
  }

  void FollowCaret(const CRichEditCtrl& model, std::size_t length) {
    const CHARRANGE selection = model.Selection();
    followsEnd_ = selection.cpMin == selection.cpMax && static_cast<std::size_t>(selection.cpMax) >= length;
    if (followsEnd_) {
      QScrollBar* bar = edit_->verticalScrollBar();
      bar->setValue(bar->maximum());
      return;
    }
    // Positions without the "\r" of each line break.
    const std::string text = model.Text();
    const auto shownAt = [&text](LONG pos) {
      int shown = 0;
      for (std::size_t i = 0; i < text.size() && i < static_cast<std::size_t>(pos); ++i) {
        if (text[i] != '\r') ++shown;
      }
      return shown;
    };
    QTextCursor cursor(edit_->document());
    const int last = edit_->document()->characterCount() - 1;
    cursor.setPosition(std::min(shownAt(selection.cpMin), last));
    cursor.setPosition(std::min(shownAt(selection.cpMax), last), QTextCursor::KeepAnchor);
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
  }

  QTextEdit* edit_;
  std::vector<TextRun> shown_;
  std::size_t shownLength_ = 0;
  COLORREF background_ = 0xFFFFFFFF;
  bool followsEnd_ = false;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeRichEditWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<RichEditWidget>(control, new QTextEdit(parent));
}

}  // namespace win::display
