#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "win/dialog.h"
#include "win/richedit.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

CHARFORMAT2 Colour(COLORREF colour, DWORD effects = 0) {
  CHARFORMAT2 format;
  format.dwMask = CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
  format.dwEffects = effects;
  format.crTextColor = colour;
  return format;
}

// Appends as the trace output does: caret to the end, format there, then the text.
void Append(CRichEditCtrl& edit, const char* text, COLORREF colour, DWORD effects = 0) {
  edit.SetSel(-1, -1);
  edit.SetSelectionCharFormat(Colour(colour, effects));
  edit.SetSel(-1, -1);
  edit.ReplaceSel(text);
}

// The same through window messages, as another thread would send them.
void AppendByMessages(HWND edit, const char* text, COLORREF colour) {
  CHARFORMAT2 format = Colour(colour);
  SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  SendMessageA(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
  SendMessageA(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
}

TEST(RichEdit, AppendsInColoursGiveRuns) {
  CRichEditCtrl edit;
  Append(edit, "abc", kRed);
  Append(edit, "def", kGreen);
  Append(edit, "ghi", kGreen);
  Append(edit, "jkl", kGreen, CFE_BOLD);
  EXPECT_EQ(edit.Text(), "abcdefghijkl");
  const std::vector<TextRun> expected = {{"abc", kRed, 0}, {"defghi", kGreen, 0}, {"jkl", kGreen, CFE_BOLD}};
  EXPECT_EQ(edit.Runs(), expected);
}

TEST(RichEdit, MessagesActOnTheModel) {
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, nullptr, 1203));
  AppendByMessages(edit.m_hWnd, "\r\nline one", kRed);
  AppendByMessages(edit.m_hWnd, "\r\nline two", kBlue);
  EXPECT_EQ(SendMessageA(edit.m_hWnd, WM_GETTEXTLENGTH, 0, 0), 20);
  std::array<char, 64> buffer{};
  EXPECT_EQ(SendMessageA(edit.m_hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())), 20);
  EXPECT_STREQ(buffer.data(), "\r\nline one\r\nline two");  // CR LF stays as given
  const std::vector<TextRun> expected = {{"\r\nline one", kRed, 0}, {"\r\nline two", kBlue, 0}};
  EXPECT_EQ(edit.Runs(), expected);

  EXPECT_TRUE(SendMessageA(edit.m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("fresh")));
  EXPECT_EQ(edit.Text(), "fresh");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"fresh", RGB(0, 0, 0), CFE_AUTOCOLOR}}));
  std::string viaCaption;
  edit.GetWindowText(viaCaption);
  EXPECT_EQ(viaCaption, "fresh");
}

TEST(RichEdit, SelectAllAndReplaceWithNothingEmptiesAndKeepsTheFormat) {
  CRichEditCtrl edit;
  Append(edit, "first\r\n", kRed);
  Append(edit, "second", kGreen);
  // The clear of the trace output: select all, format, replace with nothing.
  edit.SetSel(0, -1);
  edit.SetSelectionCharFormat(Colour(kBlue));
  edit.ReplaceSel("");
  EXPECT_EQ(edit.Text(), "");
  EXPECT_TRUE(edit.Runs().empty());
  EXPECT_EQ(edit.GetLineCount(), 1);
  EXPECT_EQ(edit.Selection().cpMin, 0);
  EXPECT_EQ(edit.Selection().cpMax, 0);
  edit.ReplaceSel("after");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"after", kBlue, 0}}));
}

