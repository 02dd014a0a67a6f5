#include "sim/rule_appliers.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/klib_settings.h"
#include "sim/model_scan.h"
#include "sim/rules_file.h"
#include "core/text_fields.h"
#include "win/ascii_case.h"

namespace {
constexpr std::size_t kRuleTitleMax = kModelTitleSize - 1;

struct LocalRule {
  std::uint16_t number = 0;
  std::string titlePart;
  std::string type;
  std::string airline;
};

// The rules in file order, up to the first corrupt one, whose message is kept.
struct LocalRules {
  std::vector<LocalRule> rules;
  std::optional<std::string> corruptMessage;
};

std::string CorruptMessage(const char* code, const std::string& path, const char* what) {
  return std::string("\r\nError code ") + code + " : Corrupt " + path + " file. " + what + " will not be applied.";
}

LocalRules ReadLocalRules(RulesFile& file) {
  LocalRules out;
  std::array<char, RulesFile::kEntryMax + 1> entry{};
  for (int r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), true); r == RulesFile::kEntryFound;
       r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), false)) {
    const std::string_view line(entry.data());
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view value = line.substr(equals + 1);
    const std::size_t open = value.find("{{");
    if (open == std::string_view::npos) {
      out.corruptMessage = CorruptMessage("DTRE01", file.Path(), "ICAO type translation rules");
      return out;
    }
    const std::size_t close = value.find("}}", open + 2);
    if (close == std::string_view::npos) {
      out.corruptMessage = CorruptMessage("DTRE02", file.Path(), "ICAO type translation rules");
      return out;
    }
    LocalRule rule;
    rule.number = static_cast<std::uint16_t>(std::atoi(std::string(line.substr(0, equals)).c_str()));
    rule.titlePart = value.substr(0, std::min(open, kRuleTitleMax));
    const std::string_view inside = value.substr(open + 2, close - open - 2);
    const std::size_t comma = inside.find(',');
    rule.type = inside.substr(0, std::min(comma, kRuleTypeMax));
    if (comma != std::string_view::npos) rule.airline = inside.substr(comma + 1, kRuleAirlineMax);
    out.rules.push_back(std::move(rule));
  }
  return out;
}

void ApplyRule(const LocalRule& rule, LocalModelRecord& model) {
  if (rule.titlePart.size() < kMinRuleTitleChars) return;
  if (FieldText(model.title).find(rule.titlePart) == std::string_view::npos) return;
  model.ruleNumber = rule.number;
  model.ruleMark = '*';
  if (!rule.type.empty()) CopyCut(model.icaoType, rule.type);
  if (!rule.airline.empty()) CopyCut(model.airline, rule.airline);
}

const LocalModelRecord* FindModelByTitle(const LocalModelTable& models, std::string_view title) {
  for (const LocalModelRecord& model : models)
    if (FieldText(model.title) == title) return &model;
  return nullptr;
}

void CopyModel(const LocalModelRecord& model, RemoteModelChoice& peer) {
  CopyCut(peer.title, FieldText(model.title));
  CopyCut(peer.icaoType, FieldText(model.icaoType));
  CopyCut(peer.classCode, FieldText(model.classCode));
  CopyCut(peer.fifth, FieldText(model.fifth));
  peer.offset1 = model.offsets[0];
}

// Walks the entries of a section that have '='; `visit` answers a final
// result, or nothing to go on with the next entry.
template <class Visit>
int ForEachRemoteRule(RemoteModelChoice* peer, const std::string& rulesPath, std::string_view section, ModelLog& log,
                      Visit visit) {
  if (peer == nullptr || section.empty()) return kRemoteRuleBadPeer;
  RulesFile file(&log);
  if (file.Load(rulesPath) != 1) return kRemoteRuleNoFile;
  const std::string name(section);
  std::array<char, RulesFile::kEntryMax + 1> entry{};
  for (int r = file.GetNextEntry(name, entry.data(), entry.size(), true); r == RulesFile::kEntryFound;
       r = file.GetNextEntry(name, entry.data(), entry.size(), false)) {
    const std::string_view line(entry.data());
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (const std::optional<int> result = visit(file, line.substr(0, equals), line.substr(equals + 1))) return *result;
  }
  return kRemoteRuleNone;
}
}  // namespace

