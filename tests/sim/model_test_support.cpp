#include "model_test_support.h"

#include <algorithm>
#include <fstream>
#include <utility>

#include "core/aircraft_type_db.h"
#include "core/big_tables.h"
#include "core/text_fields.h"
#include "sim/ai_lock.h"
#include "win/msgbox.h"
#include "win/paths.h"

std::string RecordingLog::Text() const {
  std::string all;
  for (const auto& write : writes) all += write.second;
  return all;
}

void LoadTypeTable(const TempFolder& folder, const std::vector<std::string>& lines) {
  const std::string path = JoinPath(folder.Path(), "tk_aircrafts.txt");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << "\r\n";
  }
  AircraftTypeDb& db = g_aircraftTypeDb();
  db.loaded = false;
  db.count = 0;
  ASSERT_EQ(LoadAircraftTypes(path), 2);
}

void LoadSmallTypeTable(const TempFolder& folder) {
  LoadTypeTable(folder, {"Boeing\t737-800\tB738\tL2J\tM", "Airbus\tA320\tA320\tL2J\tM", "Cessna\t172\tC172\tL1P\tL",
                         "McDonnell Douglas\tMD-82\tMD82\tL2J\tM", "Robinson\tR22\tR22\tH1P\tL"});
}

LocalModelRecord Model(std::string_view title, std::string_view type, int typeScore, std::string_view classCode,
                       std::string_view fifth) {
  LocalModelRecord record{};
  CopyCut(record.title, title);
  CopyCut(record.icaoType, type);
  CopyCut(record.classCode, classCode);
  CopyCut(record.fifth, fifth);
  record.typeScore = typeScore;
  return record;
}

void ModelTablesTest::SetUpTestSuite() {
  SetMessageBoxEcho(false);
  ASSERT_EQ(AllocateTables(), 1);
}

void ModelTablesTest::SetUp() {
  ASSERT_FALSE(folder_.Path().empty());
  LocalModelTables& tables = Tables();
  for (LocalModelTable* table : {&tables.working, &tables.copy, &tables.scratchA, &tables.scratchB}) table->count = 0;
  AircraftTypeDb& db = g_aircraftTypeDb();
  db.loaded = false;
  db.count = 0;
}

void ModelTablesTest::TearDown() { SetMessageBoxEcho(true); }

LocalModelTables& ModelTablesTest::Tables() { return g_localModelTables(); }

void ModelTablesTest::SetModels(const std::vector<LocalModelRecord>& models) {
  LocalModelTables& tables = Tables();
  for (std::size_t i = 0; i < models.size(); ++i) {
    tables.copy.records[i] = models[i];
    tables.working.records[i] = models[i];
  }
  tables.copy.count = static_cast<int>(models.size());
  tables.working.count = static_cast<int>(models.size());
}

std::vector<std::string> ModelTablesTest::WorkingTitles() {
  std::vector<std::string> titles;
  for (const LocalModelRecord& record : Tables().working) titles.emplace_back(FieldText(record.title));
  return titles;
}

std::string ModelTablesTest::File(const std::string& name) const { return JoinPath(folder_.Path(), name); }

void ModelTablesTest::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

AiLockHeldHooks::AiLockHeldHooks(std::function<void()> entered, std::function<void()> leaving) {
  AiLock().SetHeldHooksForTest(std::move(entered), std::move(leaving));
}

AiLockHeldHooks::~AiLockHeldHooks() { AiLock().SetHeldHooksForTest({}, {}); }

WorkingTableUnderAiLock::WorkingTableUnderAiLock(const LocalModelTables& tables)
    : tables_(tables),
      hooks_([this] { sections_.push_back({tables_.working.records, nullptr}); },
             [this] { sections_.back().left = tables_.working.records; }) {}

bool WorkingTableUnderAiLock::SwappedInside() const {
  const LocalModelRecord* now = tables_.working.records;
  return std::any_of(sections_.begin(), sections_.end(),
                     [now](const Section& s) { return s.found != now && s.left == now; });
}
