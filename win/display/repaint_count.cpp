#include "win/display/repaint_count.h"

#include <QEvent>
#include <QWidget>

#include "win/display/surface_widget.h"
#include "win/display/widget_support.h"
#include "win/display/window_widget.h"

namespace win::display {

namespace {

// The window a widget shows: its own or that of the nearest widget above it
// that shows one; 0 for the toolkit's own windows (boxes, menus).
HWND WindowShownBy(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    if (const QVariant control = widget->property(kControlProperty); control.isValid()) {
      return static_cast<HWND>(control.toULongLong());
    }
    if (const auto* surface = dynamic_cast<const SurfaceWidget*>(widget)) return surface->Window();
    if (const auto* window = dynamic_cast<const WindowWidget*>(widget)) return window->Window();
  }
  return 0;
}

}  // namespace

std::vector<std::pair<HWND, std::uint64_t>> RepaintCount::Take() {
  std::map<HWND, std::uint64_t> taken;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(counts_);
  }
  return {taken.begin(), taken.end()};
}

bool RepaintCount::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && watched->isWidgetType()) {
    if (const HWND hwnd = WindowShownBy(static_cast<const QWidget*>(watched)); hwnd != 0) {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++counts_[hwnd];
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace win::display
