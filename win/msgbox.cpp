#include "win/msgbox.h"

#include <atomic>
#include <cstdio>
#include <mutex>

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

int DefaultAnswer(UINT type) {
  const int button = static_cast<int>((type & MB_DEFMASK) >> 8);
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return button == 0 ? IDOK : IDCANCEL;
    case MB_ABORTRETRYIGNORE: return button == 0 ? IDABORT : button == 1 ? IDRETRY : IDIGNORE;
    case MB_YESNOCANCEL: return button == 0 ? IDYES : button == 1 ? IDNO : IDCANCEL;
    case MB_YESNO: return button == 0 ? IDYES : IDNO;
    case MB_RETRYCANCEL: return button == 0 ? IDRETRY : IDCANCEL;
    default: return IDOK;
  }
}
}  // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  BoxLog& log = Log();
  std::lock_guard lock(log.mutex);
  MessageBoxRecord record{caption != nullptr ? caption : "Error", text != nullptr ? text : "", type, owner};
  if (log.echo) std::fprintf(stderr, "%s: %s\n", record.title.c_str(), record.text.c_str());
  log.shown.push_back(std::move(record));
  return log.answer.value_or(DefaultAnswer(type));
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
