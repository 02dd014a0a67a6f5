#include "sim/rules_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "base/klib_settings.h"
#include "core/table_memory.h"
#include "win/ascii_case.h"

namespace {
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

void CopyOut(std::string_view text, char* out, std::size_t outSize, std::size_t limit) {
  if (out == nullptr || outSize == 0) return;
  const std::size_t n = std::min({text.size(), outSize - 1, limit});
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

bool IsSectionLine(std::string_view line) { return !line.empty() && line.front() == '['; }

// The room the reading asks for beyond the file, and beyond its converted text.
constexpr unsigned long long kFileBufferSlack = 10'240;
constexpr unsigned long long kConvertedBufferSlack = 102'400;
}  // namespace

void RulesFile::Error(std::string_view text) {
  if (reportErrors_ && log_ != nullptr) log_->Write(kColourError, text);
}

int RulesFile::Load(std::string_view path) {
  Free();
  // The path is held whole: a program folder deep in the tree still has its rules.
  if (!enabled_ || path.empty()) return 0;
  path_.assign(path);
  unsigned long long size = 0;
  FilePtr file = OpenDataFile(path_, &size);
  if (!file) return 0;
  const auto cannotHold = [this](unsigned long long bytes) {
    Error("\r\nError : Could not allocate " + std::to_string(bytes + kFileBufferSlack) + " buffer bytes for file " + path_);
    return 0;
  };
  if (size > kMaxFileBytes) return cannotHold(size);
  std::string raw;
  try {
    raw.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return cannotHold(size);
  }
  if (size != 0 && std::fread(raw.data(), 1, raw.size(), file.get()) != raw.size()) {
    Error("\r\nError : Could not read file " + path_);
    return 0;
  }
  fileSize_ = raw.size();
  if (convertLineEnds_) {
    std::size_t loneLineFeeds = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) ++loneLineFeeds;
    }
    const std::size_t converted = raw.size() + loneLineFeeds;
    try {
      text_.reserve(converted);
    } catch (const std::bad_alloc&) {
      Error("\r\nError : Could not allocate " + std::to_string(converted + kConvertedBufferSlack) +
            " bytes for the second buffer.");
      return 0;
    }
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) text_ += '\r';
      text_ += raw[i];
    }
  } else {
    text_ = std::move(raw);
  }
  lineCount_ = static_cast<int>(std::count(text_.begin(), text_.end(), '\n'));
  if (lineCount_ != 0) ++lineCount_;
  // The text ends where its last byte was: a last line needs its line end to be read.
  if (!text_.empty()) text_.pop_back();
  loaded_ = true;
  return 1;
}

void RulesFile::Free() {
  loaded_ = false;
  text_.clear();
  text_.shrink_to_fit();
  position_ = 0;
  lineNumber_ = 0;
  lineCount_ = 0;
  fileSize_ = 0;
}

bool RulesFile::ReadLineText(std::string& line) {
  line.clear();
  bool comment = false;
  std::size_t chars = 0;  // with tabs expanded, comments included
  while (position_ < text_.size()) {
    const char c = text_[position_++];
    if (c == '\r') {
      if (!comment && !Trimmed(line).empty()) return true;
      line.clear();
      comment = false;
      chars = 0;
      continue;
    }
    if (c == '\n') {
      ++lineNumber_;
      continue;
    }
    if (comment) continue;
    chars += c == '\t' ? kTabWidth : 1;
    if (chars > kMaxLineChars) return false;
    if (c == ';' && Trimmed(line).empty()) {
      comment = true;
      continue;
    }
    const std::size_t room = kLineKept - line.size();
    if (c == '\t') {
      line.append(std::min<std::size_t>(kTabWidth, room), ' ');
    } else if (room != 0) {
      line += c;
    }
  }
  return false;
}

int RulesFile::ReadLine(char* out, std::size_t outSize) {
  if (!loaded_) {
    Error("\r\nError code xGNTL B.");
    return 0;
  }
  if (!ReadLineText(line_)) return 0;
  lineCopy_ = line_;
  CopyOut(line_, out, outSize, kLineKept);
  return 1;
}

int RulesFile::GetNextLine(char* out, std::size_t outSize) {
  if (!loaded_) {
    Error("\r\nError code GNTL A.");
    return 0;
  }
  return ReadLine(out, outSize);
}

int RulesFile::GetNextEntry(std::string_view section, char* out, std::size_t outSize, bool first) {
  if (!enabled_) return kEntryDisabled;
  if (!loaded_) {
    Error("\r\nError code GNE A.");
    return kEntryNotLoaded;
  }
  if (first) {
    position_ = 0;
    lineNumber_ = 0;
    std::string wanted = "[";
    wanted.append(AsciiUpper(section)).append("]");
    bool found = false;
    while (ReadLineText(line_)) {
      if (AsciiUpper(line_).find(wanted) != std::string::npos) {
        found = true;
        break;
      }
    }
    if (!found) return kEntrySectionNotFound;
    if (!ReadLineText(line_)) return kEntryFirstNone;
    const std::string_view entry = Trimmed(line_);
    if (IsSectionLine(entry)) return kEntryFirstSectionLine;
    CopyOut(entry, out, outSize, kEntryMax);
    return kEntryFound;
  }
  if (!ReadLineText(line_)) return kEntryEndOfFile;
  const std::string_view entry = Trimmed(line_);
  if (IsSectionLine(entry)) return kEntrySectionLine;
  CopyOut(entry, out, outSize, kEntryMax);
  return kEntryFound;
}

int RulesFile::GetKeyString(std::string_view section, std::string_view key, char* out, std::size_t outSize) {
  if (!enabled_) return kKeyDisabled;
  if (!loaded_) {
    Error("\r\nError code GKS A.");
    return kKeyNotLoaded;
  }
  const std::string wantedKey = AsciiUpper(Trimmed(key));
  std::string entry(kEntryMax + 1, '\0');
  for (int r = GetNextEntry(section, entry.data(), entry.size(), true);; r = GetNextEntry(section, entry.data(), entry.size(), false)) {
    if (r == kEntryFirstSectionLine || r == kEntrySectionLine) return kKeyNextSection;
    if (r != kEntryFound) return kKeyNotFound;
    const std::string_view line(entry.c_str());
    const std::size_t equals = line.find('=');
    const std::string_view name = Trimmed(line.substr(0, equals));
    if (AsciiUpper(name) != wantedKey) continue;
    if (equals == std::string_view::npos) return kKeyNoEquals;
    CopyOut(Trimmed(line.substr(equals + 1)), out, outSize, kKeyValueMax);
    return kKeyFound;
  }
}
