#include "win/display/window_snapshot.h"

#include <QPixmap>
#include <QWidget>

#include "win/display/mirror.h"
#include "win/os_thread.h"
#include "win/update_region.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace win::display {
namespace {

// The window's and its controls' pending paints, as the loop would run them.
void PaintAll(HWND hwnd) {
  win::detail::PaintNow(hwnd);
  for (HWND child : win::detail::ChildrenOf(hwnd)) {
    win::detail::SlotPtr slot = win::detail::FindSlot(child);
    if (slot && slot->templateId == 0 && slot->ownerThread == GetCurrentThreadId()) PaintAll(child);
  }
}

}  // namespace

bool SnapshotWindow(Mirror& mirror, HWND window, const std::string& path) {
  if (!IsWindow(window)) return false;
  PaintAll(window);
  const bool had = mirror.WidgetOf(window) != nullptr;
  QWidget* widget = mirror.WindowWidgetOf(window);
  if (widget == nullptr) return false;
  mirror.Sync();
  const bool saved = widget->grab().save(QString::fromStdString(path), "PNG");
  if (!had && !mirror.OnScreen()) mirror.Forget(window);
  return saved;
}

}  // namespace win::display
