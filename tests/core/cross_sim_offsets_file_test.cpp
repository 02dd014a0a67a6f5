// "CrossSimOffsets.ini" on real files in a temporary folder: loading an
// airport's section over the table, saving it back, and the defaults that
// the settings load restores.
#include "core/cross_sim_offsets_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "core/cross_sim_offsets.h"
#include "core/settings.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "win/clock.h"
#include "win/richedit.h"

namespace {

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CrossSimOffsetEntry Entry(std::int32_t a, std::int32_t b, double lat, double lon, float alt, float heading) {
  return CrossSimOffsetEntry{a, b, lat, lon, alt, heading};
}

// A table that differs from the defaults in every entry.
CrossSimOffsetTable Marked() {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  for (std::size_t i = 0; i < table.entries.size(); ++i) {
    table.entries[i].latitudeOffset = 0.5 + static_cast<double>(i);
    table.entries[i].headingOffset = static_cast<float>(i);
  }
  return table;
}

class OffsetsFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  }
  void TearDown() override { SetCrossSimOffsets(DefaultCrossSimOffsetTable()); }

  CrossSimLoadResult Load(const std::string& bytes, std::string_view icao = "LFPG", std::int32_t own = 9000) {
    PutFile(path_, bytes);
    return LoadCrossSimOffsets(icao, own, path_.c_str());
  }

  TempFolder folder_;
  std::string path_ = folder_.Path() + "/CrossSimOffsets.ini";
};

}  // namespace

TEST_F(OffsetsFile, ASectionWithTwoKeysReplacesTwoEntriesAndNamesTheAirport) {
  SetCrossSimOffsets(Marked());
  const CrossSimLoadResult result = Load(
      "[OFS_EGLL]\r\nSIM0=XP9,XP10,9,9,9,9\r\n"
      "[OFS_LFPG]\r\nSIM0=FS,XP10,0.0001,0,10,2\r\nsim1 = xp9 , fsx,-0.5,0.25,-3,-4\r\n");
  EXPECT_TRUE(result.attempted);
  EXPECT_EQ(result.entriesRead, 2);
  EXPECT_EQ(result.errorCode, 0);
  EXPECT_FALSE(result.Complete());

  const CrossSimOffsetTable table = CrossSimOffsets();
  const CrossSimOffsetTable marked = Marked();
  EXPECT_STREQ(table.icao.data(), "LFPG");
  EXPECT_EQ(table.entries[0], Entry(2004, 10000, 0.0001, 0, 10, 2));
  EXPECT_EQ(table.entries[1], Entry(9000, 2006, -0.5, 0.25, -3, -4));
  for (std::size_t i = 2; i < table.entries.size(); ++i) EXPECT_EQ(table.entries[i], marked.entries[i]) << i;
}

TEST_F(OffsetsFile, AllTenKeysMakeACompleteLoad) {
  std::string file = "[OFS_KSFO]\r\n";
  for (int n = 0; n < 10; ++n) file += "SIM" + std::to_string(n) + "=FSX,XP9," + std::to_string(n) + ",0,0,0\r\n";
  const CrossSimLoadResult result = Load(file, "KSFO");
  EXPECT_EQ(result.entriesRead, 10);
  EXPECT_TRUE(result.Complete());
  const CrossSimOffsetTable table = CrossSimOffsets();
  for (int n = 0; n < 10; ++n) EXPECT_EQ(table.entries[n], Entry(2006, 9000, n, 0, 0, 0)) << n;
}

