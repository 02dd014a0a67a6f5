#include "sim/title_type_scorer.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "core/text_fields.h"
#include "sim/title_rules.h"
#include "win/ascii_case.h"

namespace {
constexpr std::array<std::string_view, 7> kAiPackagePrefixes = {"VIP", "GLOBS", "PAI", "AIA", "ATOC", "TAVKO", "CFSO"};
constexpr std::string_view kWordSeparators = " _+";

constexpr int kMostPoints = kTitleMakerPoints + kTitleModelContainsPoints + kTitleMakerAndModelPoints + kTitleTypeTailPoints;

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

// The index of the program's type table and the table state it was built from.
struct ProgramIndexCache {
  std::mutex mutex;
  std::shared_ptr<const TitleTypeIndex> index;
  const AircraftTypeRecord* records = nullptr;
  int count = -1;
  bool loaded = false;
};

ProgramIndexCache& TheProgramIndexCache() {
  static auto* cache = new ProgramIndexCache();  // never destroyed, like the table itself
  return *cache;
}
}  // namespace

int ScoreTitleWord(std::string_view word, const AircraftTypeRecord& record) {
  const std::string_view maker = FieldText(record.manufacturer);
  const std::string_view model = FieldText(record.model);
  const std::string_view icao = FieldText(record.icaoType);
  int points = 0;
  const bool makerEqual = AsciiEqualNoCase(maker, word);
  if (makerEqual) points += kTitleMakerPoints;
  if (ContainsNoCase(model, word)) points += kTitleModelContainsPoints;
  if (makerEqual && AsciiEqualNoCase(model, word)) points += kTitleMakerAndModelPoints;
  if (icao.size() < 4) {
    if (icao.size() > 2 && word.size() > 2 && EqualFirstNoCase(icao, word, 3)) points += kTitleShortTypePoints;
  } else if (word.size() < 4) {
    if (EqualFirstNoCase(icao.substr(1), word, 3)) {
      points += kTitleTypeTailPoints;
    } else if (EqualFirstNoCase(icao, word, 3)) {
      points += kTitleTypeHeadPoints;
    }
  } else if (EqualFirstNoCase(icao, word, 4)) {
    points += kTitleTypeFourPoints;
  }
  return points;
}

int GuessIcaoTypeFromTitle(const char* title, char* type, const TitleTypeIndex& index) {
  if (title == nullptr || type == nullptr || !index.Usable()) return 0;
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

  TitleTypeIndex::Best best;
  std::string upper;
  TitleWords all(title);
  for (std::string_view word; all.Next(word) && best.points < kMostPoints;) {
    upper.assign(word);
    AsciiUpperInPlace(upper.data(), upper.size());
    const TitleTypeIndex::Best forWord = index.BestForWord(upper);
    if (forWord.points > best.points) best = forWord;  // a later word must do better
  }
  if (best.record < 0) return 0;
  const std::string_view winnerType = index.Type(best.record);
  WriteType(type, winnerType == "B74D" ? std::string_view("B744") : winnerType);
  return best.points;
}

int GuessIcaoTypeFromTitle(const char* title, char* type, const AircraftTypeDb& db) {
  if (title == nullptr || type == nullptr || !db.loaded || !db.Allocated()) return 0;
  return GuessIcaoTypeFromTitle(title, type, TitleTypeIndex(db));
}

int GuessIcaoTypeFromTitle(const char* title, char* type) {
  ProgramIndexCache& cache = TheProgramIndexCache();
  const AircraftTypeDb& db = g_aircraftTypeDb();
  std::shared_ptr<const TitleTypeIndex> index;
  {
    std::lock_guard lock(cache.mutex);
    if (!cache.index || cache.records != db.records || cache.count != db.count || cache.loaded != db.loaded) {
      cache.index = std::make_shared<const TitleTypeIndex>(db);
      cache.records = db.records;
      cache.count = db.count;
      cache.loaded = db.loaded;
    }
    index = cache.index;
  }
  return GuessIcaoTypeFromTitle(title, type, *index);
}
