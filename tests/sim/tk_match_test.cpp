// The tk_match program end to end: titles on its standard input, one answer
// line each.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "win/paths.h"

namespace {
constexpr int kExitWaitMs = 60'000;

struct RunResult {
  int status = -1;
  std::vector<std::string> lines;
  std::string err;
};

class TkMatch : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return JoinPath(folder_.Path(), name); }

  // Runs tk_match in `cwd` with the bytes on its standard input.
  RunResult Start(const std::string& input, const std::vector<std::string>& args, const std::string& cwd = TK_SOURCE_DIR) {
    const std::string inputPath = File("titles.txt");
    std::ofstream(inputPath, std::ios::binary) << input;
    std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" < \"" + inputPath + "\"", TK_MATCH_BINARY};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    ChildProcess child("/bin/sh", cwd, {}, shellArgs);
    RunResult run;
    run.status = child.WaitForExit(kExitWaitMs);
    std::istringstream out(child.Stdout());
    for (std::string line; std::getline(out, line);) run.lines.push_back(line);
    run.err = child.Stderr();
    return run;
  }

  static std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
  }

  // The three fields of the decision list.
  static std::string ListFields(const std::string& line) {
    std::size_t tab = 0;
    for (int i = 0; i < 3 && tab != std::string::npos; ++i) tab = line.find('\t', tab + (i == 0 ? 0 : 1));
    return line.substr(0, tab);
  }

  TempFolder folder_;
};

TEST_F(TkMatch, AnswersOneLinePerTitle) {
  const RunResult run = Start("SAAB VIGGEN\nCESSNA 172 RG\r\nTAVELKOR QWZJ\nXXTAVELKOR QWZJ\n\nTAVELKOR B738X", {});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 6U);
  EXPECT_EQ(ListFields(run.lines[0]), "10000\tSB37\t1");
  EXPECT_EQ(ListFields(run.lines[1]), "10000\tC172\t0");  // the CR of the line end is not part of the title
  EXPECT_EQ(run.lines[2], "1\tQWZJ\t0\t0\t");
  EXPECT_EQ(run.lines[3], "0\t\t0\t0\t");
  EXPECT_EQ(run.lines[4], "-2\t\t0\t0\t");  // an empty title
  EXPECT_EQ(ListFields(run.lines[5]), "10000\tB738\t0");  // a last line without its line end
}

TEST_F(TkMatch, ScorerRunsWhateverTheListAnswered) {
  const std::string types = File("types.txt");
  std::ofstream(types, std::ios::binary) << "Cessna\t172 Skyhawk\tC172\tL1P\tL\r\nSaab\tViggen\tSB37\tL1J\tM\r\n";
  const RunResult run = Start("CESSNA 172\nVIP b738xyz\nSAAB VIGGEN\nQWZJ\n", {"--types", types});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 4U);
  EXPECT_EQ(run.lines[0], "10000\tC172\t0\t80\tC172");
  EXPECT_EQ(run.lines[1], "10000\tB738\t0\t9999\tB738");
  EXPECT_EQ(run.lines[2], "10000\tSB37\t1\t40\tSB37");  // "SAAB" 40, "VIGGEN" 30: one word's best, no sum
  EXPECT_EQ(run.lines[3], "0\t\t0\t0\t");
}

TEST_F(TkMatch, NormaliseFirst) {
  const std::string input = "Boeing 737-800 Air X\n  tavelkor_qwzj  \n";
  const RunResult raw = Start(input, {});
  const RunResult normalised = Start(input, {"--normalise"});
  ASSERT_EQ(raw.status, 0) << raw.err;
  ASSERT_EQ(normalised.status, 0) << normalised.err;
  ASSERT_EQ(raw.lines.size(), 2U);
  ASSERT_EQ(normalised.lines.size(), 2U);
  EXPECT_EQ(ListFields(raw.lines[0]), "10000\tB737\t0");
  EXPECT_EQ(ListFields(normalised.lines[0]), "10000\tB738\t0");
  EXPECT_EQ(ListFields(raw.lines[1]), "0\t\t0");
  EXPECT_EQ(ListFields(normalised.lines[1]), "1\tQWZJ\t0");
}

TEST_F(TkMatch, FindsTheShippedTypesFromAnotherFolder) {
  const RunResult run = Start("CESSNA 172\n", {}, folder_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 1U);
  const std::vector<std::string> fields = Fields(run.lines[0]);
  ASSERT_EQ(fields.size(), 5U);
  EXPECT_NE(fields[3], "0");  // the scorer had a table
  EXPECT_EQ(fields[4], "C172");
}

TEST_F(TkMatch, BadCommandLines) {
  EXPECT_EQ(Start("X\n", {"--types", File("missing.txt")}).status, 2);
  EXPECT_EQ(Start("X\n", {"--types"}).status, 2);
  EXPECT_EQ(Start("X\n", {"--fast"}).status, 2);
}
}  // namespace