TEST_F(OffsetsFile, TheFirstBadOrMissingValueEndsTheLoad) {
  const struct {
    const char* name;
    const char* section;
    int entriesRead;
    int errorCode;
  } cases[] = {
      {"unknown family A", "SIM0=FS,XP10,1,1,1,1\r\nSIM1=XP11,XP9,1,1,1,1\r\nSIM2=FS,XP9,1,1,1,1\r\n", 1, -11},
      {"unknown family B", "SIM0=FS,XP11,1,1,1,1\r\nSIM1=FS,XP9,1,1,1,1\r\n", 0, -21},
      {"heading out of range", "SIM0=FS,XP10,1,1,1,1\r\nSIM1=FS,XP9,0,0,0,720\r\n", 1, -60},
      {"not a number", "SIM0=FS,XP10,1,1,1,1\r\nSIM1=FS,XP9,1,1,abc,1\r\n", 1, -50},
      {"empty value", "SIM0=FS,XP10,1,1,1,1\r\nSIM1=\r\nSIM2=FS,XP9,1,1,1,1\r\n", 1, 0},
      {"gap in the keys", "SIM0=FS,XP10,1,1,1,1\r\nSIM2=FS,XP9,1,1,1,1\r\n", 1, 0},
      {"no keys", "", 0, 0},
  };
  for (const auto& c : cases) {
    SetCrossSimOffsets(Marked());
    const CrossSimLoadResult result = Load(std::string("[OFS_LFPG]\r\n") + c.section);
    EXPECT_TRUE(result.attempted) << c.name;
    EXPECT_EQ(result.entriesRead, c.entriesRead) << c.name;
    EXPECT_EQ(result.errorCode, c.errorCode) << c.name;
    const CrossSimOffsetTable table = CrossSimOffsets();
    const CrossSimOffsetTable marked = Marked();
    // The entry that failed and all after it keep their values; so does the
    // airport when nothing was read.
    for (int i = c.entriesRead; i < kCrossSimEntryCount; ++i) {
      EXPECT_EQ(table.entries[i], marked.entries[i]) << c.name << " " << i;
    }
    EXPECT_STREQ(table.icao.data(), c.entriesRead > 0 ? "LFPG" : "") << c.name;
  }
}

TEST_F(OffsetsFile, NothingIsLoadedWithoutFileAirportOrOwnFamily) {
  const std::string good = "[OFS_LFPG]\r\nSIM0=FS,XP10,1,1,1,1\r\n";
  SetCrossSimOffsets(Marked());
  EXPECT_FALSE(Load(good, "", 9000).attempted);
  EXPECT_FALSE(Load(good, "LFPG", 0).attempted);
  const std::string missing = folder_.Path() + "/none.ini";
  EXPECT_FALSE(LoadCrossSimOffsets("LFPG", 9000, missing.c_str()).attempted);
  EXPECT_FALSE(LoadCrossSimOffsets("LFPG", 9000, folder_.Path().c_str()).attempted) << "a folder is no file";
  EXPECT_FALSE(LoadCrossSimOffsets("LFPG", 9000, nullptr).attempted);
  EXPECT_EQ(CrossSimOffsets(), Marked());
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(OffsetsFile, LongCodesAndGarbledFilesAreReadSafely) {
  // Only four characters of a code name the section.
  EXPECT_EQ(Load("[OFS_ABCD]\r\nSIM0=FS,XP10,1,1,1,1\r\n", std::string_view("ABCDEFGH", 8)).entriesRead, 1);
  EXPECT_STREQ(CrossSimOffsets().icao.data(), "ABCD");

  // A value longer than the 1,023 characters the loader reads is refused, not cut.
  // Cut, this heading of leading zeros would read as 0.
  const std::string longValue = "FS,XP10,1,1,1," + std::string(1100, '0') + "5";
  SetCrossSimOffsets(Marked());
  CrossSimLoadResult result = Load("[OFS_LFPG]\r\nSIM0=" + longValue + "\r\n");
  EXPECT_EQ(result.entriesRead, 0);
  EXPECT_LT(result.errorCode, 0);
  EXPECT_EQ(CrossSimOffsets(), Marked());

  // Bytes that are no INI text at all.
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37) & 0xFF);
  result = Load(junk + "\r\n[OFS_LFPG]\r\nSIM0=" + junk.substr(200, 300) + "\r\nSIM1=FS,XP10,1,1,1,1\r\n");
  EXPECT_EQ(result.entriesRead, 0);
  EXPECT_LT(result.errorCode, 0);
  EXPECT_EQ(CrossSimOffsets(), Marked());
}

