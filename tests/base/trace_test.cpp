#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/main_thread.h"
#include "base/print_dlg.h"
#include "base/remote_trace.h"
#include "base/trace_output.h"
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

namespace {
// Stands in for the 100 ms waits of a writer that finds the trace ring full:
// each wait runs the case's action at once, on the writer's own thread.
class ScriptedRingWaiter final : public RingWaiter {
 public:
  explicit ScriptedRingWaiter(std::function<void(int)> action) : action_(std::move(action)) {}
  void Wait(DWORD milliseconds) override {
    EXPECT_EQ(milliseconds, 100u);
    action_(waits_++);
  }
  int Waits() const { return waits_; }

 private:
  std::function<void(int)> action_;
  int waits_ = 0;
};

std::vector<std::uint8_t> RingBytes(ByteRing& ring) {
  std::vector<std::uint8_t> bytes(RingUsed(ring));
  if (!bytes.empty()) {
    EXPECT_EQ(RingRead(ring, bytes.data(), static_cast<std::uint32_t>(bytes.size())), RING_OK);
  }
  return bytes;
}
}  // namespace

TEST_F(TraceTest, RingRecordIsWrittenWholeOrNotAtAll) {
  const std::string big(kTraceBufferSize - 100, 'z');
  const std::uint32_t recordSize = static_cast<std::uint32_t>(big.size()) + 2;  // tag, text, terminator
  const std::string recordText = std::string(1, static_cast<char>(kTraceText)) + big + '\0';
  const std::vector<std::uint8_t> record(recordText.begin(), recordText.end());

  struct Case {
    const char* name;
    int waits;          // waits the writer made before it returned
    bool written;       // the record is at the end of the ring
    bool dropsARecord;  // the wait makes room for exactly one record
    bool exits;         // the wait sets the exit flag
  };
  const Case cases[] = {
      {"room made during the first wait", 1, true, true, false},
      {"exit during the first wait", 1, false, false, true},
      {"no room for 10 s", 100, false, false, false},
  };
  // The main thread is stopped, so that only this test reads the ring.
  main_->RequestStop(0);
  ASSERT_TRUE(main_->WaitForEnd(10'000));
  ByteRing& ring = main_->TraceRing();
  WriterThread writer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RingReset(ring);
    while (RingFree(ring) >= recordSize) writer.TraceQuiet("%s", big.c_str());
    const std::uint32_t used = RingUsed(ring);
    ASSERT_GT(used, 0u);
    ScriptedRingWaiter waiter([&](int) {
      EXPECT_EQ(RingUsed(ring), used);  // nothing of the record before it fits
      if (c.dropsARecord) {
        EXPECT_EQ(RingRead(ring, nullptr, recordSize), RING_OK);
      }
      if (c.exits) Klib().exitFlag = 1;
    });
    main_->SetTraceRingWaiter(waiter);
    writer.TraceQuiet("%s", big.c_str());
    main_->SetTraceRingWaiter(DefaultRingWaiter());
    Klib().exitFlag = 0;
    EXPECT_EQ(waiter.Waits(), c.waits);
    const std::vector<std::uint8_t> bytes = RingBytes(ring);
    if (c.written) {
      ASSERT_EQ(bytes.size(), used);
      EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.end() - recordSize));
    } else {
      EXPECT_EQ(bytes.size(), used);
    }
    // Every record in the ring is whole: a tag, the text and its terminator.
    ASSERT_EQ(bytes.size() % recordSize, 0u);
    for (std::size_t at = 0; at < bytes.size(); at += recordSize) {
      EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at))) << at;
    }
  }
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

// The chat window goes at quit while other threads still trace: taking it
// away waits for a print that is inside it, and no print reaches it after.
TEST(TraceOutputGuard, AWindowIsTakenAwayOnlyAfterThePrintInsideItEnded) {
  CPrintDlg print;
  Klib().traceOutput = &print;
  std::mutex mutex;
  std::condition_variable changed;
  bool inside = false;
  bool clearAsked = false;
  std::atomic<bool> left{false};
  std::thread printer([&] {
    WithTraceOutput([&](CPrintDlg&) {
      std::unique_lock lock(mutex);
      inside = true;
      changed.notify_all();
      changed.wait(lock, [&] { return clearAsked; });
      left = true;
    });
  });
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return inside; }));
  }
  bool leftWhenCleared = false;
  std::thread clearer([&] {
    {
      std::lock_guard lock(mutex);
      clearAsked = true;
    }
    changed.notify_all();
    ClearTraceOutput(&print);
    leftWhenCleared = left.load();
  });
  printer.join();
  clearer.join();
  EXPECT_TRUE(leftWhenCleared);
  EXPECT_EQ(Klib().traceOutput.load(), nullptr);
  EXPECT_FALSE(WithTraceOutput([](CPrintDlg&) {}));

  // Only the window that is the output is taken away.
  CPrintDlg other;
  Klib().traceOutput = &print;
  ClearTraceOutput(&other);
  EXPECT_EQ(Klib().traceOutput.load(), &print);
  Klib().traceOutput = nullptr;
}
