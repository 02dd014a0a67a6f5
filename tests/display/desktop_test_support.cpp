#include "desktop_test_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "win/display/desktop_dialogs.h"
#include "win/display_hooks.h"
#include "win/file_dialog.h"
#include "win/menu.h"
#include "win/msgbox.h"
#include "win/os_thread.h"

namespace desktop_test {

namespace {
// The offscreen platform's notices about what it cannot do stay out of the output.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Hook sets live for the process by design; the ones a test cleared are kept
// here so they stay reachable.
std::vector<const win::display::Hooks*>& RetiredHooks() {
  static auto* retired = new std::vector<const win::display::Hooks*>();
  return *retired;
}
// The display's wait as the display runs it: Qt's events until a wake or the
// time is up. Waits nest (a modal wait raised from an event inside another),
// and a wake ends every wait in progress, each caller then looking again at
// what it waits for. A wake that comes while none waits ends the next at once.
struct DisplayWait {
  std::mutex mutex;
  std::vector<QEventLoop*> loops;
  bool woken = false;
  std::vector<int> asked;
};

DisplayWait& TheWait() {
  static auto* wait = new DisplayWait();
  return *wait;
}

void WaitForEvents(int timeoutMs) {
  DisplayWait& wait = TheWait();
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  {
    std::lock_guard lock(wait.mutex);
    wait.asked.push_back(timeoutMs);
    if (wait.woken) {
      wait.woken = false;
      return;
    }
    wait.loops.push_back(&loop);
  }
  if (timeoutMs >= 0) limit.start(timeoutMs);
  loop.exec();
  std::lock_guard lock(wait.mutex);
  std::erase(wait.loops, &loop);
}

void WakeUiThread() {
  DisplayWait& wait = TheWait();
  std::lock_guard lock(wait.mutex);
  if (wait.loops.empty()) wait.woken = true;
  for (QEventLoop* loop : wait.loops) QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

}  // namespace

std::vector<int> DisplayWaitTimes() {
  std::lock_guard lock(TheWait().mutex);
  return TheWait().asked;
}

bool EnsureWidgetsApplication() {
  if (QCoreApplication::instance() == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(&QuietQtMessages);
    static int argc = 1;
    static char name[] = "tests_display";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void DesktopHooksTest::SetUp() {
  if (!EnsureWidgetsApplication()) GTEST_SKIP() << "a Qt application without widgets came first";
  win::display::Hooks hooks;
  hooks.uiThread = GetCurrentThreadId();
  if (withDisplayWait_) {
    hooks.waitForEvents = &WaitForEvents;
    hooks.wakeUiThread = &WakeUiThread;
    std::lock_guard lock(TheWait().mutex);
    TheWait().asked.clear();
    TheWait().loops.clear();
    TheWait().woken = false;
  }
  win::display::AddDesktopDialogHooks(hooks);
  win::display::SetHooks(std::move(hooks));
  SetMessageBoxEcho(false);
  ClearShownMessageBoxes();
  ClearShownFileDialogs();
  ClearTrackedMenus();
}

void DesktopHooksTest::TearDown() {
  if (const win::display::Hooks* hooks = win::display::CurrentHooks()) RetiredHooks().push_back(hooks);
  win::display::ClearHooks();
  SetMessageBoxAnswer(std::nullopt);
  SetMessageBoxEcho(true);
  ClearShownMessageBoxes();
  ClearFileDialogAnswers();
  ClearShownFileDialogs();
  SetTrackedMenuChoice(std::nullopt);
  SetMenuCapture(nullptr);
  ClearTrackedMenus();
  for (QWidget* widget : QApplication::topLevelWidgets()) widget->deleteLater();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Pilot::Pilot(std::function<bool()> act) : act_(std::move(act)), timer_(new QTimer()) {
  QObject::connect(timer_, &QTimer::timeout, [this] {
    if (done_ || acting_) return;
    acting_ = true;
    done_ = act_();
    acting_ = false;
    if (done_) timer_->stop();
  });
  timer_->start(5);
}

Pilot::~Pilot() { delete timer_; }

LRESULT RecordingWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard lock(mutex_);
    received_.push_back(MSG{m_hWnd, message, wParam, lParam, 0});
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

std::vector<MSG> RecordingWindow::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool RecordingWindow::Got(UINT message, WPARAM wParam) const {
  std::lock_guard lock(mutex_);
  for (const MSG& msg : received_) {
    if (msg.message == message && msg.wParam == wParam) return true;
  }
  return false;
}

bool PumpUntil(int timeoutMs, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    QTimer slice;
    slice.setSingleShot(true);
    slice.start(5);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace desktop_test
