#include "reference_models.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "base/klib_settings.h"
#include "core/text_fields.h"
#include "sim/ai_lock.h"
#include "sim/aircraft_type_lookup.h"
#include "sim/title_matcher.h"
#include "sim/title_rules.h"
#include "sim/title_type_scorer.h"
#include "sim/wildcard_list.h"
#include "win/ascii_case.h"
#include "win/paths.h"

namespace reference {
namespace {
constexpr std::array<std::string_view, 7> kAiPackagePrefixes = {"VIP", "GLOBS", "PAI", "AIA", "ATOC", "TAVKO", "CFSO"};
constexpr std::string_view kWordSeparators = " _+";

constexpr int kMakerPoints = 40;
constexpr int kModelContainsPoints = 30;
constexpr int kMakerAndModelPoints = 100;
constexpr int kShortTypePoints = 1;
constexpr int kTypeTailPoints = 50;
constexpr int kTypeHeadPoints = 40;
constexpr int kTypeFourPoints = 50;

// The words of a title, split at runs of separators.
class TitleWords {
 public:
  explicit TitleWords(std::string_view title) : rest_(title) {}
  bool Next(std::string_view& word) {
    const std::size_t start = rest_.find_first_not_of(kWordSeparators);
    if (start == std::string_view::npos) return false;
    rest_.remove_prefix(start);
    const std::size_t end = std::min(rest_.find_first_of(kWordSeparators), rest_.size());
    word = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return true;
  }

 private:
  std::string_view rest_;
};

// Runs once per word and record: the first character sifts the places.
bool ContainsNoCase(std::string_view text, std::string_view word) {
  if (word.empty()) return true;
  if (word.size() > text.size()) return false;
  const char first = AsciiToUpper(word[0]);
  for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
    if (AsciiToUpper(text[at]) == first && AsciiEqualNoCase(text.substr(at + 1, word.size() - 1), word.substr(1))) {
      return true;
    }
  }
  return false;
}

// strnicmp over n characters: a text shorter than n equals only a text as short.
bool EqualFirstNoCase(std::string_view a, std::string_view b, std::size_t n) {
  return AsciiEqualNoCase(a.substr(0, n), b.substr(0, n));
}

void WriteType(char* type, std::string_view value) {
  const std::size_t length = std::min(value.size(), kTitleTypeLength);
  for (std::size_t i = 0; i < length; ++i) type[i] = AsciiToUpper(value[i]);
  type[length] = '\0';
}
int PointsOfWord(std::string_view word, const AircraftTypeRecord& record) {
  const std::string_view maker = FieldText(record.manufacturer);
  const std::string_view model = FieldText(record.model);
  const std::string_view icao = FieldText(record.icaoType);
  int points = 0;
  const bool makerEqual = AsciiEqualNoCase(maker, word);
  if (makerEqual) points += kMakerPoints;
  if (ContainsNoCase(model, word)) points += kModelContainsPoints;
  if (makerEqual && AsciiEqualNoCase(model, word)) points += kMakerAndModelPoints;
  if (icao.size() < 4) {
    if (icao.size() > 2 && word.size() > 2 && EqualFirstNoCase(icao, word, 3)) points += kShortTypePoints;
  } else if (word.size() < 4) {
    if (EqualFirstNoCase(icao.substr(1), word, 3)) {
      points += kTypeTailPoints;
    } else if (EqualFirstNoCase(icao, word, 3)) {
      points += kTypeHeadPoints;
    }
  } else if (EqualFirstNoCase(icao, word, 4)) {
    points += kTypeFourPoints;
  }
  return points;
}

}  // namespace

