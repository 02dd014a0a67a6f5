#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "base/main_thread.h"
#include "base/print_dlg.h"
#include "base/remote_trace.h"
#include "support/klib_fixture.h"
#include "win/clock.h"
#include "win/richedit.h"

namespace {
// A rich edit on this thread with a print dialog attached to it.
struct Output {
  Output() {
    edit.Create(0, nullptr, 1);
    print.AttachRichEdit(&edit, nullptr);
  }
  CRichEditCtrl edit;
  CPrintDlg print;
};

class WriterThread : public CBaseThread {
 public:
  explicit WriterThread(char marker = 0) : CBaseThread(nullptr, "n_WRITER", 3) { SetMarker(marker); }
};

bool WaitForText(const CRichEditCtrl& edit, const std::string& text, int timeoutMs = 3000) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (edit.Text() == text) return true;
    Sleep(5);
  }
  return edit.Text() == text;
}

class TraceTest : public KlibFixture {};
}  // namespace

TEST_F(TraceTest, PrintFormatsRemovesBellsAndEmptyFormatClears) {
  Output out;
  out.print.Print("a%db\a", 5);
  EXPECT_EQ(out.edit.Text(), "a5b");
  out.print.PrintText("100%s%d");  // already formatted: printed as it stands
  EXPECT_EQ(out.edit.Text(), "a5b100%s%d");
  out.print.Print("");
  EXPECT_EQ(out.edit.Text(), "");
  EXPECT_EQ(out.edit.BackgroundColour(), kTraceBackground);
}

TEST_F(TraceTest, PrintLineStartsWithALineBreak) {
  Output out;
  out.print.PrintLine("first");
  out.print.PrintLine("");
  out.print.PrintLine("second");
  EXPECT_EQ(out.edit.Text(), "\r\nfirst\r\n\r\nsecond");
}

TEST_F(TraceTest, LinesKeepTheColourTheyWerePrintedIn) {
  Output out;
  out.print.SetFormat(0, 0x0000FF);
  out.print.PrintText("red ");
  out.print.SetFormat(CFE_BOLD, 0x00FF00);
  out.print.PrintText("green");
  const auto runs = out.edit.Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (TextRun{"red ", 0x0000FF, 0}));
  EXPECT_EQ(runs[1], (TextRun{"green", 0x00FF00, CFE_BOLD}));
}

TEST_F(TraceTest, DelimitedProgressTextIsRemoved) {
  const struct {
    const char* text;
    const char* withoutSpans;
    const char* withoutMarks;
  } cases[] = {
      {"a{12}b{3}c", "abc", "a12b3c"},
      {"x}y{z}w", "x}yw", "xyzw"},  // an end before any start does not close a span
      {"{open", "{open", "open"},
      {"none", "none", "none"},
  };
  for (const auto& c : cases) {
    Output spans;
    spans.print.PrintText(c.text);
    spans.print.RemoveDelimitedText('{', '}');
    EXPECT_EQ(spans.edit.Text(), c.withoutSpans) << c.text;
    Output marks;
    marks.print.PrintText(c.text);
    marks.print.RemoveDelimiters('{', '}');
    EXPECT_EQ(marks.edit.Text(), c.withoutMarks) << c.text;
  }
}

TEST_F(TraceTest, ThreadTracesGoStraightToTheOutput) {
  Output out;
  Klib().traceOutput = &out.print;
  WriterThread writer;
  writer.Trace("callsign %s", "AB%sCD");
  writer.TraceLine("n=%d", 3);
  EXPECT_EQ(out.edit.Text(), "callsign AB%sCD\r\nn=3");
  writer.SetTraceColour(0x123456);
  writer.Trace("x");
  EXPECT_EQ(out.edit.Runs().back(), (TextRun{"x", 0x123456, 0}));
  writer.Trace("");
  EXPECT_EQ(out.edit.Text(), "");
  writer.Trace("y");
  writer.TraceClear();
  EXPECT_EQ(out.edit.Text(), "");
  Klib().traceOutput = nullptr;
}

TEST_F(TraceTest, WithoutOutputRecordsGoThroughTheMainThreadRing) {
  Output out;
  WriterThread writer;
  // The ring is drained by the main thread, which prints to the output once it has one.
  main_->hold = true;
  writer.SetTraceFormat(CFE_ITALIC, 0xABCDEF);
  writer.TraceQuiet("quiet ");
  writer.Trace("100%% %s\a", "%d");
  Klib().traceOutput = &out.print;
  main_->hold = false;
  ASSERT_TRUE(WaitForText(out.edit, "quiet 100% %d"));
  EXPECT_EQ(out.edit.Runs().back().colour, 0xABCDEFu);
  EXPECT_EQ(out.edit.Runs().back().effects, static_cast<DWORD>(CFE_ITALIC));
  Klib().traceOutput = nullptr;
}

