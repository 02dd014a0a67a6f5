#include "sim/title_type_scorer_index.h"

#include <algorithm>

#include "core/text_fields.h"
#include "win/ascii_case.h"

namespace {
// Up to 4 bytes and their count in one key: pieces of different lengths never collide.
std::uint32_t Key(std::string_view bytes) {
  std::uint32_t key = 0;
  for (const char c : bytes) key = (key << 8) | static_cast<unsigned char>(c);
  return bytes.size() < 4 ? key | (static_cast<std::uint32_t>(bytes.size()) << 24) : key;
}

void Add(std::unordered_map<std::uint32_t, std::vector<int>>& map, std::string_view bytes, int record) {
  std::vector<int>& records = map[Key(bytes)];
  if (records.empty() || records.back() != record) records.push_back(record);
}

const std::vector<int>* Find(const std::unordered_map<std::uint32_t, std::vector<int>>& map, std::string_view bytes) {
  const auto found = map.find(Key(bytes));
  return found == map.end() ? nullptr : &found->second;
}
}  // namespace

TitleTypeIndex::TitleTypeIndex(const AircraftTypeDb& db) {
  usable_ = db.loaded && db.Allocated();
  if (!usable_) return;
  const auto count = static_cast<std::size_t>(std::max(db.count, 0));
  makers_.reserve(count);
  models_.reserve(count);
  types_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    makers_.push_back(AsciiUpper(FieldText(db.records[i].manufacturer)));
    models_.push_back(AsciiUpper(FieldText(db.records[i].model)));
    types_.push_back(AsciiUpper(FieldText(db.records[i].icaoType)));
    longestModel_ = std::max(longestModel_, models_.back().size());
  }
  for (std::size_t i = 0; i < count; ++i) {
    const int record = static_cast<int>(i);
    const std::string& maker = makers_[i];
    // A word equal to the maker scores the same against this record whatever the title.
    if (!maker.empty()) Consider(makerBest_[maker], Points(maker, record), record);
    const std::string_view type = types_[i];
    if (type.size() == 3) {
      Add(shortTypes_, type, record);
    } else if (type.size() >= 4) {
      Add(typeHeads3_, type.substr(0, 3), record);
      Add(typeTails3_, type.substr(1, 3), record);
      Add(typeHeads4_, type.substr(0, 4), record);
    }
    const std::string_view model = models_[i];
    for (std::size_t at = 0; at < model.size(); ++at)
      for (std::size_t length = 1; length <= 3 && at + length <= model.size(); ++length)
        Add(modelPieces_, model.substr(at, length), record);
  }
}

void TitleTypeIndex::Consider(Best& best, int points, int record) {
  if (points > best.points || (points == best.points && points > 0 && record < best.record)) {
    best.points = points;
    best.record = record;
  }
}

// ScoreTitleWord on the upper-cased copies.
int TitleTypeIndex::Points(std::string_view word, int record) const {
  const auto i = static_cast<std::size_t>(record);
  const std::string_view maker = makers_[i];
  const std::string_view model = models_[i];
  const std::string_view type = types_[i];
  int points = 0;
  const bool makerEqual = maker == word;
  if (makerEqual) points += kTitleMakerPoints;
  if (model.find(word) != std::string_view::npos) points += kTitleModelContainsPoints;
  if (makerEqual && model == word) points += kTitleMakerAndModelPoints;
  if (type.size() < 4) {
    if (type.size() > 2 && word.size() > 2 && type.substr(0, 3) == word.substr(0, 3)) points += kTitleShortTypePoints;
  } else if (word.size() < 4) {
    if (type.substr(1, 3) == word) {
      points += kTitleTypeTailPoints;
    } else if (type.substr(0, 3) == word) {
      points += kTitleTypeHeadPoints;
    }
  } else if (type.substr(0, 4) == word.substr(0, 4)) {
    points += kTitleTypeFourPoints;
  }
  return points;
}

int TitleTypeIndex::FirstModelContaining(std::string_view word) const {
  if (word.size() > longestModel_) return -1;
  if (word.size() <= 3) {
    const Records* records = Find(modelPieces_, word);
    return records == nullptr ? -1 : records->front();
  }
  // Only records holding every 3-character piece of the word can contain it:
  // try those of its rarest piece, in order.
  const Records* fewest = nullptr;
  for (std::size_t at = 0; at + 3 <= word.size(); ++at) {
    const Records* records = Find(modelPieces_, word.substr(at, 3));
    if (records == nullptr) return -1;
    if (fewest == nullptr || records->size() < fewest->size()) fewest = records;
  }
  for (const int record : *fewest)
    if (models_[static_cast<std::size_t>(record)].find(word) != std::string::npos) return record;
  return -1;
}

TitleTypeIndex::Best TitleTypeIndex::BestForWord(std::string_view word) const {
  Best best;
  if (!usable_ || word.empty()) return best;
  if (const auto maker = makerBest_.find(word); maker != makerBest_.end())
    Consider(best, maker->second.points, maker->second.record);
  // Every record with type points is on one of these lists.
  const auto consider = [&](const Records* records) {
    if (records == nullptr) return;
    for (const int record : *records) Consider(best, Points(word, record), record);
  };
  if (word.size() == 3) {
    consider(Find(shortTypes_, word));
    consider(Find(typeHeads3_, word));
    consider(Find(typeTails3_, word));
  } else if (word.size() >= 4) {
    consider(Find(shortTypes_, word.substr(0, 3)));
    consider(Find(typeHeads4_, word.substr(0, 4)));
  }
  // A record not on those lists scores 30 (its model contains the word) or
  // nothing; a record on them that contains the word scores more than 30. So
  // the model test decides only when nothing above reached 30, and then the
  // first record containing the word wins with exactly 30.
  if (best.points < kTitleModelContainsPoints) {
    const int first = FirstModelContaining(word);
    if (first >= 0) Consider(best, Points(word, first), first);
  }
  return best;
}
