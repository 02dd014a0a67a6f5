#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model_test_support.h"
#include "sim/rules_file.h"
#include "win/paths.h"

namespace {
class RulesFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = JoinPath(folder_.Path(), "Rules.txt");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  // Every entry of a section, in order, and the result that ended the reading.
  std::pair<std::vector<std::string>, int> Entries(RulesFile& file, const char* section) {
    std::vector<std::string> entries;
    std::array<char, RulesFile::kEntryMax + 1> out{};
    int r = file.GetNextEntry(section, out.data(), out.size(), true);
    for (; r == RulesFile::kEntryFound; r = file.GetNextEntry(section, out.data(), out.size(), false))
      entries.emplace_back(out.data());
    return {entries, r};
  }
  std::pair<std::vector<std::string>, int> EntriesOf(const std::string& text, const char* section) {
    RulesFile file(&log_);
    EXPECT_EQ(file.Load(Write(text)), 1);
    return Entries(file, section);
  }

  TempFolder folder_;
  RecordingLog log_;
};

TEST_F(RulesFileTest, LinesOfASectionTrimmedWithCommentsAndBlankLinesSkipped) {
  const auto [entries, end] = EntriesOf(
      "[OTHER]\r\nx=1\r\n[local_aircrafts]\r\n  001=Cessna{{C172}}  \r\n\r\n   \r\n ; a comment\r\n"
      "002=A;B{{B738}}\n003=x\r\n[NEXT]\r\n004=y\r\n",
      "LOCAL_AIRCRAFTS");
  EXPECT_EQ(entries, (std::vector<std::string>{"001=Cessna{{C172}}", "002=A;B{{B738}}", "003=x"}));
  EXPECT_EQ(end, RulesFile::kEntrySectionLine);
}

TEST_F(RulesFileTest, LastLineWithoutLineEndIsNotRead) {
  EXPECT_EQ(EntriesOf("[S]\r\na=1\r\nb=2", "S").first, (std::vector<std::string>{"a=1"}));
  EXPECT_EQ(EntriesOf("[S]\na=1\nb=2\n", "S").first, (std::vector<std::string>{"a=1", "b=2"}));
  const auto [entries, end] = EntriesOf("[S]\r\na=1\r\n", "S");
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_EQ(end, RulesFile::kEntryEndOfFile);
}

TEST_F(RulesFileTest, FirstEntryResults) {
  struct Case {
    const char* text;
    std::vector<std::string> entries;
    int end;
  };
  const Case cases[] = {{"[A]\r\nx=1\r\n", {}, RulesFile::kEntrySectionNotFound},
                        {"[S]\r\n", {}, RulesFile::kEntryFirstNone},
                        {"[S]\r\n[T]\r\n", {}, RulesFile::kEntryFirstSectionLine},
                        {"S=1\r\n", {}, RulesFile::kEntrySectionNotFound},  // the name in brackets only
                        {"[s]\r\nx\r\n", {"x"}, RulesFile::kEntryEndOfFile}};
  for (const Case& c : cases) {
    const auto [entries, end] = EntriesOf(c.text, "S");
    EXPECT_EQ(entries, c.entries) << c.text;
    EXPECT_EQ(end, c.end) << c.text;
  }
}

TEST_F(RulesFileTest, EmptyFileLoadsWithNoRules) {
  RulesFile file(&log_);
  ASSERT_EQ(file.Load(Write("")), 1);
  EXPECT_EQ(file.LineCount(), 0);
  std::array<char, 64> out{};
  EXPECT_EQ(file.ReadLine(out.data(), out.size()), 0);
  EXPECT_EQ(file.GetNextEntry("S", out.data(), out.size(), true), RulesFile::kEntrySectionNotFound);
  EXPECT_EQ(log_.Text(), "");
}

TEST_F(RulesFileTest, TabsCountAsEightBlanksAndBoundTheLine) {
  EXPECT_EQ(EntriesOf("[S]\r\na\tb\r\n", "S").first, (std::vector<std::string>{"a        b"}));
  // "k=", 127 tabs and "x": 1,019 characters once the tabs are expanded.
  const std::string line = "k=" + std::string(127, '\t') + "x";
  EXPECT_EQ(EntriesOf("[S]\r\n" + line + "\r\n", "S").first,
            (std::vector<std::string>{"k=" + std::string(127 * 8, ' ') + "x"}));
  // Seven more characters make 1,026: the reading ends at that line.
  const auto [entries, end] = EntriesOf("[S]\r\n" + line + "yyyyyyy\r\nafter=1\r\n", "S");
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(end, RulesFile::kEntryFirstNone);
}