TEST_F(TraceTest, LocalWritersChangeTheStoredFormatOnly) {
  Output out;
  WriterThread local('G');
  main_->hold = true;
  local.SetTraceFormat(CFE_BOLD, 0x0000AA);
  local.TraceRemoveDelimitedText('{', '}');  // ignored for a local drain
  local.Trace("{kept}");
  Klib().traceOutput = &out.print;
  main_->hold = false;
  ASSERT_TRUE(WaitForText(out.edit, "{kept}"));
  EXPECT_EQ(main_->StoredColour(), 0x0000AAu);
  EXPECT_EQ(main_->StoredEffects(), static_cast<DWORD>(CFE_BOLD));
  EXPECT_NE(out.edit.Runs().back().colour, 0x0000AAu);
  Klib().traceOutput = nullptr;
}

TEST_F(TraceTest, RingRecordIsWrittenWholeOrNotAtAll) {
  // Fill the ring nearly full while the main thread is stopped, then a text that does not fit.
  main_->RequestStop(0);
  main_->WaitForEnd(5000);
  ByteRing& ring = main_->TraceRing();
  const std::uint32_t before = RingUsed(ring);
  WriterThread writer;
  const std::string big(kTraceBufferSize - 100, 'z');
  while (RingFree(ring) > big.size() + 2) writer.TraceQuiet("%s", big.c_str());
  const std::uint32_t used = RingUsed(ring);
  EXPECT_GT(used, before);
  Klib().exitFlag = 1;  // ends the 10 s wait for room at once
  writer.TraceQuiet("%s", big.c_str());
  EXPECT_EQ(RingUsed(ring), used);
  Klib().exitFlag = 0;
}

TEST(RemoteTrace, RecordLayouts) {
  ResetKlibForTest();
  const auto text = BuildRemoteTraceRecord(kRemoteTraceText, "hi", 0, 0);
  const std::vector<std::uint8_t> expectedText = {0xA1, 0xB2, 0xC3, 0x17, 10, 1, 0, 0, 4, 0, 0, 0, 2, 0, 'h', 'i'};
  EXPECT_EQ(text, expectedText);
  const auto clear = BuildRemoteTraceRecord(kRemoteTraceClear, {}, 0, 0);
  EXPECT_EQ(clear.size(), kRemoteTraceHeaderSize);
  const auto format = BuildRemoteTraceRecord(kRemoteTraceFormat, {}, 0x01020304, 0x0A0B0C0D);
  const std::vector<std::uint8_t> expectedFormat = {0xA1, 0xB2, 0xC3, 0x17, 10, 2, 0, 0, 8, 0, 0, 0,
                                                    4,    3,    2,    1,    0x0D, 0x0C, 0x0B, 0x0A};
  EXPECT_EQ(format, expectedFormat);
  EXPECT_TRUE(BuildRemoteTraceRecord(9, {}, 0, 0).empty());
}

namespace {
struct EmptyTextCase {
  const char* label;
  std::function<void(CBaseThread& writer, CMainThread& main)> call;
  bool clears;
};
}  // namespace

// A peer's empty comment printed through "%s" must not wipe the window: only an empty format clears.
TEST_F(TraceTest, OnlyAnEmptyFormatClearsAnEmptyTextPrintsNothing) {
  const EmptyTextCase cases[] = {
      {"Trace of an empty text", [](CBaseThread& w, CMainThread&) { w.Trace("%s", ""); }, false},
      {"TraceQuiet of an empty text", [](CBaseThread& w, CMainThread&) { w.TraceQuiet("%s", ""); }, false},
      {"Trace of bells only", [](CBaseThread& w, CMainThread&) { w.Trace("%s", "\a\a"); }, false},
      {"Output of an empty text", [](CBaseThread&, CMainThread& m) { m.Output("%s", ""); }, false},
      {"OutputLocal of an empty text", [](CBaseThread&, CMainThread& m) { m.OutputLocal("%s", ""); }, false},
      {"Print of an empty text", [](CBaseThread&, CMainThread&) { Klib().traceOutput.load()->Print("%s", ""); },
       false},
      {"Trace of an empty format", [](CBaseThread& w, CMainThread&) { w.Trace(""); }, true},
      {"Output of an empty format", [](CBaseThread&, CMainThread& m) { m.Output(""); }, true},
  };
  for (const EmptyTextCase& c : cases) {
    Output out;
    Klib().traceOutput = &out.print;
    WriterThread writer;
    out.print.PrintText("web page line");
    c.call(writer, *main_);
    EXPECT_EQ(out.edit.Text(), c.clears ? "" : "web page line") << c.label;
    Klib().traceOutput = nullptr;
  }
}

TEST_F(TraceTest, WithoutOutputAnEmptyTextWritesNoRecordAndAnEmptyFormatAClear) {
  main_->hold = true;
  ByteRing& ring = main_->TraceRing();
  WriterThread writer;
  const std::uint32_t before = RingUsed(ring);
  writer.Trace("%s", "");
  EXPECT_EQ(RingUsed(ring), before) << "an empty text leaves no record";
  writer.Trace("");
  EXPECT_EQ(RingUsed(ring), before + 1) << "an empty format leaves a clear record";
  main_->hold = false;
}
