// Labels, pictures and group boxes.
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <memory>

#include "win/bitmap_resource.h"
#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/module.h"
#include "win/static_ctrl.h"
#include "win/sys_colors.h"
#include "win/window_surface.h"

namespace win::display {

namespace {

// A label that tells a click as the user's when the control asks for it (SS_NOTIFY).
class ClickableLabel : public QLabel {
 public:
  ClickableLabel(HWND control, QWidget* parent) : QLabel(parent), control_(control) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && (ModelStyle(control_) & SS_NOTIFY) != 0) {
      SendMessageA(control_, ControlClickMessage(), 0, 0);
      event->accept();
      return;
    }
    QLabel::mousePressEvent(event);
  }

 private:
  const HWND control_;
};

class StaticWidget : public ModelWidget {
 public:
  StaticWidget(HWND control, QLabel* label) : ModelWidget(control, label, ColourRoles::kLabel), label_(label) {
    label->setTextFormat(Qt::PlainText);
  }

 protected:
  void SyncModel(unsigned) override {
    const DWORD style = ModelStyle(Control());
    const DWORD type = style & SS_TYPEMASK;
    const std::string text = WindowText(Control());
    label_->setFrameShape(QFrame::NoFrame);
    switch (type) {
      case SS_BLACKRECT:
      case SS_GRAYRECT:
      case SS_WHITERECT: {
        const int colour = type == SS_BLACKRECT ? COLOR_WINDOWFRAME : type == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_WINDOW;
        QPalette palette = label_->palette();
        palette.setColor(QPalette::Window, FromColorRef(GetSysColor(colour)));
        label_->setPalette(palette);
        label_->setAutoFillBackground(true);
        label_->clear();
        return;
      }
      case SS_BLACKFRAME:
        label_->setFrameStyle(QFrame::Box | QFrame::Plain);
        label_->clear();
        return;
      case SS_ETCHEDFRAME:
        label_->setFrameStyle(QFrame::Box | QFrame::Sunken);
        label_->clear();
        return;
      default:
        break;
    }
    Qt::Alignment alignment = type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    alignment |= (style & SS_CENTERIMAGE) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
    label_->setAlignment(alignment);
    label_->setWordWrap(type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP && (style & SS_CENTERIMAGE) == 0);
    if ((style & SS_SUNKEN) != 0) label_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const QString shown = (style & SS_NOPREFIX) != 0 ? FromModelText(text) : LabelWithoutMnemonic(text);
    if (label_->text() != shown) label_->setText(shown);
  }

 private:
  QLabel* label_;
};

class PictureWidget : public ModelWidget {
 public:
  PictureWidget(HWND control, QLabel* label) : ModelWidget(control, label, ColourRoles::kLabel), label_(label) {}

 protected:
  void SyncModel(unsigned changes) override {
    auto* model = dynamic_cast<CStatic*>(CWnd::FromHandle(Control()));
    if (model == nullptr) return;
    HBITMAP bitmap = model->GetBitmap();
    if (bitmap == 0) {
      if (std::optional<UINT> id = model->ResourceImageId()) {
        if (resource_ == 0) resource_ = LoadBitmapA(nullptr, MAKEINTRESOURCEA(static_cast<WORD>(*id)));
        bitmap = resource_;
      }
    }
    const DWORD style = model->Style();
    label_->setAlignment((style & SS_CENTERIMAGE) != 0 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (bitmap == 0) {
      // Without an image of its own it is a surface the program paints on.
      shown_ = 0;
      const std::shared_ptr<QImage> painted = win::detail::ExistingWindowSurface(Control());
      if (painted == nullptr) {
        label_->clear();
      } else if ((changes & (kPainted | kCreated | kContent)) != 0) {
        label_->setPixmap(QPixmap::fromImage(*painted));
      }
      return;
    }
    if (bitmap == shown_) return;
    shown_ = bitmap;
    const QImage image = BitmapImage(bitmap);
    if (image.isNull()) {
      label_->clear();
    } else {
      label_->setPixmap(QPixmap::fromImage(image));
    }
  }

 private:
  QLabel* label_;
  HBITMAP resource_ = 0;  // a template's picture: the resource's shared handle
  HBITMAP shown_ = 0;
};

class GroupBoxWidget : public ModelWidget {
 public:
  GroupBoxWidget(HWND control, QGroupBox* box) : ModelWidget(control, box, ColourRoles::kFrame), box_(box) {
    // The controls inside it are its siblings: the frame takes no click from them.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void SyncModel(unsigned) override {
    const std::string text = WindowText(Control());
    box_->setTitle(LabelWithoutMnemonic(text));
  }

 private:
  QGroupBox* box_;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeStaticWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<StaticWidget>(control, new ClickableLabel(control, parent));
}

std::unique_ptr<ControlWidget> MakePictureWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<PictureWidget>(control, new ClickableLabel(control, parent));
}

std::unique_ptr<ControlWidget> MakeGroupBoxWidget(HWND control, QWidget* parent) {
  return std::make_unique<GroupBoxWidget>(control, new QGroupBox(parent));
}

}  // namespace win::display