int GuessIcaoTypeFromTitle(const char* title, char* type, const AircraftTypeDb& db) {
  if (title == nullptr || type == nullptr || !db.loaded || !db.Allocated()) return 0;
  TitleWords words(title);
  std::string_view first;
  if (!words.Next(first)) return 0;
  for (const std::string_view prefix : kAiPackagePrefixes) {
    if (!AsciiEqualNoCase(first, prefix)) continue;
    std::string_view second;
    if (!words.Next(second)) return 0;
    WriteType(type, second);
    return kTitleGuessAiPackage;
  }

  int best = 0;
  const AircraftTypeRecord* winner = nullptr;
  TitleWords all(title);
  for (std::string_view word; all.Next(word);) {
    for (int i = 0; i < db.count; ++i) {
      const int points = PointsOfWord(word, db.records[i]);
      if (points > best) {
        best = points;
        winner = &db.records[i];
      }
    }
  }
  if (winner == nullptr) return 0;
  const std::string_view winnerType = FieldText(winner->icaoType);
  WriteType(type, AsciiEqualNoCase(winnerType, "B74D") ? std::string_view("B744") : winnerType);
  return best;
}

namespace {
constexpr std::string_view kAiPackagePrefix = "VIP_";

// An AI package's "VIP_" + type + airline title as three words: characters
// 1-3, 5-8 and 9-11, never past the title's end. Other titles stay as they are.
class WordTitle {
 public:
  explicit WordTitle(std::string_view title) {
    if (!title.starts_with(kAiPackagePrefix)) {
      text_ = title;
      return;
    }
    std::size_t n = 0;
    const auto append = [&](std::size_t from, std::size_t count) {
      for (std::size_t i = from; i < from + count && i < title.size(); ++i) buffer_[n++] = title[i];
    };
    append(0, 3);
    buffer_[n++] = ' ';
    append(4, 4);
    buffer_[n++] = ' ';
    append(8, 3);
    text_ = std::string_view(buffer_.data(), n);
  }

  // Calls `visit` for every non-empty blank-separated word.
  template <class Visit>
  void ForEachWord(Visit visit) const {
    std::string_view rest = text_;
    while (!rest.empty()) {
      const std::size_t blank = rest.find(' ');
      const std::string_view word = rest.substr(0, blank);
      if (!word.empty()) visit(word);
      if (blank == std::string_view::npos) break;
      rest.remove_prefix(blank + 1);
    }
  }

  bool HasWord(std::string_view wanted) const {
    bool found = false;
    ForEachWord([&](std::string_view word) { found = found || AsciiEqualNoCase(word, wanted); });
    return found;
  }

 private:
  std::array<char, 16> buffer_{};
  std::string_view text_;
};

bool PartContainsNoCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (AsciiEqualNoCase(text.substr(at, part.size()), part)) return true;
  return false;
}

// Upper-case containment without a copy: the name is upper-case already.
bool UpperContains(std::string_view text, std::string_view upperPart) {
  if (upperPart.size() > text.size()) return false;
  for (std::size_t at = 0; at + upperPart.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < upperPart.size() && AsciiToUpper(text[at + i]) == upperPart[i]) ++i;
    if (i == upperPart.size()) return true;
  }
  return false;
}

void TakeModel(const LocalModelRecord& model, ModelQuery& query) {
  CopyCut(query.title, FieldText(model.title));
  CopyCut(query.icaoType, FieldText(model.icaoType));
  CopyCut(query.classCode, FieldText(model.classCode));
  CopyCut(query.fifth, FieldText(model.fifth));
}

int TitlePoints(const LocalModelRecord& model, std::string_view airline, std::string_view type) {
  int points = 0;
  const std::string_view title = FieldText(model.title);
  if (!airline.empty()) {
    const bool algerie = title.find("Air Algerie") != std::string_view::npos && airline == "DAH";
    WordTitle(title).ForEachWord([&](std::string_view word) {
      if (AsciiEqualNoCase(word, airline)) points += 5;
      if (algerie) points += 5;
    });
  }
  if (!type.empty()) {
    const std::string_view modelType = FieldText(model.icaoType);
    if (PartContainsNoCase(modelType, type)) {
      points += AsciiEqualNoCase(modelType, type) ? 10 : 7;
    } else if (type.size() >= 3 && modelType.size() >= 3 && AsciiEqualNoCase(modelType.substr(0, 3), type.substr(0, 3))) {
      points += 6;
    }
  }
  return points;
}
}  // namespace