TEST(RichEdit, LineCountIndexAndLength) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {""}},
      {"one", {"one"}},
      {"one\n", {"one", ""}},
      {"one\r\ntwo", {"one", "two"}},
      {"one\r\ntwo\r\n", {"one", "two", ""}},
      {"\r\n\r\nthree", {"", "", "three"}},
      {"a\rb\nc", {"a\rb", "c"}},  // a lone CR is not a break
  };
  for (const Case& c : cases) {
    CRichEditCtrl edit;
    ASSERT_TRUE(edit.Create(0, nullptr, 1));
    edit.ReplaceSel(c.text);
    const HWND h = edit.m_hWnd;
    ASSERT_EQ(SendMessageA(h, EM_GETLINECOUNT, 0, 0), static_cast<LRESULT>(c.lines.size())) << c.text;
    std::size_t start = 0;
    const std::string text = c.text;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const LRESULT index = SendMessageA(h, EM_LINEINDEX, i, 0);
      EXPECT_EQ(index, static_cast<LRESULT>(start)) << c.text << " line " << i;
      EXPECT_EQ(SendMessageA(h, EM_LINELENGTH, static_cast<WPARAM>(index), 0),
                static_cast<LRESULT>(c.lines[i].size()))
          << c.text << " line " << i;
      EXPECT_EQ(SendMessageA(h, EM_LINEFROMCHAR, static_cast<WPARAM>(index), 0), static_cast<LRESULT>(i));

      std::array<char, 32> buffer;
      buffer.fill('#');
      const WORD size = static_cast<WORD>(buffer.size());
      std::memcpy(buffer.data(), &size, sizeof size);
      const LRESULT copied = SendMessageA(h, EM_GETLINE, i, reinterpret_cast<LPARAM>(buffer.data()));
      ASSERT_EQ(copied, static_cast<LRESULT>(c.lines[i].size())) << c.text << " line " << i;
      EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(copied)), c.lines[i]);
      if (copied >= 2) {
        EXPECT_EQ(buffer[static_cast<std::size_t>(copied)], '#');  // no NUL added
      }

      start = text.find('\n', start) + 1;
    }
    EXPECT_EQ(SendMessageA(h, EM_LINEINDEX, c.lines.size(), 0), -1);
  }
}

TEST(RichEdit, GetLineCopiesNoMoreThanTheBufferSays) {
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(0, nullptr, 1));
  edit.ReplaceSel("\r\nabcdefghijklmnopqrstuvwxyz");
  std::array<char, 16> buffer;
  buffer.fill('#');
  const WORD size = 5;
  std::memcpy(buffer.data(), &size, sizeof size);
  EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_GETLINE, 1, reinterpret_cast<LPARAM>(buffer.data())), 5);
  EXPECT_EQ(std::string(buffer.data(), 6), "abcde#");
  EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_GETLINE, 7, reinterpret_cast<LPARAM>(buffer.data())), 0);
  EXPECT_EQ(edit.GetLine(1, buffer.data(), 3), 3);
  EXPECT_EQ(std::string(buffer.data(), 3), "abc");
}

TEST(RichEdit, SelectionRules) {
  struct Case {
    LONG start;
    LONG end;
    LONG wantMin;
    LONG wantMax;
  };
  const std::vector<Case> cases = {
      {0, -1, 0, 10},  // all
      {-1, -1, 10, 10},  // no selection, the caret at the end: how traces append
      {-1, 3, 10, 10},
      {3, 7, 3, 7},   {7, 3, 3, 7}, {20, 30, 10, 10}, {8, -1, 8, 10}, {5, 5, 5, 5},
  };
  for (const Case& c : cases) {
    CRichEditCtrl edit;
    ASSERT_TRUE(edit.Create(0, nullptr, 1));
    edit.ReplaceSel("0123456789");
    edit.SetSel(2, 4);
    SendMessageA(edit.m_hWnd, EM_SETSEL, static_cast<WPARAM>(c.start), c.end);
    DWORD start = 99;
    DWORD end = 99;
    const LRESULT packed =
        SendMessageA(edit.m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(static_cast<LONG>(start), c.wantMin) << c.start << "," << c.end;
    EXPECT_EQ(static_cast<LONG>(end), c.wantMax) << c.start << "," << c.end;
    EXPECT_EQ(packed, static_cast<LRESULT>(MAKELONG(static_cast<WORD>(c.wantMin), static_cast<WORD>(c.wantMax))));

    CHARRANGE range{c.start, c.end};
    edit.SetSel(2, 4);
    SendMessageA(edit.m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARRANGE got{};
    SendMessageA(edit.m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got.cpMin, c.wantMin);
    EXPECT_EQ(got.cpMax, c.wantMax);
  }
}

TEST(RichEdit, FormatOnASelectionSplitsRuns) {
  CRichEditCtrl edit;
  Append(edit, "hello world", kRed);
  edit.SetSel(6, 11);
  CHARFORMAT2 bold;
  bold.dwMask = CFM_BOLD;
  bold.dwEffects = CFE_BOLD;
  ASSERT_TRUE(edit.SetSelectionCharFormat(bold));
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"hello ", kRed, 0}, {"world", kRed, CFE_BOLD}}));

  // Only the masked attributes change: the colour stays.
  edit.SetSel(0, 2);
  CHARFORMAT2 underline;
  underline.dwMask = CFM_UNDERLINE;
  underline.dwEffects = CFE_UNDERLINE;
  edit.SetSelectionCharFormat(underline);
  EXPECT_EQ(edit.Runs(),
            (std::vector<TextRun>{{"he", kRed, CFE_UNDERLINE}, {"llo ", kRed, 0}, {"world", kRed, CFE_BOLD}}));

  // A selection across differing runs reports only what is the same throughout.
  edit.SetSel(4, 8);
  CHARFORMAT2 got;
  const DWORD mask = edit.GetSelectionCharFormat(got);
  EXPECT_EQ(mask & CFM_BOLD, 0u);
  EXPECT_NE(mask & CFM_COLOR, 0u);
  EXPECT_NE(mask & CFM_UNDERLINE, 0u);
  EXPECT_EQ(got.crTextColor, kRed);
  EXPECT_EQ(got.dwEffects & CFE_BOLD, 0u);

  // Formatting it back joins the runs again.
  edit.SetSel(0, -1);
  edit.SetSelectionCharFormat(Colour(kGreen));
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"hello world", kGreen, 0}}));
}

