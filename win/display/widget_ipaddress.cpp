// The IP address control as four fields of up to three digits between dots.
// What the user types is the model's typing of the whole address (which
// tells IPN_FIELDCHANGED for each field that changed, then EN_CHANGE); the
// fields show what the model kept. '.' or a third digit moves to the next field.
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <array>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/ipaddress_ctrl.h"

namespace win::display {

namespace {

class AddressField : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  QLineEdit* next = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->text() == QStringLiteral(".") && next != nullptr) {
      next->setFocus();
      next->selectAll();
      event->accept();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }
};

std::array<QString, 4> FieldsOf(const std::string& text) {
  std::array<QString, 4> fields;
  std::size_t field = 0;
  for (char c : text) {
    if (c == '.') {
      if (++field == fields.size()) break;
      continue;
    }
    fields[field] += QLatin1Char(c);
  }
  return fields;
}

class IpAddressWidget : public ModelWidget {
 public:
  IpAddressWidget(HWND control, QFrame* frame, std::array<AddressField*, 4> fields)
      : ModelWidget(control, frame, ColourRoles::kField), fields_(fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      AddressField* field = fields[i];
      if (i + 1 < fields.size()) field->next = fields[i + 1];
      QObject::connect(field, &QLineEdit::textEdited, field, [this, i](const QString& text) {
        Typed();
        if (text.size() == 3 && i + 1 < fields_.size() && fields_[i]->cursorPosition() == 3) {
          fields_[i + 1]->setFocus();
          fields_[i + 1]->selectAll();
        }
      });
    }
  }

 protected:
  UINT ColourMessage() const override { return WM_CTLCOLOREDIT; }

  void SyncModel(unsigned) override {
    const std::array<QString, 4> shown = FieldsOf(WindowText(Control()));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const QSignalBlocker block(fields_[i]);
      if (fields_[i]->text() != shown[i]) fields_[i]->setText(shown[i]);
    }
  }

 private:
  void Typed() {
    if (!IsWindow(Control())) return;
    QString address;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (i != 0) address += QLatin1Char('.');
      address += fields_[i]->text();
    }
    TypeIntoModel(Control(), address);
    // A value outside its field's range is brought to the range's end.
    Resync();
  }

  std::array<AddressField*, 4> fields_;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeIpAddressWidget(HWND control, QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  frame->setAutoFillBackground(true);
  frame->setBackgroundRole(QPalette::Base);
  auto* row = new QHBoxLayout(frame);
  row->setContentsMargins(2, 0, 2, 0);
  row->setSpacing(0);
  std::array<AddressField*, 4> fields{};
  const QRegularExpression digits(QStringLiteral("[0-9]{0,3}"));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) {
      auto* dot = new QLabel(QStringLiteral("."), frame);
      dot->setAlignment(Qt::AlignCenter);
      row->addWidget(dot);
    }
    auto* field = new AddressField(frame);
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    field->setMaxLength(3);
    field->setValidator(new QRegularExpressionValidator(digits, field));
    row->addWidget(field, 1);
    fields[i] = field;
  }
  frame->setFocusProxy(fields[0]);
  return std::make_unique<IpAddressWidget>(control, frame, fields);
}

}  // namespace win::display
