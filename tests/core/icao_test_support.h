// Shared helpers of the ICAO data tests: file writing, record bytes, and a
// fixture that allocates the big tables once and empties every table per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/child_process.h"

void WriteBytes(const std::string& path, const std::string& bytes);
// One 16-byte data.xtk record: 4 characters, then three little-endian f32.
std::string AirportFileRecord(const char (&icao)[5], float latitude, float longitude, float elevationMetres);
// Texts of the boxes shown since the test began.
std::vector<std::string> BoxTexts();

class IcaoTablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  std::string File(const std::string& name) const;

  TempFolder folder_;
};
