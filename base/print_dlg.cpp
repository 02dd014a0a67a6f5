#include "base/print_dlg.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/klib_settings.h"
#include "base/trace_output.h"
#include "win/richedit.h"

namespace {
constexpr int kLastLinePeek = 16;

CHARFORMAT2 MakeFormat(DWORD effects, COLORREF colour) {
  CHARFORMAT2 format;
  format.dwMask = kPrintFormatMask;
  format.dwEffects = effects;
  format.crTextColor = colour;
  return format;
}

std::string FormatText(const char* format, va_list args) {
  std::string text(kPrintBufferSize, '\0');
  const int n = std::vsnprintf(text.data(), kPrintBufferSize, format, args);
  text.resize(n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), kPrintBufferSize - 1));
  return text;
}
}  // namespace

CPrintDlg::CPrintDlg() = default;
CPrintDlg::~CPrintDlg() { ClearTraceOutput(this); }

void CPrintDlg::AttachRichEdit(CRichEditCtrl* richEdit, CWnd* parent) {
  std::lock_guard lock(lock_);
  richEdit_ = richEdit;
  parent_ = parent;
  effects_ = 0;
  colour_ = Klib().Colour(kColourNormal);
  attachedEffects_ = effects_;
  attachedColour_ = colour_;
  if (richEdit_ == nullptr) return;
  ApplyFormatAtEndLocked();
  richEdit_->SetBackgroundColor(FALSE, kTraceBackground);
}

void CPrintDlg::ApplyFormatAtEndLocked() {
  const long end = richEdit_->GetTextLength();
  richEdit_->SetSel(end, end);
  richEdit_->SetSelectionCharFormat(MakeFormat(effects_, colour_));
}

void CPrintDlg::AppendLocked(std::string_view text) {
  // The format goes with the text in one step, so a line keeps the colour it was printed in.
  ApplyFormatAtEndLocked();
  richEdit_->ReplaceSel(std::string(text).c_str());
}

void CPrintDlg::AfterPrint() {
  const auto* flag = Klib().autoShowFlag;
  if (flag == nullptr || flag->load() == 0) return;
  if (parent_ != nullptr && !parent_->IsWindowVisible()) parent_->ShowWindow(SW_SHOW);
  if (Klib().autoShowCountdown != nullptr)
    Klib().autoShowCountdown->store(static_cast<std::int32_t>(Klib().autoShowSeconds));
}

void CPrintDlg::PrintText(std::string_view text) {
  std::string clean(text);
  RemoveBellCharacters(clean);
  // Nothing to print is no reason to pop the window up.
  if (clean.empty()) return;
  {
    std::lock_guard lock(lock_);
    if (richEdit_ == nullptr) return;
    AppendLocked(clean);
  }
  AfterPrint();
}

void CPrintDlg::Print(const char* format, ...) {
  if (format == nullptr || format[0] == '\0') {
    Clear();
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  PrintText(text);
}

void CPrintDlg::PrintLineText(std::string_view text) {
  std::string clean(text);
  RemoveBellCharacters(clean);
  {
    std::lock_guard lock(lock_);
    if (richEdit_ == nullptr) return;
    std::array<char, kLastLinePeek> head{};
    const int got = richEdit_->GetLine(richEdit_->GetLineCount() - 1, head.data(), kLastLinePeek);
    const bool startsWithBreak = got >= 2 && head[0] == '\r' && head[1] == '\n';
    if (!startsWithBreak) AppendLocked("\r\n");
    if (!clean.empty()) AppendLocked(clean);
  }
  AfterPrint();
}

void CPrintDlg::PrintLine(const char* format, ...) {
  if (format == nullptr || format[0] == '\0') {
    PrintText("\r\n");
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string text = FormatText(format, args);
  va_end(args);
  PrintLineText(text);
}

void CPrintDlg::PrintRuns(std::span<const PrintRun> runs, bool newLine) {
  {
    std::lock_guard lock(lock_);  // recursive: the print calls below take it again
    if (richEdit_ == nullptr) return;
    bool first = true;
    for (const PrintRun& run : runs) {
      SetFormat(run.effects, run.colour);
      std::string clean(run.text);
      RemoveBellCharacters(clean);
      if (first && newLine) {
        PrintLineText(clean);
      } else {
        AppendLocked(clean);
      }
      first = false;
    }
  }
  AfterPrint();
}

void CPrintDlg::SetFormat(DWORD effects, COLORREF colour) {
  std::lock_guard lock(lock_);
  effects_ = effects;
  colour_ = colour;
  if (richEdit_ != nullptr) ApplyFormatAtEndLocked();
}

void CPrintDlg::SetEffects(DWORD effects) {
  std::lock_guard lock(lock_);
  effects_ = effects;
  if (richEdit_ != nullptr) ApplyFormatAtEndLocked();
}

DWORD CPrintDlg::Effects() const {
  std::lock_guard lock(lock_);
  return effects_;
}

COLORREF CPrintDlg::Colour() const {
  std::lock_guard lock(lock_);
  return colour_;
}

void CPrintDlg::Clear() {
  std::lock_guard lock(lock_);
  if (richEdit_ == nullptr) return;
  richEdit_->SetSel(0, -1);
  richEdit_->SetSelectionCharFormat(MakeFormat(effects_, colour_));
  richEdit_->ReplaceSel("");
}

void CPrintDlg::RemoveDelimitedText(char start, char end) {
  std::lock_guard lock(lock_);
  if (richEdit_ == nullptr) return;
  const char startText[2] = {start, '\0'};
  const char endText[2] = {end, '\0'};
  for (;;) {
    const long from = richEdit_->FindText(startText, 0);
    if (from < 0) break;
    // The end character that closes this span is the first one after its start.
    const long to = richEdit_->FindText(endText, from + 1);
    if (to < 0) break;
    richEdit_->SetSel(from, to + 1);
    richEdit_->ReplaceSel("");
  }
  richEdit_->SetSel(0, 0);
}

void CPrintDlg::RemoveDelimiters(char start, char end) {
  std::lock_guard lock(lock_);
  if (richEdit_ == nullptr) return;
  const char startText[2] = {start, '\0'};
  const char endText[2] = {end, '\0'};
  for (;;) {
    bool removed = false;
    for (const char* needle : {startText, endText}) {
      const long at = richEdit_->FindText(needle, 0);
      if (at < 0) continue;
      richEdit_->SetSel(at, at + 1);
      richEdit_->ReplaceSel("");
      removed = true;
    }
    if (!removed) break;
  }
  richEdit_->SetSel(0, 0);
}