int ScoreModelsByTitle(ModelQuery& query, const LocalModelTable& models) {
  const std::string_view title = FieldText(query.title);
  if (title.empty()) return kChoiceTitleBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceTitleNoModels;
  for (const LocalModelRecord& model : models) {
    if (AsciiEqualNoCase(FieldText(model.title), title)) {
      TakeModel(model, query);
      return kChoiceSameTitle;
    }
  }
  const std::string_view type = FieldText(query.icaoType);
  if (!type.empty()) {
    for (const LocalModelRecord& model : models) {
      if (model.typeScore > kChoiceKnownTypeScore && AsciiEqualNoCase(FieldText(model.icaoType), type)) {
        TakeModel(model, query);
        return kChoiceSameTypeKnown;
      }
    }
  }
  const std::string_view airline = FieldText(query.airline);
  const LocalModelRecord* best = nullptr;
  int bestPoints = 0;
  for (const LocalModelRecord& model : models) {
    const int points = TitlePoints(model, airline, type);
    if (points > bestPoints) {
      bestPoints = points;
      best = &model;
    }
  }
  if (best == nullptr) return kChoiceNothing;
  TakeModel(*best, query);
  return bestPoints;
}

int ScoreModelsByAirline(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines) {
  const std::string_view type = FieldText(query.icaoType);
  if (FieldText(query.title).empty() || type.empty()) return kChoiceAirlineBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceAirlineNoModels;
  const std::string_view airline = FieldText(query.airline);
  if (airline.empty()) return kChoiceNothing;

  for (const LocalModelRecord& model : models) {
    if (FieldText(model.icaoType) != type) continue;
    if (model.military != 0) {
      TakeModel(model, query);
      return kChoiceMilitary;
    }
    if (AsciiEqualNoCase(FieldText(model.airline), airline)) {
      TakeModel(model, query);
      return kChoiceRuleAirline;
    }
  }
  for (const LocalModelRecord& model : models) {
    if (FieldText(model.icaoType) == type && WordTitle(FieldText(model.title)).HasWord(airline)) {
      TakeModel(model, query);
      return kChoiceAirlineWord;
    }
  }
  const AirlineRecord* named = nullptr;
  for (const AirlineRecord& record : airlines) {
    if (FieldText(record.code) == airline && !FieldText(record.name).empty()) {
      named = &record;
      break;
    }
  }
  if (named == nullptr) return kChoiceNothing;
  const std::string_view name = FieldText(named->name);
  for (const LocalModelRecord& model : models) {
    if (FieldText(model.icaoType) == type && UpperContains(FieldText(model.title), name)) {
      TakeModel(model, query);
      return kChoiceAirlineName;
    }
  }
  return kChoiceNothing;
}

int ChooseLocalModel(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines,
                     bool textureFollowCallsign) {
  ModelQuery byTitle = query;
  ModelQuery byAirline = query;
  const int titleResult = reference::ScoreModelsByTitle(byTitle, models);
  const int airlineResult = reference::ScoreModelsByAirline(byAirline, models, airlines);
  const bool takeTitle = !(textureFollowCallsign && airlineResult >= 1) && titleResult > airlineResult;
  const ModelQuery& chosen = takeTitle ? byTitle : byAirline;
  std::copy(std::begin(chosen.title), std::end(chosen.title), std::begin(query.title));
  std::copy(std::begin(chosen.icaoType), std::end(chosen.icaoType), std::begin(query.icaoType));
  std::copy(std::begin(chosen.classCode), std::end(chosen.classCode), std::begin(query.classCode));
  std::copy(std::begin(chosen.fifth), std::end(chosen.fifth), std::begin(query.fifth));
  return takeTitle ? titleResult : airlineResult;
}

