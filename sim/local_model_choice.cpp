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

bool ContainsNoCase(std::string_view text, std::string_view part) {
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

// The blank-separated words of `title` that equal `airline` (case ignored),
// counted in one pass over the title, and all its words.
struct WordCounts {
  int equal = 0;
  int all = 0;
};

WordCounts CountWords(std::string_view title, std::string_view airline) {
  WordCounts counts;
  std::size_t at = 0;
  while (at < title.size()) {
    std::size_t end = title.find(' ', at);
    if (end == std::string_view::npos) end = title.size();
    if (end > at) {
      ++counts.all;
      if (end - at == airline.size() && AsciiEqualNoCase(title.substr(at, end - at), airline)) ++counts.equal;
    }
    at = end + 1;
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
      points += AsciiEqualNoCase(modelType, type) ? 10 : 7;
    } else if (type.size() >= 3 && modelType.size() >= 3 && AsciiEqualNoCase(modelType.substr(0, 3), type.substr(0, 3))) {
      points += 6;
    }
  }
  return points;
}
}  // namespace

// One pass stands for the three that the answers rank: an equal title ends
// it; the first model of the type with a certain type score, else the best
// points so far, are kept in case no title is equal.
int ScoreModelsByTitle(ModelQuery& query, const LocalModelTable& models) {
  const std::string_view title = FieldText(query.title);
  if (title.empty()) return kChoiceTitleBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceTitleNoModels;
  const std::string_view type = FieldText(query.icaoType);
  const std::string_view airline = FieldText(query.airline);
  const LocalModelRecord* sameType = nullptr;
  const LocalModelRecord* best = nullptr;
  int bestPoints = 0;
  for (const LocalModelRecord& model : models) {
    const std::string_view modelTitle = FieldText(model.title);
    if (modelTitle.size() == title.size() && AsciiEqualNoCase(modelTitle, title)) {
      TakeModel(model, query);
      return kChoiceSameTitle;
    }
    if (sameType != nullptr) continue;
    const std::string_view modelType = FieldText(model.icaoType);
    if (!type.empty() && AsciiEqualNoCase(modelType, type) && model.typeScore > kChoiceKnownTypeScore) {
      sameType = &model;
      continue;
    }
    const int points = TitlePoints(modelTitle, modelType, airline, type);
    if (points > bestPoints) {
      bestPoints = points;
      best = &model;
    }
  }
  if (sameType != nullptr) {
    TakeModel(*sameType, query);
    return kChoiceSameTypeKnown;
  }
  if (best == nullptr) return kChoiceNothing;
  TakeModel(*best, query);
  return bestPoints;
}

// One pass over the models of exactly the remote type: a military model or
// one whose rule airline is the pilot's ends it; the first with the airline
// as a title word, and the first whose title holds the airline's name, are
// kept for when none does.
int ScoreModelsByAirline(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines) {
  const std::string_view type = FieldText(query.icaoType);
  if (FieldText(query.title).empty() || type.empty()) return kChoiceAirlineBadArguments;
  if (!models.Allocated() || models.count <= 0) return kChoiceAirlineNoModels;
  const std::string_view airline = FieldText(query.airline);
  if (airline.empty()) return kChoiceNothing;

  std::string_view name;
  for (const AirlineRecord& record : airlines) {
    if (FieldText(record.code) == airline && !FieldText(record.name).empty()) {
      name = FieldText(record.name);
      break;
    }
  }
  const LocalModelRecord* withWord = nullptr;
  const LocalModelRecord* withName = nullptr;
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
    if (withWord != nullptr) continue;
    const std::string_view title = FieldText(model.title);
    if (WordTitle(title).HasWord(airline)) {
      withWord = &model;
    } else if (withName == nullptr && !name.empty() && UpperContains(title, name)) {
      withName = &model;
    }
  }
  if (withWord != nullptr) {
    TakeModel(*withWord, query);
    return kChoiceAirlineWord;
  }
  if (withName != nullptr) {
    TakeModel(*withName, query);
    return kChoiceAirlineName;
  }
  return kChoiceNothing;
}

int ChooseLocalModel(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines,
                     bool textureFollowCallsign) {
  ModelQuery byTitle = query;
  ModelQuery byAirline = query;
  const int titleResult = ScoreModelsByTitle(byTitle, models);
  const int airlineResult = ScoreModelsByAirline(byAirline, models, airlines);
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
