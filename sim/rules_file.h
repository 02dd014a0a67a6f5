// The line reader of "Rules.txt", the pilot's aircraft translation rules:
// INI-like sections of "key=value" lines, read afresh by every rule application.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sim/model_log.h"

inline constexpr char kRulesFileName[] = "Rules.txt";

class RulesFile {
 public:
  static constexpr std::size_t kMaxLineChars = 1'025;  // a longer line (tabs expanded) ends the reading
  static constexpr std::size_t kLineKept = 1'023;
  static constexpr std::size_t kEntryMax = 1'022;
  static constexpr std::size_t kKeyValueMax = 2'047;
  static constexpr int kTabWidth = 8;
  // A larger file is not read ("Could not allocate ..."): hand-written rules
  // for every installable model fit many times over, and a file of any size
  // must never exhaust the memory the program needs.
  static constexpr unsigned long long kMaxFileBytes = 16ULL * 1024 * 1024;

  // GetKeyString
  static constexpr int kKeyFound = 0;
  static constexpr int kKeyNotLoaded = -1;
  static constexpr int kKeyNextSection = -2;
  static constexpr int kKeyNoEquals = -3;
  static constexpr int kKeyNotFound = -100;
  static constexpr int kKeyDisabled = -11'003;
  // GetNextEntry
  static constexpr int kEntryFound = 0;
  static constexpr int kEntryNotLoaded = -1;
  static constexpr int kEntryFirstSectionLine = -2;
  static constexpr int kEntryFirstNone = -3;
  static constexpr int kEntrySectionNotFound = -100;
  static constexpr int kEntrySectionLine = -20;
  static constexpr int kEntryEndOfFile = -30;
  static constexpr int kEntryDisabled = -11'004;

  // Errors are written to `log` (when given and error reporting is on).
  explicit RulesFile(ModelLog* log = nullptr) : log_(log) {}

  // 1 loaded, 0 failure (disabled, no path, cannot open, too large to hold, cannot read); the path
  // may be of any length. LF alone is read as CR LF. The text's last byte is dropped, so a last line without a
  // line end is not read. An empty file loads with no lines.
  int Load(std::string_view path);
  // The value after '=' of `key` in `section` (both without case), cut to
  // outSize - 1 (and 2,047) characters.
  int GetKeyString(std::string_view section, std::string_view key, char* out, std::size_t outSize);
  // The next line of `section` ("[NAME]", found without case), trimmed, cut to
  // outSize - 1 (and 1,022) characters; `first` starts at the section line.
  int GetNextEntry(std::string_view section, char* out, std::size_t outSize, bool first);
  // 1 a line (cut to outSize - 1), 0 none.
  int GetNextLine(char* out, std::size_t outSize);
  // 1 a line, 0 end of text or a line of more than 1,025 characters. Blank
  // and comment lines are skipped; a tab counts as 8 blanks.
  int ReadLine(char* out, std::size_t outSize);
  void Free();

  bool Loaded() const { return loaded_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  void SetReportErrors(bool report) { reportErrors_ = report; }
  const std::string& Path() const { return path_; }
  int LineCount() const { return lineCount_; }
  int LineNumber() const { return lineNumber_; }

 private:
  bool ReadLineText(std::string& line);
  void Error(std::string_view text);

  ModelLog* log_;
  bool enabled_ = true;
  bool loaded_ = false;
  bool reportErrors_ = true;
  bool convertLineEnds_ = true;
  std::size_t fileSize_ = 0;
  int lineCount_ = 0;
  std::size_t position_ = 0;
  int lineNumber_ = 0;
  std::string path_;
  std::string text_;
  std::string line_;
  std::string lineCopy_;
};
