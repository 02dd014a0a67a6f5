// The common open and save dialogs. A dialog takes the next answer that a
// test or the automation queued; without one, the desktop's file dialog asks
// the pilot when a display is shown, and otherwise the dialog is cancelled
// (nothing waits). A name without a folder lies in the dialog's first folder;
// a name without an extension gets the default one. Every use is recorded
// and printed on stderr as "file dialog: ...".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/types.h"

class CWnd;

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;

struct FileDialogRecord {
  bool open = false;
  std::string defaultExtension;
  std::string filter;
  std::string initialFolder;
  DWORD flags = 0;
  // The chosen path; empty when the dialog was cancelled.
  std::string chosen;
};

// The fields of the platform's dialog structure the program sets.
struct OpenFileNameFields {
  const char* lpstrInitialDir = nullptr;
  DWORD Flags = 0;
};

class CFileDialog {
 public:
  // `filter` is in the class library's form ("Text (*.txt)|*.txt||").
  explicit CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                       DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                       CWnd* parent = nullptr);

  // IDOK with a path, or IDCANCEL.
  int DoModal();
  std::string GetPathName() const { return path_; }

  OpenFileNameFields m_ofn;

 private:
  bool open_;
  std::string defaultExtension_;
  std::string fileName_;
  std::string filter_;
  std::string path_;
};

// Answers for the next dialogs, first in first out; nullopt cancels one.
void QueueFileDialogAnswer(std::optional<std::string> answer);
void ClearFileDialogAnswers();
std::vector<FileDialogRecord> ShownFileDialogs();
void ClearShownFileDialogs();
