#include "win/display/display.h"

#include <QApplication>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "win/app.h"
#include "win/display/desktop_dialogs.h"
#include "win/display/event_loop.h"
#include "win/display/mirror.h"
#include "win/display/repaint_count.h"
#include "win/display/window_snapshot.h"
#include "win/display_hooks.h"
#include "win/os_thread.h"
#include "win/qt_app.h"

namespace win::display {

namespace {

struct Display {
  bool onScreen = false;
  DWORD uiThread = 0;
  std::unique_ptr<Mirror> mirror;
  std::unique_ptr<EventLoop> loop;
  std::unique_ptr<RepaintCount> repaints;
};

// Made and used on the UI thread alone; other threads reach it only through
// the hooks, which take the mirror's own lock or the toolkit's wake.
Display* g_display = nullptr;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The toolkit on the calling thread: offscreen when not shown; shown, the
// desktop's own platform, falling back to offscreen (then false) when the
// desktop cannot be reached. A platform named in QT_QPA_PLATFORM is kept.
bool MakeApplication(bool show) {
  bool chosen = false;
  if (!show) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  } else if (!IsSet("QT_QPA_PLATFORM")) {
    setenv("QT_QPA_PLATFORM", IsSet("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen", 1);
    chosen = true;
  }
  win::detail::MakeQtApplication([](int& argc, char** argv) { new QApplication(argc, argv); });
  // The programs this one starts choose for themselves.
  if (chosen) unsetenv("QT_QPA_PLATFORM");
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  return show && !(chosen && QGuiApplication::platformName() == QStringLiteral("offscreen"));
}

void (*g_finish)(int) = nullptr;

// The toolkit ends the process right after telling of a broken connection to
// the desktop (an X server or Wayland compositor gone);
// the program ends itself first, in order, without the desktop: no widget is
// touched again, the loop waits on its own queue, boxes answer as headless.
void WatchForTheDesktopGoing(const QString& message) {
  if (!message.contains(QStringLiteral("X11 connection broke")) &&
      !message.contains(QStringLiteral("Wayland connection broke"))) {
    return;
  }
  if (g_display == nullptr || !g_display->onScreen || GetCurrentThreadId() != g_display->uiThread) return;
  static bool ending = false;
  if (ending) return;
  ending = true;
  g_display->onScreen = false;
  ClearHooks();
  int code = 1;
  if (CWinApp* app = AfxGetApp(); app != nullptr && RequestApplicationQuit()) {
    app->Run();
    code = app->ExitInstance();
  }
  if (g_finish != nullptr) g_finish(code);
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace

void WhenDesktopGone(void (*finish)(int exitCode)) { g_finish = finish; }

bool ShouldShow(int argc, char** argv) {
  const char* headless = std::getenv("TK_HEADLESS");
  if (headless != nullptr && std::strcmp(headless, "1") == 0) return false;
  for (int i = 1; i < argc; ++i)
    if (argv[i] != nullptr && std::strcmp(argv[i], "--display") == 0) return true;
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

bool Start(bool show) {
  if (g_display != nullptr) return g_display->onScreen;
  const bool onScreen = MakeApplication(show);
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  auto* display = new Display();
  g_display = display;
  display->onScreen = onScreen;
  display->uiThread = GetCurrentThreadId();
  Mirror* mirror = nullptr;
  Hooks hooks;
  hooks.uiThread = GetCurrentThreadId();
  if (onScreen) {
    display->loop = std::make_unique<EventLoop>([display] {
      const bool between = !display->loop->InEvents();
      display->mirror->SetMayDelete(between);
      display->mirror->Sync();
      if (between) display->mirror->RunLater();
    });
    EventLoop* loop = display->loop.get();
    display->mirror = std::make_unique<Mirror>(true, [loop] { loop->Wake(); });
    mirror = display->mirror.get();
    hooks.windowChanged = [mirror](HWND hwnd, unsigned changes) { mirror->Record(hwnd, changes); };
    hooks.waitForEvents = [loop](int timeoutMs) { loop->Wait(timeoutMs); };
    hooks.wakeUiThread = [loop] { loop->Wake(); };
    AddDesktopDialogHooks(hooks);
    win::detail::SetQtWarningWatch(&WatchForTheDesktopGoing);
    display->repaints = std::make_unique<RepaintCount>();
    RepaintCount* repaints = display->repaints.get();
    QCoreApplication::instance()->installEventFilter(repaints);
    hooks.takeRepaints = [repaints] { return repaints->Take(); };
  } else {
    display->mirror = std::make_unique<Mirror>(false, nullptr);
    mirror = display->mirror.get();
  }
  hooks.snapshotWindow = [mirror](HWND window, const std::string& path) {
    return SnapshotWindow(*mirror, window, path);
  };
  SetHooks(std::move(hooks));
  return onScreen;
}

Mirror* CurrentMirror() { return g_display != nullptr ? g_display->mirror.get() : nullptr; }

bool Showing() { return g_display != nullptr && g_display->onScreen; }

void Stop() {
  if (g_display == nullptr) return;
  ClearHooks();
  // The hooks set stay readable for the process (win/display_hooks.h): what
  // they reach stays too, only its widgets go. A later Start finds it stopped.
  g_display->onScreen = false;
  if (g_display->repaints) QCoreApplication::instance()->removeEventFilter(g_display->repaints.get());
  g_display->mirror->Clear();
}

}  // namespace win::display