TEST_F(RulesFileTest, LongLinesAreCutOrEndTheReading) {
  const std::string keptLine = "k=" + std::string(1'023, 'v');  // 1,025 characters: read, cut to 1,023 then 1,022
  const auto [kept, keptEnd] = EntriesOf("[S]\r\n" + keptLine + "\r\nb=1\r\n", "S");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], keptLine.substr(0, RulesFile::kEntryMax));
  const auto [refused, refusedEnd] = EntriesOf("[S]\r\na=1\r\n" + keptLine + "v\r\nb=1\r\n", "S");
  EXPECT_EQ(refused, (std::vector<std::string>{"a=1"}));
  EXPECT_EQ(refusedEnd, RulesFile::kEntryEndOfFile);
  // A long comment costs nothing.
  EXPECT_EQ(EntriesOf("[S]\r\n;" + std::string(3'000, 'c') + "\r\na=1\r\n", "S").first, (std::vector<std::string>{"a=1"}));
}

TEST_F(RulesFileTest, KeyReadsTakeTheDestinationSize) {
  RulesFile file(&log_);
  ASSERT_EQ(file.Load(Write("[S]\r\nfirst=one\r\nNoValue\r\nKey = some long value \r\n[T]\r\nlater=2\r\n")), 1);
  std::array<char, 8> small{};
  small.fill('#');
  EXPECT_EQ(file.GetKeyString("s", "key", small.data(), 5), RulesFile::kKeyFound);
  EXPECT_EQ(std::string(small.data()), "some");
  EXPECT_EQ(small[5], '#');
  std::array<char, 64> out{};
  EXPECT_EQ(file.GetKeyString("S", "FIRST", out.data(), out.size()), RulesFile::kKeyFound);
  EXPECT_EQ(std::string(out.data()), "one");
  EXPECT_EQ(file.GetKeyString("S", "novalue", out.data(), out.size()), RulesFile::kKeyNoEquals);
  EXPECT_EQ(file.GetKeyString("S", "later", out.data(), out.size()), RulesFile::kKeyNextSection);
  EXPECT_EQ(file.GetKeyString("U", "x", out.data(), out.size()), RulesFile::kKeyNotFound);
  EXPECT_EQ(file.GetKeyString("T", "missing", out.data(), out.size()), RulesFile::kKeyNotFound);
}

TEST_F(RulesFileTest, NotLoadedDisabledAndMissingFiles) {
  RulesFile file(&log_);
  std::array<char, 64> out{};
  EXPECT_EQ(file.Load(JoinPath(folder_.Path(), "missing.txt")), 0);
  EXPECT_EQ(file.Load(""), 0);
  EXPECT_EQ(log_.Text(), "");  // a missing file is silent
  EXPECT_EQ(file.GetNextEntry("S", out.data(), out.size(), true), RulesFile::kEntryNotLoaded);
  EXPECT_EQ(file.GetKeyString("S", "k", out.data(), out.size()), RulesFile::kKeyNotLoaded);
  EXPECT_EQ(file.GetNextLine(out.data(), out.size()), 0);
  EXPECT_EQ(file.ReadLine(out.data(), out.size()), 0);
  const std::string text = log_.Text();
  for (const char* code : {"Error code GNE A.", "Error code GKS A.", "Error code GNTL A.", "Error code xGNTL B."})
    EXPECT_NE(text.find(code), std::string::npos) << code;

  RulesFile disabled(&log_);
  const std::string path = Write("[S]\r\na=1\r\n");
  ASSERT_EQ(disabled.Load(path), 1);
  disabled.SetEnabled(false);
  EXPECT_EQ(disabled.GetNextEntry("S", out.data(), out.size(), true), RulesFile::kEntryDisabled);
  EXPECT_EQ(disabled.GetKeyString("S", "a", out.data(), out.size()), RulesFile::kKeyDisabled);
  EXPECT_EQ(disabled.Load(path), 0);
}

// A file too large to hold is refused with the allocation message, and no
// rules: the reading never ends the program.
TEST_F(RulesFileTest, AFileTooLargeToHoldGivesNoRules) {
  const std::string path = Write("[S]\r\na=1\r\n");
  const auto sized = [&](unsigned long long bytes) {
    std::filesystem::resize_file(path, bytes);  // sparse: no disk is used for the zeros
    return path;
  };
  RulesFile largest(&log_);
  EXPECT_EQ(largest.Load(sized(RulesFile::kMaxFileBytes)), 1);
  EXPECT_EQ(Entries(largest, "S").first, std::vector<std::string>{"a=1"});
  largest.Free();
  EXPECT_EQ(log_.Text(), "");

  RulesFile file(&log_);
  EXPECT_EQ(file.Load(sized(RulesFile::kMaxFileBytes + 1)), 0);
  EXPECT_FALSE(file.Loaded());
  EXPECT_EQ(log_.Text(), "\r\nError : Could not allocate " + std::to_string(RulesFile::kMaxFileBytes + 1 + 10'240) +
                             " buffer bytes for file " + path);
  std::array<char, 64> out{};
  EXPECT_EQ(file.GetNextEntry("S", out.data(), out.size(), true), RulesFile::kEntryNotLoaded);
  // Far beyond any memory: refused the same way.
  RulesFile huge(nullptr);
  EXPECT_EQ(huge.Load(sized(1ULL << 42)), 0);
}

TEST_F(RulesFileTest, AFileDeepInTheTreeLoads) {
  std::string folder = folder_.Path();
  while (folder.size() <= 300) folder = JoinPath(folder, std::string(40, 'd'));
  std::filesystem::create_directories(folder);
  const std::string path = JoinPath(folder, "Rules.txt");
  std::ofstream(path, std::ios::binary) << "[S]\r\na=1\r\n";
  RulesFile file(&log_);
  ASSERT_EQ(file.Load(path), 1);
  EXPECT_EQ(Entries(file, "S").first, std::vector<std::string>{"a=1"});
}

TEST_F(RulesFileTest, LinesAndLineNumbers) {
  RulesFile file(&log_);
  ASSERT_EQ(file.Load(Write("one\nTwo\r\n\r\nthree\r\n")), 1);
  EXPECT_EQ(file.LineCount(), 5);
  std::array<char, 4> out{};
  std::vector<std::string> lines;
  while (file.GetNextLine(out.data(), out.size()) == 1) lines.emplace_back(out.data());
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "Two", "thr"}));  // cut to the buffer
  EXPECT_EQ(file.LineNumber(), 3);
}
}  // namespace
