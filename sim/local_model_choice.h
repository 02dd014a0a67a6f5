// The installed model that shows a remote pilot: two scorers over the working
// model table, one by title and type likeness, one by airline; the caller
// takes a result above 50 as a match.
#pragma once

#include "core/airline_table.h"
#include "core/local_model_record.h"

// Title scorer
inline constexpr int kChoiceSameTitle = 800;
inline constexpr int kChoiceSameTypeKnown = 500;  // a model of that type whose type was found with certainty
inline constexpr int kChoiceTitleBadArguments = -110;
inline constexpr int kChoiceTitleNoModels = -111;
inline constexpr int kChoiceKnownTypeScore = 100;  // type scores above this count as certain
// Airline scorer
inline constexpr int kChoiceMilitary = 1'000;
inline constexpr int kChoiceRuleAirline = 999;
inline constexpr int kChoiceAirlineWord = 998;
inline constexpr int kChoiceAirlineName = 997;
inline constexpr int kChoiceAirlineBadArguments = -100;
inline constexpr int kChoiceAirlineNoModels = -101;
inline constexpr int kChoiceNothing = 0;

inline constexpr double kDefaultOffset1 = 5.1;
inline constexpr double kDefaultOffset2 = 1.0;

// The buffers of one choice: title and type in/out (on a match the local
// model's), the airline in, class code and fifth column out.
struct ModelQuery {
  char title[kModelTitleSize] = {};
  char icaoType[kModelTypeSize] = {};
  char airline[kModelAirlineSize] = {};  // three letters from the callsign, or empty
  char classCode[kModelClassSize] = {};
  char fifth[kModelFifthSize] = {};
};

// The scorers read `models` in table order; the caller holds AiLock when it is the working table.
int ScoreModelsByTitle(ModelQuery& query, const LocalModelTable& models);
int ScoreModelsByAirline(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines);
// Both scorers on copies; with `textureFollowCallsign` an airline answer of 1
// or more is taken, otherwise the title answer only when strictly higher.
int ChooseLocalModel(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines,
                     bool textureFollowCallsign);

// 1 with the three offsets of the model of that title (case ignored); else 0
// with offset1 = 5.1 and offset2 = 1.0. offset3 is never written then: the
// caller sets its own value first. 0 and nothing written for a missing
// argument or an empty table.
int GetLocalModelOffsets(const LocalModelTable& models, const char* title, double* offset1, double* offset2,
                         double* offset3);

// The program's forms: the working table, the airline table and the
// TextureFollowCallsign setting. The locked form holds AiLock around the choice.
int ChooseLocalModel(ModelQuery& query);
int ChooseLocalModelLocked(ModelQuery& query);
int GetLocalModelOffsets(const char* title, double* offset1, double* offset2, double* offset3);
