// Push buttons, check boxes and radio buttons. A click is the model's: the
// widget tells it (the model steps an automatic check and clears the radio
// buttons of its group, then tells BN_CLICKED) and shows what the model holds.
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "win/button_ctrl.h"
#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"

namespace win::display {

namespace {

DWORD TypeOf(DWORD style) { return style & BS_TYPEMASK; }
bool IsCheck(DWORD type) { return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE; }
bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

Qt::CheckState CheckStateOf(LRESULT check) {
  if (check == BST_CHECKED) return Qt::Checked;
  return check == BST_INDETERMINATE ? Qt::PartiallyChecked : Qt::Unchecked;
}

class ButtonWidget : public ModelWidget {
 public:
  ButtonWidget(HWND control, QAbstractButton* button, DWORD type)
      // A push button keeps the desktop's face, as the platform's push
      // buttons do whatever their parent answers.
      : ModelWidget(control, button, IsCheck(type) || IsRadio(type) ? ColourRoles::kLabel : ColourRoles::kNone),
        button_(button) {
    if (auto* push = qobject_cast<QPushButton*>(button)) push->setAutoDefault(false);
    if (auto* radio = qobject_cast<QRadioButton*>(button)) radio->setAutoExclusive(false);
    // A button fills with the Button role; a check box or radio button lies on
    // its parent's brush, as a label does.
    if (IsCheck(type) || IsRadio(type)) button->setBackgroundRole(QPalette::Window);
    QObject::connect(button, &QAbstractButton::clicked, button, [this] {
      SendMessageA(Control(), ControlClickMessage(), 0, 0);
      // The model stepped its check without a repaint of its own to tell.
      Resync();
    });
  }

 protected:
  void SyncModel(unsigned) override {
    const std::string text = WindowText(Control());
    const QString shown = FromModelText(text);
    if (button_->text() != shown) button_->setText(shown);
    const DWORD style = ModelStyle(Control());
    if (auto* push = qobject_cast<QPushButton*>(button_)) {
      push->setDefault(TypeOf(style) == BS_DEFPUSHBUTTON);
      push->setDown((SendMessageA(Control(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0);
      const auto bitmap = static_cast<HBITMAP>(SendMessageA(Control(), BM_GETIMAGE, IMAGE_BITMAP, 0));
      if (bitmap != bitmap_) {
        bitmap_ = bitmap;
        const QImage image = BitmapImage(bitmap);
        push->setIcon(image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
        if (!image.isNull()) push->setIconSize(image.size());
      }
      return;
    }
    const LRESULT check = SendMessageA(Control(), BM_GETCHECK, 0, 0);
    if (auto* box = qobject_cast<QCheckBox*>(button_)) {
      box->setTristate(TypeOf(style) == BS_3STATE || TypeOf(style) == BS_AUTO3STATE);
      box->setCheckState(CheckStateOf(check));
      return;
    }
    button_->setChecked(check == BST_CHECKED);
  }

 private:
  QAbstractButton* button_;
  HBITMAP bitmap_ = 0;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeButtonWidget(HWND control, DWORD style, QWidget* parent) {
  const DWORD type = TypeOf(style);
  QAbstractButton* button = nullptr;
  if (IsCheck(type)) {
    button = new QCheckBox(parent);
  } else if (IsRadio(type)) {
    button = new QRadioButton(parent);
  } else {
    button = new QPushButton(parent);
  }
  return std::make_unique<ButtonWidget>(control, button, type);
}

}  // namespace win::display
