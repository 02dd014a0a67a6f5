// The trackbar as a slider showing the model's range, position and ticks.
// The model moves itself: keys go to it as posted key messages, and the
// slider's drags and page clicks go to it as the mouse messages it takes at
// its own thumb's and channel's places, so it tells the parent its
// WM_HSCROLL / WM_VSCROLL notices; the slider then shows where it went.
#include <QSlider>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/mouse.h"
#include "win/trackbar_ctrl.h"

namespace win::display {

namespace {

class TrackbarWidget : public ModelWidget {
 public:
  TrackbarWidget(HWND control, QSlider* slider)
      : ModelWidget(control, slider, ColourRoles::kLabel, /*keysAreTheModels=*/true), slider_(slider) {
    slider->setTracking(true);
    QObject::connect(slider, &QSlider::sliderPressed, slider, [this] { Press(); });
    QObject::connect(slider, &QSlider::sliderMoved, slider, [this](int value) { Drag(value); });
    QObject::connect(slider, &QSlider::sliderReleased, slider, [this] { Release(); });
    QObject::connect(slider, &QSlider::actionTriggered, slider, [this](int action) { Paged(action); });
  }

 protected:
  void SyncModel(unsigned) override {
    const DWORD style = ModelStyle(Control());
    const int min = static_cast<int>(SendMessageA(Control(), TBM_GETRANGEMIN, 0, 0));
    const int max = static_cast<int>(SendMessageA(Control(), TBM_GETRANGEMAX, 0, 0));
    const int pos = static_cast<int>(SendMessageA(Control(), TBM_GETPOS, 0, 0));
    const int line = static_cast<int>(SendMessageA(Control(), TBM_GETLINESIZE, 0, 0));
    const int page = static_cast<int>(SendMessageA(Control(), TBM_GETPAGESIZE, 0, 0));
    const int tics = static_cast<int>(SendMessageA(Control(), TBM_GETNUMTICS, 0, 0));
    const bool vertical = (style & TBS_VERT) != 0;
    slider_->setOrientation(vertical ? Qt::Vertical : Qt::Horizontal);
    // The platform's vertical trackbar has its minimum at the top.
    slider_->setInvertedAppearance(vertical);
    slider_->setRange(min, std::max(min, max));
    slider_->setSingleStep(std::max(line, 1));
    slider_->setPageStep(std::max(page, 1));
    if ((style & TBS_NOTICKS) != 0 || (style & TBS_AUTOTICKS) == 0) {
      slider_->setTickPosition(QSlider::NoTicks);
    } else {
      const bool before = (style & TBS_TOP) != 0;
      slider_->setTickPosition((style & TBS_BOTH) != 0 ? QSlider::TicksBothSides
                               : before                ? QSlider::TicksAbove
                                                       : QSlider::TicksBelow);
      slider_->setTickInterval(tics > 1 ? std::max(1, (max - min) / (tics - 1)) : std::max(1, max - min));
    }
    if (!slider_->isSliderDown()) slider_->setValue(pos);
  }

 private:
  win::TrackbarLayout Layout() const {
    RECT client{};
    ::GetClientRect(Control(), &client);
    win::TrackbarState state;
    state.style = ModelStyle(Control());
    state.width = client.right - client.left;
    state.height = client.bottom - client.top;
    state.min = static_cast<int>(SendMessageA(Control(), TBM_GETRANGEMIN, 0, 0));
    state.max = static_cast<int>(SendMessageA(Control(), TBM_GETRANGEMAX, 0, 0));
    state.pos = static_cast<int>(SendMessageA(Control(), TBM_GETPOS, 0, 0));
    state.thumbLength = static_cast<LONG>(SendMessageA(Control(), TBM_GETTHUMBLENGTH, 0, 0));
    return win::TrackbarLayout(state);
  }

  // Where the model has value `value` along its axis, across it on the thumb.
  LPARAM PointOf(const win::TrackbarLayout& layout, int value) const {
    const RECT thumb = layout.Thumb();
    const LONG along = layout.PixelOfValue(value);
    const LONG across = layout.Vertical() ? (thumb.left + thumb.right) / 2 : (thumb.top + thumb.bottom) / 2;
    return layout.Vertical() ? MAKELPARAM(across, along) : MAKELPARAM(along, across);
  }

  void Press() {
    if (!IsWindow(Control())) return;
    const win::TrackbarLayout layout = Layout();
    const int pos = static_cast<int>(SendMessageA(Control(), TBM_GETPOS, 0, 0));
    SendMessageA(Control(), WM_LBUTTONDOWN, MK_LBUTTON, PointOf(layout, pos));
    dragging_ = true;
  }

  void Drag(int value) {
    if (!dragging_ || !IsWindow(Control())) return;
    SendMessageA(Control(), WM_MOUSEMOVE, MK_LBUTTON, PointOf(Layout(), value));
  }

  void Release() {
    if (!dragging_) return;
    dragging_ = false;
    if (IsWindow(Control())) SendMessageA(Control(), WM_LBUTTONUP, 0, PointOf(Layout(), slider_->value()));
    Resync();
  }

  // A click in the channel beside the thumb: the model pages towards it.
  void Paged(int action) {
    if (dragging_ || !IsWindow(Control())) return;
    if (action != QAbstractSlider::SliderPageStepAdd && action != QAbstractSlider::SliderPageStepSub) return;
    const win::TrackbarLayout layout = Layout();
    const RECT channel = layout.Channel();
    const RECT thumb = layout.Thumb();
    const bool towardsMax = action == QAbstractSlider::SliderPageStepAdd;
    LONG along = 0;
    if (layout.Vertical()) {
      along = towardsMax ? (thumb.bottom + channel.bottom) / 2 : (channel.top + thumb.top) / 2;
    } else {
      along = towardsMax ? (thumb.right + channel.right) / 2 : (channel.left + thumb.left) / 2;
    }
    const LONG across = layout.Vertical() ? (thumb.left + thumb.right) / 2 : (thumb.top + thumb.bottom) / 2;
    const LPARAM at = layout.Vertical() ? MAKELPARAM(across, along) : MAKELPARAM(along, across);
    SendMessageA(Control(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Control(), WM_LBUTTONUP, 0, at);
    Resync();
  }

  QSlider* slider_;
  bool dragging_ = false;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeTrackbarWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<TrackbarWidget>(control, new QSlider(parent));
}

}  // namespace win::display