TEST_F(OffsetsFile, SavedTableLoadsBackAndKeepsOtherSections) {
  PutFile(path_, "; hand notes\r\n[OFS_EGLL]\r\nSIM0=XP9,XP10,9,9,9,9\r\n[OFS_LFPG]\r\nSIM3=old\r\n");
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  table.entries[0] = Entry(2004, 10000, 0.0001, 0, 10, 2);
  table.entries[3] = Entry(2002, 9000, -0.123456, 179.5, -99999.5F, -180);
  table.entries[9] = Entry(10000, 9000, 1e-6, -1e-6, 0.05F, 0.5F);
  SetCrossSimOffsets(table);
  ASSERT_EQ(SaveCrossSimOffsets("LFPG", path_.c_str()), CrossSimSaveResult::Saved);

  const std::string bytes = FileBytes(path_);
  EXPECT_NE(bytes.find("; hand notes\r\n[OFS_EGLL]\r\nSIM0=XP9,XP10,9,9,9,9\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("SIM0=FS,XP10,0.000100,0.000000,10.000000,2.000000\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("SIM3=FS,XP9,-0.123456,179.500000,-99999.500000,-180.000000\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("SIM9=XP10,XP9,0.000001,-0.000001,0.050000,0.500000\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("old"), std::string::npos);

  SetCrossSimOffsets(Marked());
  const CrossSimLoadResult result = LoadCrossSimOffsets("LFPG", 9000, path_.c_str());
  ASSERT_TRUE(result.Complete());
  const CrossSimOffsetTable back = CrossSimOffsets();
  EXPECT_STREQ(back.icao.data(), "LFPG");
  for (std::size_t i = 0; i < back.entries.size(); ++i) {
    CrossSimOffsetEntry expected = table.entries[i];
    if (expected.simulatorA == 2002) expected.simulatorA = 2004;  // "FS" reads as 2004
    EXPECT_EQ(back.entries[i].simulatorA, expected.simulatorA) << i;
    EXPECT_EQ(back.entries[i].simulatorB, expected.simulatorB) << i;
    EXPECT_NEAR(back.entries[i].latitudeOffset, expected.latitudeOffset, 5e-7) << i;
    EXPECT_NEAR(back.entries[i].longitudeOffset, expected.longitudeOffset, 5e-7) << i;
    EXPECT_NEAR(back.entries[i].altitudeOffset, expected.altitudeOffset, 5e-3) << i;
    EXPECT_NEAR(back.entries[i].headingOffset, expected.headingOffset, 5e-6) << i;
  }
}

TEST_F(OffsetsFile, NothingIsWrittenWithoutAirportOrForATableThatWouldNotLoadBack) {
  EXPECT_EQ(SaveCrossSimOffsets("", path_.c_str()), CrossSimSaveResult::NoAirport);
  EXPECT_FALSE(std::filesystem::exists(path_));

  const std::string before = "[OFS_LFPG]\r\nSIM0=FS,XP10,1,1,1,1\r\n";
  const struct {
    const char* name;
    CrossSimOffsetEntry entry;
  } cases[] = {
      {"family without a name", Entry(4000, 9000, 0, 0, 0, 0)},
      {"no family", Entry(0, 0, 0, 0, 0, 0)},
      {"latitude beyond the pole", Entry(2004, 9000, 91, 0, 0, 0)},
      {"heading beyond 180", Entry(2004, 9000, 0, 0, 0, 200)},
      {"not a number", Entry(2004, 9000, 0, std::nan(""), 0, 0)},
  };
  for (const auto& c : cases) {
    PutFile(path_, before);
    CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
    table.entries[6] = c.entry;
    SetCrossSimOffsets(table);
    EXPECT_EQ(SaveCrossSimOffsets("LFPG", path_.c_str()), CrossSimSaveResult::InvalidEntry) << c.name;
    EXPECT_EQ(FileBytes(path_), before) << c.name;
  }

  // A file that cannot be written is reported.
  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  const std::string blocked = folder_.Path() + "/missing-folder/CrossSimOffsets.ini";
  EXPECT_EQ(SaveCrossSimOffsets("LFPG", blocked.c_str()), CrossSimSaveResult::WriteFailed);
}

TEST_F(OffsetsFile, SettingsLoadRestoresTheDefaultTable) {
  SetCrossSimOffsets(Marked());
  const std::string settings = folder_.Path() + "/Tavelkor.ini";
  PutFile(settings, "[SETUP]\r\nLanguage=1\r\n");
  EXPECT_EQ(LoadSetup(settings.c_str()), 1);
  EXPECT_EQ(CrossSimOffsets().entries, DefaultCrossSimOffsetTable().entries);
  ResetUnknownLanguage();
  Language = 0;
}

namespace {
class OffsetsFileTrace : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    edit_.Create(0, nullptr, 1);
    print_.AttachRichEdit(&edit_, nullptr);
    Klib().traceOutput = &print_;
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  }
  void TearDown() override {
    Klib().traceOutput = nullptr;
    Klib().traceMask = 0;
    SetCrossSimOffsets(DefaultCrossSimOffsetTable());
    KlibFixture::TearDown();
  }
  bool WaitForText(const std::string& part) {
    for (int waited = 0; waited < 5000; waited += 5) {
      if (edit_.Text().find(part) != std::string::npos) return true;
      Sleep(5);
    }
    return false;
  }

  TempFolder folder_;
  std::string path_ = folder_.Path() + "/CrossSimOffsets.ini";
  CRichEditCtrl edit_;
  CPrintDlg print_;
};
}  // namespace

