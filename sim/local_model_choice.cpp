#include "sim/local_model_choice.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/text_fields.h"
#include "win/ascii_case.h"

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

// Inline forms of the case-blind helpers for the per-model tests: a choice
// runs them for every one of up to 43,000 models.
bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiToUpper(a[i]) != AsciiToUpper(b[i])) return false;
  return true;
}

// The text of a short field (type, airline) without a library call.
template <std::size_t N>
std::string_view ShortField(const char (&field)[N]) {
  static_assert(N <= kModelTypeSize, "for the short fields of a model");
  std::size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string_view(field, length);
}

// A model as the scorers read it: its title and type measured once.
struct ModelView {
  const LocalModelRecord& record;
  std::string_view title;
  std::string_view type;

  explicit ModelView(const LocalModelRecord& model)
      : record(model), title(FieldText(model.title)), type(ShortField(model.icaoType)) {}
};

bool ContainsNoCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (SameNoCase(text.substr(at, part.size()), part)) return true;
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

// The passes are bound by memory, not by their tests: ask for the record a
// few places ahead (its title and type lines) while this one is scored.
constexpr int kPrefetchAhead = 8;

void PrefetchAhead(const LocalModelTable& models, const LocalModelRecord& model) {
  const auto at = static_cast<std::size_t>(&model - models.records) + kPrefetchAhead;
  if (at >= static_cast<std::size_t>(models.count)) return;
  const LocalModelRecord& ahead = models.records[at];
  __builtin_prefetch(ahead.title);
  __builtin_prefetch(ahead.icaoType);
}

// Writes the model into the query and answers `result`.
int Take(const LocalModelRecord& model, ModelQuery& query, int result) {
  CopyCut(query.title, FieldText(model.title));
  CopyCut(query.icaoType, FieldText(model.icaoType));
  CopyCut(query.classCode, FieldText(model.classCode));
  CopyCut(query.fifth, FieldText(model.fifth));
  return result;
}

// The blank-separated words of `title` that equal `airline` (case ignored),
// counted in one pass over the title, and all its words.
struct WordCounts {
  int equal = 0;
  int all = 0;
};

WordCounts CountWords(std::string_view title, std::string_view airline) {
  WordCounts counts;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= title.size(); ++at) {
    if (at < title.size() && title[at] != ' ') continue;
    if (at > start) {
      ++counts.all;
      if (at - start == airline.size() && SameNoCase(title.substr(start, at - start), airline)) ++counts.equal;
    }
    start = at + 1;
  }
  return counts;
}

int TitlePoints(std::string_view title, std::string_view modelType, std::string_view airline, std::string_view type) {
  int points = 0;
  if (!airline.empty()) {
    const bool algerie = airline == "DAH" && title.find("Air Algerie") != std::string_view::npos;
    WordCounts counts;
    if (title.starts_with(kAiPackagePrefix)) {
      WordTitle(title).ForEachWord([&](std::string_view word) {
        ++counts.all;
        if (AsciiEqualNoCase(word, airline)) ++counts.equal;
      });
    } else {
      counts = CountWords(title, airline);
    }
    points += 5 * counts.equal + (algerie ? 5 * counts.all : 0);
  }
  if (!type.empty()) {
    if (ContainsNoCase(modelType, type)) {
      points += SameNoCase(modelType, type) ? 10 : 7;
    } else if (type.size() >= 3 && modelType.size() >= 3 && SameNoCase(modelType.substr(0, 3), type.substr(0, 3))) {
      points += 6;
    }
  }
  return points;
}
// The title scorer over the models in table order, one model at a time; its
// one pass stands for the three that the answers rank: an equal title decides
// at once; the first model of the type with a certain type score, else the
// best points so far, are kept in case no title is equal.
class TitleScorer {
 public:
  explicit TitleScorer(const ModelQuery& query)
      : title_(FieldText(query.title)), type_(FieldText(query.icaoType)), airline_(FieldText(query.airline)) {}

  // False once the answer is known.
  bool Visit(const ModelView& model) {
    if (SameNoCase(model.title, title_)) {
      sameTitle_ = &model.record;
      return false;
    }
    if (sameType_ != nullptr) return true;
    if (!type_.empty() && SameNoCase(model.type, type_) && model.record.typeScore > kChoiceKnownTypeScore) {
      sameType_ = &model.record;
      return true;
    }
    const int points = TitlePoints(model.title, model.type, airline_, type_);
    if (points > bestPoints_) {
      bestPoints_ = points;
      best_ = &model.record;
    }
    return true;
  }

  int Finish(ModelQuery& query) const {
    if (sameTitle_ != nullptr) return Take(*sameTitle_, query, kChoiceSameTitle);
    if (sameType_ != nullptr) return Take(*sameType_, query, kChoiceSameTypeKnown);
    if (best_ == nullptr) return kChoiceNothing;
    return Take(*best_, query, bestPoints_);
  }

 private:
  std::string_view title_;
  std::string_view type_;
  std::string_view airline_;
  const LocalModelRecord* sameTitle_ = nullptr;
  const LocalModelRecord* sameType_ = nullptr;
  const LocalModelRecord* best_ = nullptr;
  int bestPoints_ = 0;
};