void ApplyTypeTranslationRules(LocalModelTables& tables, const std::string& rulesPath,
                               std::string_view excludedPlanes, std::string_view packageOrder, ModelLog& log) {
  if (!tables.Allocated()) return;
  ApplyExcludedPlanes(tables, excludedPlanes);
  ApplyPackageOrder(tables, packageOrder);
  RulesFile file(&log);
  if (file.Load(rulesPath) != 1) return;
  const LocalRules local = ReadLocalRules(file);
  file.Free();

  const int count = tables.working.count;
  LocalModelTable& ruled = tables.scratchA;
  std::memcpy(ruled.records, tables.working.records, sizeof(LocalModelRecord) * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    for (const LocalRule& rule : local.rules) ApplyRule(rule, ruled.records[i]);
    if (local.corruptMessage) {
      log.Write(kColourError, *local.corruptMessage);
      break;
    }
  }
  PublishWorkingTable(tables, ruled, count);
}

int ApplyRemoteAircraftRules(RemoteModelChoice* peer, const LocalModelTable& models, const std::string& rulesPath,
                             std::string_view section, ModelLog& log) {
  return ForEachRemoteRule(peer, rulesPath, section, log,
                           [&](const RulesFile& file, std::string_view key, std::string_view value) -> std::optional<int> {
    key = key.substr(0, kRuleTitleMax);
    if (key.size() < kMinRuleTitleChars) {
      log.Write(kColourError, "\r\nOnly aircraft names with at least " + std::to_string(kMinRuleTitleChars) +
                                  " characters are taken into account. Please check your " + file.Path() +
                                  " file for this entry " + std::string(key));
      log.Write(kColourError, "\r\n\t in section = " + std::string(section));
      return std::nullopt;
    }
    std::string_view mainTitle = value;
    std::string_view alternate;
    if (const std::size_t open = value.find("{{"); open == std::string_view::npos) {
      if (mainTitle.empty()) {
        log.Write(kColourError, CorruptMessage("ORA11", file.Path(), "Remote translation rules"));
        return kRemoteRuleNoTitle;
      }
    } else {
      mainTitle = value.substr(0, open);
      if (mainTitle.empty()) {
        log.Write(kColourError, CorruptMessage("ORA12", file.Path(), "Remote translation rules"));
        return kRemoteRuleNoMainTitle;
      }
      const std::size_t close = value.find("}}", open + 2);
      if (close == std::string_view::npos) {
        log.Write(kColourError, CorruptMessage("ORA20", file.Path(), "Remote translation rules"));
        return kRemoteRuleUnclosedAlternate;
      }
      alternate = value.substr(open + 2, close - open - 2);
    }
    if (AsciiUpper(FieldText(peer->title)).find(AsciiUpper(key)) == std::string::npos) return std::nullopt;
    if (const LocalModelRecord* model = FindModelByTitle(models, mainTitle.substr(0, kRuleTitleMax))) {
      CopyModel(*model, *peer);
      return kRemoteRuleMainModel;
    }
    if (!alternate.empty()) {
      if (const LocalModelRecord* model = FindModelByTitle(models, alternate.substr(0, kRuleTitleMax))) {
        CopyModel(*model, *peer);
        return kRemoteRuleAlternateModel;
      }
    }
    return std::nullopt;
  });
}

int ApplyRemoteDefaultRules(RemoteModelChoice* peer, const LocalModelTable& models, const std::string& rulesPath,
                            std::string_view section, ModelLog& log) {
  return ForEachRemoteRule(peer, rulesPath, section, log,
                           [&](const RulesFile& file, std::string_view key, std::string_view value) -> std::optional<int> {
    key = key.substr(0, kRuleTypeMax);
    if (key.size() != 3) {
      log.Write(kColourError, CorruptMessage("ORD10", file.Path(), "Remote translation rules"));
      return kRemoteDefaultBadClass;
    }
    if (value.empty()) {
      log.Write(kColourError, CorruptMessage("ORD20", file.Path(), "Remote translation rules"));
      return kRemoteDefaultNoModel;
    }
    const LocalModelRecord* model = FindModelByTitle(models, value.substr(0, kRuleTitleMax));
    if (model == nullptr) return kRemoteDefaultNotInstalled;
    if (key != FieldText(peer->classCode)) return std::nullopt;
    CopyModel(*model, *peer);
    return kRemoteDefaultModel;
  });
}
