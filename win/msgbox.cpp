#include "win/msgbox.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "win/display_hooks.h"
#include "win/os_thread.h"

namespace {
struct BoxLog {
  std::mutex mutex;
  std::vector<MessageBoxRecord> shown;
  std::optional<int> answer;
  bool echo = true;
};

// Never destroyed: threads that outlive main may still show a box.
BoxLog& Log() {
  static BoxLog* log = new BoxLog();
  return *log;
}

}  // namespace

std::span<const int> MessageBoxButtons(UINT type) {
  static constexpr int kOk[] = {IDOK};
  static constexpr int kOkCancel[] = {IDOK, IDCANCEL};
  static constexpr int kAbortRetryIgnore[] = {IDABORT, IDRETRY, IDIGNORE};
  static constexpr int kYesNoCancel[] = {IDYES, IDNO, IDCANCEL};
  static constexpr int kYesNo[] = {IDYES, IDNO};
  static constexpr int kRetryCancel[] = {IDRETRY, IDCANCEL};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return kOkCancel;
    case MB_ABORTRETRYIGNORE: return kAbortRetryIgnore;
    case MB_YESNOCANCEL: return kYesNoCancel;
    case MB_YESNO: return kYesNo;
    case MB_RETRYCANCEL: return kRetryCancel;
    default: return kOk;
  }
}

int DefaultMessageBoxAnswer(UINT type) {
  const std::span<const int> buttons = MessageBoxButtons(type);
  const std::size_t index = (type & MB_DEFMASK) >> 8;
  return buttons[std::min(index, buttons.size() - 1)];
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  MessageBoxRecord record{caption != nullptr ? caption : "Error", text != nullptr ? text : "", type, owner};
  std::optional<int> answer;
  {
    BoxLog& log = Log();
    std::lock_guard lock(log.mutex);
    if (log.echo) std::fprintf(stderr, "%s: %s\n", record.title.c_str(), record.text.c_str());
    log.shown.push_back(record);
    answer = log.answer;
  }
  if (answer) return *answer;
  // Asked without the log's lock: a box waiting for the pilot keeps the UI
  // thread's messages served, and their handlers may raise boxes of their own.
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks != nullptr && hooks->messageBox) {
    const bool onUiThread = GetCurrentThreadId() == hooks->uiThread;
    if (std::optional<int> shown = hooks->messageBox(owner, record.text, record.title, type, onUiThread)) {
      return *shown;
    }
  }
  return DefaultMessageBoxAnswer(type);
}

namespace {
std::atomic<std::size_t> g_beeps{0};
}

BOOL MessageBeep(UINT) {
  g_beeps.fetch_add(1);
  return TRUE;
}

std::size_t MessageBeepCount() { return g_beeps.load(); }

std::vector<MessageBoxRecord> ShownMessageBoxes() {
  std::lock_guard lock(Log().mutex);
  return Log().shown;
}

void ClearShownMessageBoxes() {
  std::lock_guard lock(Log().mutex);
  Log().shown.clear();
}

void SetMessageBoxAnswer(std::optional<int> answer) {
  std::lock_guard lock(Log().mutex);
  Log().answer = answer;
}

void SetMessageBoxEcho(bool echo) {
  std::lock_guard lock(Log().mutex);
  Log().echo = echo;
}