TEST(RichEdit, InsertionFormatHoldsUntilTheCaretMoves) {
  CRichEditCtrl edit;
  Append(edit, "red ", kRed);
  edit.SetSel(-1, -1);
  edit.SetSelectionCharFormat(Colour(kBlue));
  edit.SetSel(-1, -1);  // the same place: the format stays
  EXPECT_EQ(edit.InsertionFormat(), (CharFormatBits{kBlue, 0}));
  edit.SetSel(0, 0);
  edit.SetSel(-1, -1);  // moved away and back: the text before the caret decides
  EXPECT_EQ(edit.InsertionFormat(), (CharFormatBits{kRed, 0}));
  edit.ReplaceSel("still red");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"red still red", kRed, 0}}));

  // Inserting inside a run takes the format of the text before the caret.
  Append(edit, "!", kGreen);
  edit.SetSel(3, 3);
  edit.ReplaceSel("dish");
  EXPECT_EQ(edit.Text(), "reddish still red!");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"reddish still red", kRed, 0}, {"!", kGreen, 0}}));
  EXPECT_EQ(edit.GetLineCount(), 1);

  // Replacing a selection uses the format of its first character.
  edit.SetSel(16, 18);
  edit.ReplaceSel("D?");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"reddish still reD?", kRed, 0}}));
}

TEST(RichEdit, DefaultAndAllFormats) {
  CRichEditCtrl edit;
  CHARFORMAT2 initial;
  edit.GetDefaultCharFormat(initial);
  EXPECT_EQ(initial.dwEffects & CFE_AUTOCOLOR, CFE_AUTOCOLOR);
  EXPECT_NE(initial.dwMask & CFM_COLOR, 0u);

  // As the trace output attaches: take the default, set mask, effects and colour.
  CHARFORMAT2 trace = initial;
  trace.dwMask = 0x40032E6F;
  trace.dwEffects = 0;
  trace.crTextColor = kGreen;
  edit.SetDefaultCharFormat(trace);
  edit.ReplaceSel("default");
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"default", kGreen, 0}}));

  edit.SetSel(3, 3);
  CHARFORMAT2 italicRed = Colour(kRed, CFE_ITALIC);
  edit.WindowProc(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&italicRed));
  EXPECT_EQ(edit.Runs(), (std::vector<TextRun>{{"default", kRed, CFE_ITALIC}}));
  EXPECT_EQ(edit.WindowProc(EM_SETCHARFORMAT, SCF_SELECTION, 0), FALSE);

  CHARFORMAT2 got;
  const LRESULT mask = edit.WindowProc(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(mask, static_cast<LRESULT>(got.dwMask));
  EXPECT_EQ(got.crTextColor, kGreen);
}

TEST(RichEdit, BackgroundColourAnswersThePreviousOne) {
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(0, nullptr, 1));
  EXPECT_EQ(edit.BackgroundColour(), RGB(255, 255, 255));
  EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_SETBKGNDCOLOR, 0, 0x3C2722), static_cast<LRESULT>(RGB(255, 255, 255)));
  EXPECT_EQ(edit.BackgroundColour(), 0x3C2722u);
  EXPECT_EQ(edit.SetBackgroundColor(TRUE, kRed), 0x3C2722u);  // system colour wins over the given one
  EXPECT_EQ(edit.BackgroundColour(), RGB(255, 255, 255));
}

