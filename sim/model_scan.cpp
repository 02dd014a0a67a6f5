#include "sim/model_scan.h"

#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "base/klib_settings.h"
#include "core/model_scan_state.h"
#include "sim/ai_lock.h"
#include "sim/aircraft_type_lookup.h"
#include "sim/directory_walker.h"
#include "core/text_fields.h"
#include "sim/title_matcher.h"
#include "sim/title_type_scorer.h"
#include "win/ascii_case.h"

namespace {

constexpr bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The last `parts` components of a '/' path, joined by backslashes (fewer when
// the path has fewer), into `joined` (reused from model to model).
void LastComponents(std::string_view path, int parts, std::string& joined) {
  std::array<std::string_view, 3> found{};
  int n = 0;
  while (n < parts && !path.empty()) {
    const std::size_t slash = path.rfind('/');
    const std::string_view part = slash == std::string_view::npos ? path : path.substr(slash + 1);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    if (!part.empty()) found[static_cast<std::size_t>(n++)] = part;
  }
  joined.clear();
  for (int i = n - 1; i >= 0; --i) {
    joined += found[static_cast<std::size_t>(i)];
    if (i != 0) joined += '\\';
  }
}

// The model's title ("<parent folder>\\<model folder>\\<file name>") and type
// text ("<model folder>\\<file name>") from the folder it was found in, fewer
// folders when the path has fewer.
void ModelTexts(std::string_view folder, std::string_view name, std::string& title, std::string& typeText) {
  LastComponents(folder, 2, title);
  const std::size_t mark = title.rfind('\\');
  typeText.assign(title, mark == std::string::npos ? 0 : mark + 1);
  if (!title.empty()) {
    title += '\\';
    typeText += '\\';
  }
  title += name;
  typeText += name;
}

// The type of one model from its "model folder\file name" text.
// `typeText` is normalised in place.
void FindModelType(std::string& typeText, const TitleTypeIndex& scorerIndex, LocalModelRecord& record) {
  NormaliseTitle(typeText.data());
  char type[kModelTypeSize] = {};
  int military = 0;
  const int listed = MatchTitleToIcaoType(std::string_view(typeText), type, &military);
  if (listed >= kTitleMatchCertain) {
    record.typeScore = kTitleMatchCertain;
    record.military = military;
  } else {
    char guessed[kModelTypeSize] = {};
    const int points = GuessIcaoTypeFromTitle(typeText.c_str(), guessed, scorerIndex);
    if (points > 0) {
      record.typeScore = points;
      std::memcpy(type, guessed, sizeof type);
    } else {
      record.typeScore = listed;
    }
  }
  type[sizeof type - 1] = '\0';
  TrimSpaces(record.icaoType, type);
}

void SetClassData(const AircraftTypeLookup& lookup, const AircraftTypeDb& types, LocalModelRecord& record) {
  const int index = lookup.Find(FieldText(record.icaoType));
  if (index < 0) return;
  const AircraftTypeRecord& found = types.records[index];
  CopyCut(record.classCode, FieldText(found.classCode));
  CopyCut(record.fifth, FieldText(found.fifth));
}

void WriteScanLine(ModelLog& log, const ModelScanCount& count) {
  log.Write(kColourNormal, "\r\nRead: ");
  log.Write(kColourEmphasis, std::to_string(count.filesFound));
  log.Write(kColourNormal, " files, ");
  log.Write(kColourEmphasis, std::to_string(count.modelsStored) + " ");
  log.Write(kColourNormal, "liveries available for multiplayer session.");
}

// The words of a setting, upper-cased, split at blanks.
std::vector<std::string> SettingWords(std::string_view setting) {
  std::vector<std::string> words;
  const std::string upper = AsciiUpper(setting);
  std::size_t at = 0;
  while (at < upper.size()) {
    const std::size_t blank = upper.find(' ', at);
    const std::size_t end = blank == std::string::npos ? upper.size() : blank;
    if (end > at) words.push_back(upper.substr(at, end - at));
    at = end + 1;
  }
  return words;
}
}  // namespace

void PublishWorkingTable(LocalModelTables& tables, LocalModelTable& from, int count) {
  AiGuard guard;
  std::swap(tables.working.records, from.records);
  tables.working.count = count;
  from.count = 0;
}

ModelScanCount ScanAircraftFolder(const std::string& aircraftFolder, LocalModelTables& tables,
                                  const AircraftTypeDb& types, ModelLog& log) {
  ModelScanCount count;
  if (!tables.Allocated()) return count;
  const AircraftTypeLookup lookup(types);
  const TitleTypeIndex scorerIndex(types);
  LocalModelTable& building = tables.scratchA;
  int stored = 0;
  std::string title;
  std::string typeText;
  // Each model is typed as the walk meets it, while its folder's listing is still warm.
  const auto enter = [&](const std::string& folder, const WIN32_FIND_DATAA& file) {
    ++count.filesFound;
    if (stored >= kMaxLocalModels) return;
    const char* name = file.cFileName;
    if (!IsAsciiLetterOrDigit(name[0])) return;
    ModelTexts(folder, name, title, typeText);
    if (title.size() >= kModelTitleSize) {
      log.Write(kColourNormal, "\tPath " + title + " is too long, this aircraft will not be taken into account.\r\n");
      return;
    }
    LocalModelRecord& record = building.records[stored];
    std::memset(&record, 0, sizeof record);
    FindModelType(typeText, scorerIndex, record);
    CopyCut(record.title, title);
    SetClassData(lookup, types, record);
    tables.copy.records[stored] = record;  // while the record is still in the cache
    ++stored;
  };

  DirectoryWalker::Options options;
  options.root = aircraftFolder;
  options.fileIncludes = kModelFileIncludes;
  options.folderExcludes = kModelFolderExcludes;
  options.kindsOnly = true;  // the scan reads names and kinds alone
  options.onFile = enter;
  DirectoryWalker walker(std::move(options));
  walker.Walk();
  count.modelsStored = stored;

  tables.copy.count = stored;
  PublishWorkingTable(tables, building, stored);
  WriteScanLine(log, count);
  return count;
}

void ApplyExcludedPlanes(LocalModelTables& tables, std::string_view excludedPlanes) {
  if (!tables.Allocated() || tables.copy.count == 0) return;
  const std::vector<std::string> words = SettingWords(excludedPlanes);
  LocalModelTable& kept = tables.scratchB;
  int count = 0;
  std::string text;
  for (const LocalModelRecord& record : tables.copy) {
    text.assign(FieldText(record.title));
    text += ' ';
    text += FieldText(record.icaoType);
    text += ' ';
    text += FieldText(record.spare);
    AsciiUpperInPlace(text.data());
    bool dropped = false;
    for (const std::string& word : words) {
      if (text.find(word) != std::string::npos) {
        dropped = true;
        break;
      }
    }
    if (!dropped) kept.records[count++] = record;
  }
  PublishWorkingTable(tables, kept, count);
}

void ApplyPackageOrder(LocalModelTables& tables, std::string_view packageOrder) {
  if (!tables.Allocated() || tables.working.count == 0 || packageOrder.empty()) return;
  const std::vector<std::string> prefixes = SettingWords(packageOrder);
  const int count = tables.working.count;
  std::vector<bool> taken(static_cast<std::size_t>(count), false);
  LocalModelTable& ordered = tables.scratchB;
  int out = 0;
  for (const std::string& word : prefixes) {
    const std::string prefix = word + " ";
    for (int i = 0; i < count; ++i) {
      if (taken[static_cast<std::size_t>(i)]) continue;
      if (FieldText(tables.working.records[i].title).starts_with(prefix)) {
        ordered.records[out++] = tables.working.records[i];
        taken[static_cast<std::size_t>(i)] = true;
      }
    }
  }
  for (int i = 0; i < count; ++i)
    if (!taken[static_cast<std::size_t>(i)]) ordered.records[out++] = tables.working.records[i];
  PublishWorkingTable(tables, ordered, out);
}

// The flag lives in core/: the plug-in link reads it when its handshake completes.
bool ModelScanDone() { return g_modelScanFinished.load(std::memory_order_acquire); }
void SetModelScanDone(bool done) { g_modelScanFinished.store(done, std::memory_order_release); }
