// The tab control as a tab bar: the model's labels and selected tab. A tab
// the user picks is the model's select, which tells TCN_SELCHANGE.
#include <QTabBar>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/tab_ctrl.h"

namespace win::display {

namespace {

class TabWidget : public ModelWidget {
 public:
  TabWidget(HWND control, QTabBar* bar) : ModelWidget(control, bar, ColourRoles::kLabel), bar_(bar) {
    bar->setExpanding(false);
    bar->setDrawBase(true);
    bar->setUsesScrollButtons(true);
    QObject::connect(bar, &QTabBar::currentChanged, bar, [this](int index) { Picked(index); });
  }

 protected:
  void SyncModel(unsigned) override {
    auto* model = dynamic_cast<CTabCtrl*>(CWnd::FromHandle(Control()));
    if (model == nullptr) return;
    std::vector<std::string> labels = model->Labels();
    if (labels != labels_) {
      while (bar_->count() > 0) bar_->removeTab(bar_->count() - 1);
      for (const std::string& label : labels) bar_->addTab(FromModelText(label));
      labels_ = std::move(labels);
    }
    const int selected = static_cast<int>(SendMessageA(Control(), TCM_GETCURSEL, 0, 0));
    if (bar_->currentIndex() != selected) bar_->setCurrentIndex(selected);
  }

 private:
  void Picked(int index) {
    if (index < 0 || !IsWindow(Control())) return;
    if (SendMessageA(Control(), TCM_GETCURSEL, 0, 0) == index) return;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(index), 0);
    Resync();
  }

  QTabBar* bar_;
  std::vector<std::string> labels_;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeTabWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<TabWidget>(control, new QTabBar(parent));
}

}  // namespace win::display
