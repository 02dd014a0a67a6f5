// The rich-text area that trace lines end in: the chat window's text area is
// the program's trace output, the trace window holds a second one.
#pragma once

#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "win/types.h"

class CWnd;
class CRichEditCtrl;

constexpr std::size_t kPrintBufferSize = 30'720;
constexpr DWORD kPrintFormatMask = 0x40032E6F;
constexpr COLORREF kTraceBackground = 0x3C2722;

// One stretch of text in its own effects and colour.
struct PrintRun {
  DWORD effects = 0;
  COLORREF colour = 0;
  std::string_view text;
};

class CPrintDlg {
 public:
  CPrintDlg();
  ~CPrintDlg();
  CPrintDlg(const CPrintDlg&) = delete;
  CPrintDlg& operator=(const CPrintDlg&) = delete;

  void AttachRichEdit(CRichEditCtrl* richEdit, CWnd* parent);
  CRichEditCtrl* RichEdit() const { return richEdit_; }

  // An empty format clears the control.
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A line break first, unless the last line already starts with one.
  void PrintLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Already formatted text: a '%' in it is printed as it stands.
  void PrintText(std::string_view text);
  void PrintLineText(std::string_view text);

  // Runs printed as one piece (the first on a line of its own when asked), so
  // that text another thread prints never lands between them or takes their
  // colours. The format stays at the last run's.
  void PrintRuns(std::span<const PrintRun> runs, bool newLine);

  void SetFormat(DWORD effects, COLORREF colour);
  void SetEffects(DWORD effects);
  DWORD Effects() const;
  COLORREF Colour() const;
  void Clear();
  void RemoveDelimitedText(char start, char end);
  void RemoveDelimiters(char start, char end);

 private:
  void AppendLocked(std::string_view text);
  void ApplyFormatAtEndLocked();
  void AfterPrint();

  mutable std::recursive_mutex lock_;
  CWnd* parent_ = nullptr;
  CRichEditCtrl* richEdit_ = nullptr;
  DWORD effects_ = 0;
  COLORREF colour_ = 0;
  DWORD attachedEffects_ = 0;
  COLORREF attachedColour_ = 0;
  std::unique_ptr<char[]> buffer_;
};

// Removes every BEL character (7) from a text, in place.
void RemoveBellCharacters(std::string& text);
