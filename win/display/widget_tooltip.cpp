// The tooltip control: no widget of its own to see; its tips go onto its
// tools' widgets (each control's widget also looks for its tip when it syncs,
// whichever of the two comes first).
#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/tooltip_ctrl.h"

namespace win::display {

namespace {

class ToolTipWidget : public ModelWidget {
 public:
  ToolTipWidget(HWND control, QWidget* widget) : ModelWidget(control, widget, ColourRoles::kNone) {
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
      if (!text.empty()) tool->setToolTip(model->IsActive() ? FromModelText(text) : QString());
    }
  }
};

}  // namespace

std::unique_ptr<ControlWidget> MakeToolTipWidget(HWND control, QWidget* parent) {
  return std::make_unique<ToolTipWidget>(control, new QWidget(parent));
}

}  // namespace win::display