namespace {
constexpr bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The last `parts` components of a '/' path, joined by backslashes (fewer when the path has fewer).
std::string LastComponents(std::string_view path, int parts) {
  std::array<std::string_view, 3> found{};
  int n = 0;
  while (n < parts && !path.empty()) {
    const std::size_t slash = path.rfind('/');
    const std::string_view part = slash == std::string_view::npos ? path : path.substr(slash + 1);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    if (!part.empty()) found[static_cast<std::size_t>(n++)] = part;
  }
  std::string joined;
  for (int i = n - 1; i >= 0; --i) {
    joined += found[static_cast<std::size_t>(i)];
    if (i != 0) joined += '\\';
  }
  return joined;
}

// The type of one model from its "model folder\file name" text.
void FindModelType(std::string typeText, const AircraftTypeDb& types, LocalModelRecord& record) {
  NormaliseTitle(typeText.data());
  char type[kModelTypeSize] = {};
  int military = 0;
  const int listed = MatchTitleToIcaoType(std::string_view(typeText), type, &military);
  if (listed >= kTitleMatchCertain) {
    record.typeScore = kTitleMatchCertain;
    record.military = military;
  } else {
    char guessed[kModelTypeSize] = {};
    const int points = reference::GuessIcaoTypeFromTitle(typeText.c_str(), guessed, types);
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


struct FoundEntry {
  std::string name;
  bool folder = false;
  bool link = false;
};

bool EntryBefore(const FoundEntry& a, const FoundEntry& b) {
  const int c = AsciiCompareNoCaseN(a.name.c_str(), b.name.c_str(), MAX_PATH);
  return c != 0 ? c < 0 : a.name < b.name;
}

// One folder's entries as the enumeration reports them: lstat for the kind,
// stat for where a link leads, sorted without case (ties by bytes).
bool ListFolder(const std::string& folder, std::vector<FoundEntry>& entries) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = readdir(dir)) {
    if (std::strlen(entry->d_name) >= MAX_PATH) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    FoundEntry found{entry->d_name, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)};
    struct stat target {};
    if (found.link && stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) found.folder = true;
    entries.push_back(std::move(found));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), EntryBefore);
  return !entries.empty();
}

struct WalkedFile {
  std::string folder;
  std::string name;
};

// Links to folders are followed; a folder already open on the current path
// (same device and inode) is not entered again.
void Walk(const std::string& folder, std::vector<WalkedFile>& files,
          std::vector<std::pair<dev_t, ino_t>>& path) {
  struct stat self {};
  if (stat(folder.c_str(), &self) != 0) return;
  const std::pair<dev_t, ino_t> id{self.st_dev, self.st_ino};
  if (std::find(path.begin(), path.end(), id) != path.end()) return;
  std::vector<FoundEntry> entries;
  if (!ListFolder(folder, entries)) return;
  path.push_back(id);
  for (const FoundEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    if (entry.folder) {
      if (MatchesWildcardList(kModelFolderExcludes, entry.name)) continue;
      Walk(JoinPath(folder, entry.name), files, path);
    } else if (MatchesWildcardList(kModelFileIncludes, entry.name)) {
      files.push_back({folder, entry.name});
    }
  }
  path.pop_back();
}
}  // namespace

ModelScanCount ScanAircraftFolder(const std::string& aircraftFolder, LocalModelTables& tables,
                                  const AircraftTypeDb& types, ModelLog& log) {
  ModelScanCount count;
  if (!tables.Allocated()) return count;
  std::vector<WalkedFile> files;
  std::vector<std::pair<dev_t, ino_t>> walked;
  Walk(aircraftFolder, files, walked);

  const AircraftTypeLookup lookup(types);
  LocalModelTable& building = tables.scratchA;
  int stored = 0;
  std::string path;
  for (const WalkedFile& file : files) {
    if (stored >= kMaxLocalModels) break;
    const char* name = file.name.c_str();
    if (!IsAsciiLetterOrDigit(name[0])) continue;
    path = file.folder;
    path += '/';
    path += name;
    const std::string title = LastComponents(path, 3);
    if (title.size() >= kModelTitleSize) {
      log.Write(kColourNormal, "\tPath " + title + " is too long, this aircraft will not be taken into account.\r\n");
      continue;
    }
    LocalModelRecord& record = building.records[stored];
    std::memset(&record, 0, sizeof record);
    FindModelType(LastComponents(path, 2), types, record);
    CopyCut(record.title, title);
    SetClassData(lookup, types, record);
    ++stored;
  }
  count.filesFound = static_cast<int>(files.size());
  count.modelsStored = stored;

  std::memcpy(tables.copy.records, building.records, sizeof(LocalModelRecord) * static_cast<std::size_t>(stored));
  tables.copy.count = stored;
  PublishWorkingTable(tables, building, stored);
  WriteScanLine(log, count);
  return count;
}
}  // namespace reference
