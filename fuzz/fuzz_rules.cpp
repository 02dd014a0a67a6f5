// "Rules.txt": its line reader and the three appliers, on a small table of
// installed models. The input is the file; the models, peers and settings are
// fixed so that every rule the input holds has something to apply to.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/big_tables.h"
#include "core/text_fields.h"
#include "fuzz/fuzz_support.h"
#include "sim/ai_lock.h"
#include "sim/model_log.h"
#include "sim/rule_appliers.h"
#include "sim/rules_file.h"

namespace {

class CountingLog final : public ModelLog {
 public:
  void Write(int, std::string_view text) override { characters += text.size(); }
  std::size_t characters = 0;
};

LocalModelRecord Model(std::string_view title, std::string_view type, std::int32_t score, std::string_view classCode,
                       std::string_view fifth) {
  LocalModelRecord record{};
  CopyCut(record.title, title);
  CopyCut(record.icaoType, type);
  CopyCut(record.classCode, classCode);
  CopyCut(record.fifth, fifth);
  record.typeScore = score;
  return record;
}

const std::array kModels = {
    Model("Laminar Research\\Cessna 172SP\\Cessna_172SP.acf", "C172", 10'000, "L1P", "L"),
    Model("Heavy Metal\\B738\\B738.acf", "B738", 10'000, "L2J", "M"),
    Model("Pack\\Bell\\b206.acf", "B06", 9'999, "H1T", "L"),
    Model("Pack\\Airbus A320\\a320.acf", "", 0, "", ""),
};

void SetModels() {
  LocalModelTables& tables = g_localModelTables();
  for (LocalModelTable* table : {&tables.working, &tables.copy, &tables.scratchA, &tables.scratchB}) table->count = 0;
  std::copy(kModels.begin(), kModels.end(), tables.copy.records);
  std::copy(kModels.begin(), kModels.end(), tables.working.records);
  tables.copy.count = static_cast<int>(kModels.size());
  tables.working.count = static_cast<int>(kModels.size());
}

bool Terminated(const char* text, std::size_t size) { return std::memchr(text, '\0', size) != nullptr; }

void CheckModel(const LocalModelRecord& record) {
  FUZZ_CHECK(Terminated(record.title, sizeof record.title));
  FUZZ_CHECK(Terminated(record.icaoType, sizeof record.icaoType));
  FUZZ_CHECK(Terminated(record.classCode, sizeof record.classCode));
  FUZZ_CHECK(Terminated(record.fifth, sizeof record.fifth));
  FUZZ_CHECK(Terminated(record.airline, sizeof record.airline));
}

bool IsInstalledTitle(std::string_view title) {
  return std::any_of(kModels.begin(), kModels.end(),
                     [&](const LocalModelRecord& model) { return FieldText(model.title) == title; });
}

void CheckChoice(int result, const RemoteModelChoice& peer) {
  FUZZ_CHECK(Terminated(peer.title, sizeof peer.title));
  FUZZ_CHECK(Terminated(peer.icaoType, sizeof peer.icaoType));
  FUZZ_CHECK(Terminated(peer.classCode, sizeof peer.classCode));
  FUZZ_CHECK(Terminated(peer.fifth, sizeof peer.fifth));
  // A model is chosen only among those installed.
  if (result == kRemoteRuleMainModel || result == kRemoteRuleAlternateModel) {
    FUZZ_CHECK(IsInstalledTitle(FieldText(peer.title)));
  }
}

void ReadWholeFile(const std::string& path, std::size_t size, CountingLog& log) {
  RulesFile file(&log);
  if (file.Load(path) != 1) return;
  std::array<char, 2'100> out{};
  int lines = 0;
  while (file.ReadLine(out.data(), out.size()) == 1) {
    FUZZ_CHECK(Terminated(out.data(), out.size()));
    FUZZ_CHECK(++lines <= static_cast<int>(size) + 1);  // every read moves on
  }
  for (const std::string_view section : {kLocalAircraftsSection, kRemoteAircraftsSection, kRemoteDefaultSection}) {
    bool first = true;
    int entries = 0;
    while (file.GetNextEntry(section, out.data(), out.size(), first) == RulesFile::kEntryFound) {
      first = false;
      FUZZ_CHECK(std::strlen(out.data()) <= RulesFile::kEntryMax);
      FUZZ_CHECK(++entries <= static_cast<int>(size) + 1);
    }
    file.GetKeyString(section, "001", out.data(), out.size());
    FUZZ_CHECK(std::strlen(out.data()) <= RulesFile::kKeyValueMax);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  return AllocateTables() == 1 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QuietLibrary();
  const std::string path = WriteFuzzFile(kRulesFileName, AsSpan(data, size));
  CountingLog log;
  ReadWholeFile(path, size, log);

  SetModels();
  {
    const AiGuard held;
    ApplyTypeTranslationRules(g_localModelTables(), path, "Pack\\Bell", "Heavy Metal,Laminar Research", log);
  }
  const LocalModelTable& working = g_localModelTables().working;
  FUZZ_CHECK(working.count >= 0 && working.count <= static_cast<int>(kModels.size()));
  for (const LocalModelRecord& record : working) CheckModel(record);

  for (const char* title : {"Boeing 737-800 Air France", "Cessna 172SP Skyhawk", ""}) {
    RemoteModelChoice peer{};
    CopyCut(peer.title, title);
    CopyCut(peer.classCode, "L2J");
    const AiGuard held;
    CheckChoice(ApplyRemoteAircraftRules(&peer, working, path, kRemoteAircraftsSection, log), peer);
  }
  for (const char* classCode : {"L2J", "L1P", "H1T", "X"}) {
    RemoteModelChoice peer{};
    CopyCut(peer.title, "Some Plane");
    CopyCut(peer.classCode, classCode);
    const AiGuard held;
    CheckChoice(ApplyRemoteDefaultRules(&peer, working, path, kRemoteDefaultSection, log), peer);
  }
  return 0;
}
