// The tooltip control: no widget of its own to see; its tips go onto its
// tools' widgets (each control's widget also looks for its tip when it syncs,
// whichever of the two comes first), shown in the tooltip's colours.
#include <QHelpEvent>
#include <QToolTip>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/tooltip_ctrl.h"

namespace win::display {

namespace {

// Shows a tool's tip in the tooltip's colours, or none while it is inactive.
class TipShower : public QObject {
 public:
  explicit TipShower(HWND tooltip) : tooltip_(tooltip) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    auto* tool = qobject_cast<QWidget*>(watched);
    const auto* model = dynamic_cast<const CToolTipCtrl*>(CWnd::FromHandle(tooltip_));
    if (tool == nullptr || model == nullptr) return false;
    if (!model->IsActive() || tool->toolTip().isEmpty()) {
      QToolTip::hideText();
      event->ignore();
      return true;
    }
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, FromColorRef(model->GetTipBkColor()));
    palette.setColor(QPalette::ToolTipText, FromColorRef(model->GetTipTextColor()));
    QToolTip::setPalette(palette);
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tool->toolTip(), tool);
    return true;
  }

 private:
  const HWND tooltip_;
};

class ToolTipWidget : public ModelWidget {
 public:
  ToolTipWidget(HWND control, QWidget* widget)
      : ModelWidget(control, widget, ColourRoles::kNone), shower_(new TipShower(control)) {
    shower_->setParent(widget);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setFixedSize(0, 0);
  }

 protected:
  void SyncModel(unsigned) override {
    auto* model = dynamic_cast<CToolTipCtrl*>(CWnd::FromHandle(Control()));
    QWidget* parent = Widget() != nullptr ? Widget()->parentWidget() : nullptr;
    if (model == nullptr || parent == nullptr) return;
    for (QWidget* tool : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QVariant hwnd = tool->property(kControlProperty);
      if (!hwnd.isValid()) continue;
      const std::string text = model->GetToolText(static_cast<HWND>(hwnd.toULongLong()));
      if (text.empty()) continue;
      tool->setToolTip(FromModelText(text));
      tool->installEventFilter(shower_);
    }
  }

 private:
  TipShower* shower_;  // a child of the widget
};

}  // namespace

std::unique_ptr<ControlWidget> MakeToolTipWidget(HWND control, QWidget* parent) {
  return std::make_unique<ToolTipWidget>(control, new QWidget(parent));
}

}  // namespace win::display
