#include "sim/own_type_match.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/aircraft_type_db.h"
#include "core/big_tables.h"
#include "core/own_aircraft_state.h"
#include "core/text_fields.h"
#include "sim/ai_lock.h"
#include "sim/local_model_choice.h"
#include "sim/plugin_link_records.h"
#include "sim/rule_appliers.h"
#include "sim/title_matcher.h"
#include "sim/title_type_scorer.h"

namespace {
constexpr std::size_t kLookupTypeChars = 4;

struct OwnTypeFound {
  std::array<char, kOwnIcaoTypeSize> type{};
  std::int32_t military = 0;
};

const LocalModelRecord* FindExactTitle(const LocalModelTable& table, std::string_view title) {
  for (const LocalModelRecord& record : table) {
    if (FieldText(record.title) == title) return &record;
  }
  return nullptr;
}

// As the scan types a model: the decision list on the normalised text, else the scorer.
OwnTypeFound MatchTitleText(std::string_view title) {
  OwnTypeFound found;
  std::string text(title);
  NormaliseTitle(text.data());
  std::array<char, kTitleTypeBufferSize> type{};
  int military = 0;
  if (MatchTitleToIcaoType(text.c_str(), type.data(), &military) >= kTitleMatchCertain) {
    CopyCut(found.type.data(), found.type.size(), FieldText(type));
    found.military = military;
    return found;
  }
  type.fill('\0');
  if (GuessIcaoTypeFromTitle(text.c_str(), type.data()) > 0) {
    CopyCut(found.type.data(), found.type.size(), FieldText(type));
  }
  return found;
}

OwnTypeFound FindOwnType(const LocalModelTables& models, std::string_view title) {
  {
    AiGuard guard;
    const LocalModelRecord* record = models.Allocated() ? FindExactTitle(models.working, title) : nullptr;
    if (record == nullptr && models.Allocated()) record = FindExactTitle(models.copy, title);
    if (record != nullptr) {
      OwnTypeFound found;
      CopyCut(found.type.data(), found.type.size(), FieldText(record->icaoType));
      found.military = record->military;
      return found;
    }
  }
  return MatchTitleText(title);
}

// A class code whose letters name no engine kind keeps the kind there was.
std::uint8_t EngineKind(std::string_view classCode, std::uint8_t previous) {
  if (!classCode.empty() && classCode[0] == 'H') return kOwnEngineHelicopter;
  if (classCode.size() < 3) return previous;
  switch (classCode[2]) {
    case 'J': return kOwnEngineJet;
    case 'P': return kOwnEnginePiston;
    case 'T': return kOwnEngineTurboprop;
    default: return previous;
  }
}

template <std::size_t N>
void CopyField(std::array<char, N>& field, std::string_view text) {
  CopyCut(field.data(), field.size(), text);
}
}  // namespace

void MatchOwnTitleToIcao(int typeIndex, const LocalModelTables& models) {
  const OwnModel before = g_ownAircraft().Snapshot().model;
  const std::string title(FieldText(before.title));
  OwnModel model = before;

  const OwnTypeFound found = FindOwnType(models, title);
  if (found.type[0] != '\0') model.icaoType = found.type;
  model.parameterWord = found.military;

  const AircraftTypeDb& types = g_aircraftTypeDb();
  const auto validRow = [&types](int row) { return row >= 0 && row < types.count && types.Allocated(); };
  // A row that is not in the table is looked up as if none had been chosen.
  if (!validRow(typeIndex)) {
    const std::string_view type = FieldText(model.icaoType);
    const std::string key(type.substr(0, std::min(type.size(), kLookupTypeChars)));
    typeIndex = FindAircraftTypeIndex(key.c_str());
  }
  if (validRow(typeIndex)) {
    const AircraftTypeRecord& record = types.records[typeIndex];
    model.typeIndex = typeIndex;
    CopyField(model.icaoType, FieldText(record.icaoType));
    CopyField(model.classCode, FieldText(record.classCode));
    CopyField(model.fifthColumn, FieldText(record.fifth));
    model.engineKind = EngineKind(FieldText(model.classCode), model.engineKind);
  } else {
    // A type the table does not know: no row and no class data, rather than the last aircraft's.
    model.typeIndex = kNoChosenTypeIndex;
    model.classCode.fill('\0');
    model.fifthColumn.fill('\0');
  }

  {
    std::array<double, 3> offsets = model.placementOffsets;
    AiGuard guard;
    GetLocalModelOffsets(models.working, title.c_str(), &offsets[0], &offsets[1], &offsets[2]);
    model.placementOffsets = offsets;
  }

  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    // Another aircraft loaded meanwhile is matched by its own call.
    if (FieldText(own.model.title) != title) return;
    OwnModel& current = own.model;
    current.icaoType = model.icaoType;
    current.parameterWord = model.parameterWord;
    current.typeIndex = model.typeIndex;
    current.classCode = model.classCode;
    current.fifthColumn = model.fifthColumn;
    current.engineKind = model.engineKind;
    current.placementOffsets = model.placementOffsets;
    current.identityLoaded = true;
    if (FieldText(current.icaoType).empty()) return;
    SetIdentityRecordType(current.identityRecord, current.parameterWord, FieldText(current.icaoType));
  });
}

void MatchTitleToIcao(int typeIndex) {
  ApplyTypeTranslationRules();
  MatchOwnTitleToIcao(typeIndex, g_localModelTables());
}