TEST(RichEdit, FindText) {
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(0, nullptr, 1));
  edit.ReplaceSel("Hub {secret} said hello, HELLO hellos");
  EXPECT_EQ(edit.FindText("{"), 4);
  EXPECT_EQ(edit.FindText("}"), 11);
  EXPECT_EQ(edit.FindText("hello", 20), 31);
  EXPECT_EQ(edit.FindText("absent"), -1);
  EXPECT_EQ(edit.FindText(""), -1);

  struct Case {
    WPARAM flags;
    LONG min;
    LONG max;
    const char* needle;
    LRESULT want;
  };
  const std::vector<Case> cases = {
      {FR_DOWN | FR_MATCHCASE, 0, -1, "hello", 18},
      {FR_DOWN, 19, -1, "hello", 25},  // without case
      {FR_DOWN | FR_MATCHCASE, 19, -1, "hello", 31},
      {FR_DOWN | FR_WHOLEWORD, 26, -1, "hello", -1},  // "hellos" is another word
      {FR_DOWN, 0, 10, "said", -1},                   // outside the range
      {FR_MATCHCASE, -1, 0, "hello", 31},             // upward from the end
      {FR_MATCHCASE, 30, 0, "hello", 18},
      {FR_MATCHCASE, 30, 19, "hello", -1},
  };
  for (const Case& c : cases) {
    FINDTEXTEXA find;
    find.chrg = CHARRANGE{c.min, c.max};
    find.lpstrText = c.needle;
    EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_FINDTEXTEX, c.flags, reinterpret_cast<LPARAM>(&find)), c.want)
        << c.flags << " " << c.min << " " << c.max;
    if (c.want >= 0) {
      EXPECT_EQ(find.chrgText.cpMin, c.want);
      EXPECT_EQ(find.chrgText.cpMax, c.want + static_cast<LONG>(std::strlen(c.needle)));
    } else {
      EXPECT_EQ(find.chrgText.cpMin, -1);
    }
  }
}

TEST(RichEdit, TextRangeAndSelectedText) {
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(0, nullptr, 1));
  edit.ReplaceSel("one two three");
  std::array<char, 32> buffer{};
  TEXTRANGEA range{CHARRANGE{4, 7}, buffer.data()};
  EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)), 3);
  EXPECT_STREQ(buffer.data(), "two");
  edit.SetSel(8, -1);
  EXPECT_EQ(SendMessageA(edit.m_hWnd, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data())), 5);
  EXPECT_STREQ(buffer.data(), "three");
}

TEST(RichEdit, ConcurrentAppendsKeepEveryLineWhole) {
  CDialog dialog(7060);
  CRichEditCtrl edit;
  ASSERT_TRUE(dialog.Create(7060));
  ASSERT_TRUE(dialog.AddControl(edit, 1));
  constexpr int kThreads = 8;
  constexpr int kLines = 300;
  const std::array<COLORREF, 3> colours = {kRed, kGreen, kBlue};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string line = "\r\nthread " + std::to_string(t) + " line " + std::to_string(i) + " ....";
        AppendByMessages(edit.m_hWnd, line.c_str(), colours[static_cast<std::size_t>(i) % colours.size()]);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  const std::string text = edit.Text();
  ASSERT_EQ(text.rfind("\r\n", 0), 0u);
  std::map<int, int> nextLine;
  std::istringstream lines(text.substr(2));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int t = -1;
    int i = -1;
    std::array<char, 8> tail{};
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d %7s", &t, &i, tail.data()), 3) << line;
    EXPECT_STREQ(tail.data(), "....");
    EXPECT_EQ(i, nextLine[t]) << "thread " << t;  // each thread's lines in its own order
    nextLine[t] = i + 1;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
  EXPECT_EQ(edit.GetLineCount(), kThreads * kLines + 1);
}

TEST(RichEdit, LongTraceStaysCheapToAppendTo) {
  // Many lines appended the way the trace output does it, each after reading
  // the last line: this only finishes in time if neither copies the whole text.
  CRichEditCtrl edit;
  ASSERT_TRUE(edit.Create(0, nullptr, 1));
  constexpr int kLines = 60'000;
  std::array<char, 18> last{};
  for (int i = 0; i < kLines; ++i) {
    const int lastLine = static_cast<int>(SendMessageA(edit.m_hWnd, EM_GETLINECOUNT, 0, 0)) - 1;
    const WORD size = 16;
    std::memcpy(last.data(), &size, sizeof size);
    SendMessageA(edit.m_hWnd, EM_GETLINE, static_cast<WPARAM>(lastLine), reinterpret_cast<LPARAM>(last.data()));
    AppendByMessages(edit.m_hWnd, "\r\n[12:00:00] a trace line of ordinary length", (i % 2) ? kRed : kGreen);
  }
  EXPECT_EQ(edit.GetLineCount(), kLines + 1);
  EXPECT_EQ(edit.Runs().size(), static_cast<std::size_t>(kLines));
  EXPECT_EQ(edit.GetTextLength(), static_cast<long>(kLines * 44));
}

}  // namespace