TEST_F(OffsetsFileTrace, ABadValueIsTracedInTheErrorColourWhenItsCategoryIsOn) {
  PutFile(path_, "[OFS_LFPG]\r\nSIM0=FS,XP12,0,0,0,0\r\n");
  Klib().traceMask = ~0x20u;
  EXPECT_EQ(LoadCrossSimOffsets("LFPG", 9000, path_.c_str()).errorCode, -21);
  PutFile(path_, "[OFS_LFPG]\r\nSIM0=fs, xp11,%s%n,0,0,0\r\n");
  Klib().traceMask = 0x20;
  EXPECT_EQ(LoadCrossSimOffsets("LFPG", 9000, path_.c_str()).errorCode, -21);
  const std::string expected =
      "Error -21 at Section OFS_LFPG, Entry SIM0, in file " + path_ + " : FS,_XP11,%S%N,0,0,0";
  ASSERT_TRUE(WaitForText(expected)) << edit_.Text();
  // Lines print in order: had the first load traced, its line would be there by now.
  EXPECT_EQ(edit_.Text().find("XP12"), std::string::npos) << edit_.Text();
  EXPECT_EQ(edit_.Runs().back().colour, Klib().Colour(kColourError));
}

TEST_F(OffsetsFileTrace, AnEntryWithoutFamilyNameStopsTheSaveWithItsLine) {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  table.entries[4].simulatorB = 1234;
  SetCrossSimOffsets(table);
  EXPECT_EQ(SaveCrossSimOffsets("LFPG", path_.c_str()), CrossSimSaveResult::InvalidEntry);
  ASSERT_TRUE(WaitForText("Error while saving offsets in file " + path_ + " : ")) << edit_.Text();
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(OffsetsFileTrace, AFileThatCannotBeWrittenIsReportedInTheErrorColour) {
  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  const std::string blocked = path_ + ".missing/CrossSimOffsets.ini";
  EXPECT_EQ(SaveCrossSimOffsets("LFPG", blocked.c_str()), CrossSimSaveResult::WriteFailed);
  ASSERT_TRUE(WaitForText("Error while writing offsets in file " + blocked + ".")) << edit_.Text();
  EXPECT_EQ(edit_.Runs().back().colour, Klib().Colour(kColourError));
}
