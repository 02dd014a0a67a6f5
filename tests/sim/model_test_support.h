// Shared helpers of the installed-model tests: a log recorder, a type table
// written to a temporary file, and records filled for the model table.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/local_model_record.h"
#include "sim/model_log.h"
#include "support/child_process.h"

class RecordingLog final : public ModelLog {
 public:
  void Write(int colourField, std::string_view text) override { writes.emplace_back(colourField, std::string(text)); }
  // Everything written, joined.
  std::string Text() const;
  std::vector<std::pair<int, std::string>> writes;
};

// Writes the lines (TAB-separated type-table lines) to a file in `folder` and
// loads them as the program's type table.
void LoadTypeTable(const TempFolder& folder, const std::vector<std::string>& lines);
// A type table with the types the tests use: B738, A320, C172, MD82, R22.
void LoadSmallTypeTable(const TempFolder& folder);

LocalModelRecord Model(std::string_view title, std::string_view type, int typeScore = 10'000,
                       std::string_view classCode = "", std::string_view fifth = "");

// Allocates the program's big tables once and empties the model tables per test.
class ModelTablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  LocalModelTables& Tables();
  // Replaces the copy and the working table with these records.
  void SetModels(const std::vector<LocalModelRecord>& models);
  std::vector<std::string> WorkingTitles();
  std::string File(const std::string& name) const;
  void WriteFile(const std::string& name, const std::string& bytes) const;

  TempFolder folder_;
  RecordingLog log_;
};

// For its scope, AiLock runs these on the holding thread when it is first
// entered and before it is last left.
class AiLockHeldHooks {
 public:
  AiLockHeldHooks(std::function<void()> entered, std::function<void()> leaving);
  ~AiLockHeldHooks();
  AiLockHeldHooks(const AiLockHeldHooks&) = delete;
  AiLockHeldHooks& operator=(const AiLockHeldHooks&) = delete;
};

// The working table's records array as each outermost held section of AiLock
// found it and left it, for the scope: a swap made under the lock shows as a
// section that left another array than it found.
class WorkingTableUnderAiLock {
 public:
  explicit WorkingTableUnderAiLock(const LocalModelTables& tables);
  // A held section found another array and left the one the table has now.
  bool SwappedInside() const;

 private:
  struct Section {
    const LocalModelRecord* found = nullptr;
    const LocalModelRecord* left = nullptr;
  };
  const LocalModelTables& tables_;
  std::vector<Section> sections_;
  AiLockHeldHooks hooks_;
};
