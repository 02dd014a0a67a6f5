#include "win/file_dialog.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "win/display_hooks.h"
#include "win/msgbox.h"
#include "win/paths.h"

namespace {

struct Answers {
  std::mutex mutex;
  std::deque<std::optional<std::string>> queued;
  std::vector<FileDialogRecord> shown;
};

Answers& TheAnswers() {
  static auto* answers = new Answers();
  return *answers;
}

// The next queued answer (itself nullopt for a cancel); nullopt when none is queued.
std::optional<std::optional<std::string>> TakeAnswer() {
  Answers& a = TheAnswers();
  std::lock_guard lock(a.mutex);
  if (a.queued.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(a.queued.front());
  a.queued.pop_front();
  return answer;
}

bool HasExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, CWnd*)
    : open_(openFileDialog != FALSE),
      defaultExtension_(defaultExtension != nullptr ? defaultExtension : ""),
      fileName_(fileName != nullptr ? fileName : ""),
      filter_(filter != nullptr ? filter : "") {
  m_ofn.Flags = flags;
}

int CFileDialog::DoModal() {
  FileDialogRecord record;
  record.open = open_;
  record.defaultExtension = defaultExtension_;
  record.filter = filter_;
  record.initialFolder = m_ofn.lpstrInitialDir != nullptr ? m_ofn.lpstrInitialDir : "";
  record.flags = m_ofn.Flags;
  std::optional<std::string> answer;
  if (std::optional<std::optional<std::string>> queued = TakeAnswer()) {
    answer = std::move(*queued);
  } else if (const win::display::Hooks* hooks = win::display::CurrentHooks(); hooks != nullptr && hooks->fileDialog) {
    win::display::FileDialogAsk ask{open_, defaultExtension_, filter_, record.initialFolder, fileName_, record.flags};
    answer = hooks->fileDialog(ask);
  }
  if (answer && !answer->empty()) {
    std::string path = *answer;
    if (path.front() != '/') path = JoinPath(record.initialFolder.empty() ? CurrentFolder() : record.initialFolder, path);
    if (!defaultExtension_.empty() && !HasExtension(path)) {
      path += defaultExtension_.front() == '.' ? defaultExtension_ : "." + defaultExtension_;
    }
    record.chosen = path;
  }
  std::fprintf(stderr, "file dialog: %s %s\n", open_ ? "open" : "save",
               record.chosen.empty() ? "(cancelled)" : record.chosen.c_str());
  path_ = record.chosen;
  {
    Answers& a = TheAnswers();
    std::lock_guard lock(a.mutex);
    a.shown.push_back(record);
  }
  return path_.empty() ? IDCANCEL : IDOK;
}

void QueueFileDialogAnswer(std::optional<std::string> answer) {
  Answers& a = TheAnswers();
  std::lock_guard lock(a.mutex);
  a.queued.push_back(std::move(answer));
}

void ClearFileDialogAnswers() {
  Answers& a = TheAnswers();
  std::lock_guard lock(a.mutex);
  a.queued.clear();
}

std::vector<FileDialogRecord> ShownFileDialogs() {
  Answers& a = TheAnswers();
  std::lock_guard lock(a.mutex);
  return a.shown;
}

void ClearShownFileDialogs() {
  Answers& a = TheAnswers();
  std::lock_guard lock(a.mutex);
  a.shown.clear();
}
