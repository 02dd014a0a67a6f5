#include "win/display/desktop_modal.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <limits>
#include <mutex>

#include "win/app.h"
#include "win/clock.h"
#include "win/message_queue.h"
#include "win/messages.h"
#include "win/window.h"
#include "win/window_pos.h"

namespace win::display {

namespace {

// Without the display's own wait (nothing registered to wake the toolkit
// when win/ queues something), the loop looks at the queue this often.
constexpr int kUnwokenSliceMs = 10;

// Milliseconds until the thread's next timer is due; -1 when none runs.
int UntilNextTimer() {
  const std::shared_ptr<detail::ThreadQueue> queue = detail::CurrentQueue();
  std::lock_guard lock(queue->mutex);
  const std::optional<std::uint64_t> due = detail::NextTimerDue(queue->timers, 0, 0, 0);
  if (!due) return -1;
  const std::uint64_t now = GetTickCount64();
  if (*due <= now) return 0;
  return static_cast<int>(std::min<std::uint64_t>(*due - now, std::numeric_limits<int>::max()));
}

void WaitForToolkit(int timeoutMs) {
  QTimer slice;
  slice.setSingleShot(true);
  slice.start(timeoutMs < 0 ? kUnwokenSliceMs : std::min(timeoutMs, kUnwokenSliceMs));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

bool WidgetsUsable() {
  const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app != nullptr && app->thread() == QThread::currentThread();
}

bool RunModalLoop(const Hooks& hooks, const std::function<bool()>& finished) {
  while (!finished()) {
    MSG msg;
    if (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      CWinApp* app = AfxGetApp();
      if (msg.hwnd == 0 && msg.message == QuitRequestMessage()) {
        // A signal's quit request must not be lost while the pilot is asked.
        if (app != nullptr) app->OnQuitRequest();
      } else if (app == nullptr || !app->PreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      continue;
    }
    const int timeoutMs = UntilNextTimer();
    if (hooks.waitForEvents) {
      hooks.waitForEvents(timeoutMs);
    } else {
      WaitForToolkit(timeoutMs);
    }
  }
  return true;
}

void WakeModalLoop(const Hooks& hooks) {
  if (hooks.wakeUiThread) hooks.wakeUiThread();
}

void CentreOverOwner(QWidget& widget, HWND owner) {
  while (const HWND parent = GetParent(owner)) owner = parent;
  RECT rect{};
  if (owner == 0 || !GetWindowRect(owner, &rect)) return;
  const QPoint centre((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  widget.move(centre - QPoint(widget.width() / 2, widget.height() / 2));
}

}  // namespace win::display