// The airline scorer, over the models of exactly the remote type: a military
// model or one whose rule airline is the pilot's decides at once; the first
// with the airline as a title word, and the first whose title holds the
// airline's name, are kept for when none does.
class AirlineScorer {
 public:
  AirlineScorer(const ModelQuery& query, const AirlineTable& airlines)
      : type_(FieldText(query.icaoType)), airline_(FieldText(query.airline)) {
    for (const AirlineRecord& record : airlines) {
      if (FieldText(record.code) == airline_ && !FieldText(record.name).empty()) {
        name_ = FieldText(record.name);
        break;
      }
    }
  }

  // False once the answer is known.
  bool Visit(const ModelView& model) {
    if (model.type != type_) return true;
    if (model.record.military != 0 || SameNoCase(ShortField(model.record.airline), airline_)) {
      decided_ = &model.record;
      return false;
    }
    if (withWord_ != nullptr) return true;
    if (WordTitle(model.title).HasWord(airline_)) {
      withWord_ = &model.record;
    } else if (withName_ == nullptr && !name_.empty() && UpperContains(model.title, name_)) {
      withName_ = &model.record;
    }
    return true;
  }

  int Finish(ModelQuery& query) const {
    if (decided_ != nullptr)
      return Take(*decided_, query, decided_->military != 0 ? kChoiceMilitary : kChoiceRuleAirline);
    if (withWord_ != nullptr) return Take(*withWord_, query, kChoiceAirlineWord);
    if (withName_ != nullptr) return Take(*withName_, query, kChoiceAirlineName);
    return kChoiceNothing;
  }

 private:
  std::string_view type_;
  std::string_view airline_;
  std::string_view name_;
  const LocalModelRecord* decided_ = nullptr;
  const LocalModelRecord* withWord_ = nullptr;
  const LocalModelRecord* withName_ = nullptr;
};

int TitleArguments(const ModelQuery& query, const LocalModelTable& models) {
  if (FieldText(query.title).empty()) return kChoiceTitleBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceTitleNoModels;
  return 0;
}

// 0 when the airline scorer has models to read.
int AirlineArguments(const ModelQuery& query, const LocalModelTable& models) {
  if (FieldText(query.title).empty() || FieldText(query.icaoType).empty()) return kChoiceAirlineBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceAirlineNoModels;
  if (FieldText(query.airline).empty()) return kChoiceNothing;
  return 1;
}
}  // namespace

int ScoreModelsByTitle(ModelQuery& query, const LocalModelTable& models) {
  if (const int refused = TitleArguments(query, models); refused != 0) return refused;
  TitleScorer scorer(query);
  for (const LocalModelRecord& model : models) {
    PrefetchAhead(models, model);
    if (!scorer.Visit(ModelView(model))) break;
  }
  return scorer.Finish(query);
}

int ScoreModelsByAirline(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines) {
  if (const int refused = AirlineArguments(query, models); refused != 1) return refused;
  AirlineScorer scorer(query, airlines);
  for (const LocalModelRecord& model : models) {
    PrefetchAhead(models, model);
    if (!scorer.Visit(ModelView(model))) break;
  }
  return scorer.Finish(query);
}

// Both scorers in one pass over the table: the table is larger than the
// caches, so reading it once halves the cost of a choice.
int ChooseLocalModel(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines,
                     bool textureFollowCallsign) {
  ModelQuery byTitle = query;
  ModelQuery byAirline = query;
  const int titleRefused = TitleArguments(query, models);
  const int airlineRefused = AirlineArguments(query, models);
  TitleScorer titleScorer(query);
  AirlineScorer airlineScorer(query, airlines);
  bool titleOpen = titleRefused == 0;
  bool airlineOpen = airlineRefused == 1;
  if (titleOpen || airlineOpen) {
    for (const LocalModelRecord& model : models) {
      PrefetchAhead(models, model);
      const ModelView view(model);
      if (titleOpen) titleOpen = titleScorer.Visit(view);
      if (airlineOpen) airlineOpen = airlineScorer.Visit(view);
      if (!titleOpen && !airlineOpen) break;
    }
  }
  const int titleResult = titleRefused != 0 ? titleRefused : titleScorer.Finish(byTitle);
  const int airlineResult = airlineRefused != 1 ? airlineRefused : airlineScorer.Finish(byAirline);
  const bool takeTitle = !(textureFollowCallsign && airlineResult >= 1) && titleResult > airlineResult;
  const ModelQuery& chosen = takeTitle ? byTitle : byAirline;
  std::copy(std::begin(chosen.title), std::end(chosen.title), std::begin(query.title));
  std::copy(std::begin(chosen.icaoType), std::end(chosen.icaoType), std::begin(query.icaoType));
  std::copy(std::begin(chosen.classCode), std::end(chosen.classCode), std::begin(query.classCode));
  std::copy(std::begin(chosen.fifth), std::end(chosen.fifth), std::begin(query.fifth));
  return takeTitle ? titleResult : airlineResult;
}

int GetLocalModelOffsets(const LocalModelTable& models, const char* title, double* offset1, double* offset2,
                         double* offset3) {
  if (title == nullptr || offset1 == nullptr || offset2 == nullptr || offset3 == nullptr) return 0;
  if (!models.Allocated() || models.count <= 0) return 0;
  const std::string_view wanted(title, ::strnlen(title, kModelTitleSize));
  for (const LocalModelRecord& model : models) {
    if (AsciiEqualNoCase(FieldText(model.title), wanted)) {
      *offset1 = model.offsets[0];
      *offset2 = model.offsets[1];
      *offset3 = model.offsets[2];
      return 1;
    }
  }
  *offset1 = kDefaultOffset1;
  *offset2 = kDefaultOffset2;
  return 0;
}
