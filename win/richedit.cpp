#include "win/richedit.h"

#include <algorithm>
#include <cstring>

#include "win/display_hooks.h"
#include "win/paint.h"

namespace {

// Mask bits whose effect bit is the same bit; CFM_COLOR doubles as CFE_AUTOCOLOR.
constexpr DWORD kEffectMask = 0x0003FFFF | CFM_COLOR;
constexpr COLORREF kWindowColour = RGB(255, 255, 255);
constexpr CharFormatBits kInitialFormat{RGB(0, 0, 0), CFE_AUTOCOLOR};

LONG AsLong(std::uintptr_t value) { return static_cast<LONG>(static_cast<std::intptr_t>(value)); }
LONG AsLong(std::intptr_t value) { return static_cast<LONG>(value); }

CharFormatBits Applied(CharFormatBits bits, const CHARFORMAT2& format) {
  const DWORD mask = format.dwMask & kEffectMask;
  bits.effects = (bits.effects & ~mask) | (format.dwEffects & mask);
  if ((format.dwMask & CFM_COLOR) != 0) bits.colour = format.crTextColor;
  return bits;
}

DWORD Fill(CHARFORMAT2* format, CharFormatBits bits, DWORD mask) {
  format->dwMask = mask;
  format->dwEffects = bits.effects & kEffectMask;
  format->crTextColor = bits.colour;
  return mask;
}

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsWordChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view needle, WPARAM flags) {
  if (at + needle.size() > text.size()) return false;
  const std::string_view candidate = text.substr(at, needle.size());
  const bool same = (flags & FR_MATCHCASE) != 0
                        ? candidate == needle
                        : std::equal(candidate.begin(), candidate.end(), needle.begin(),
                                     [](char a, char b) { return FoldCase(a) == FoldCase(b); });
  if (!same || (flags & FR_WHOLEWORD) == 0) return same;
  const bool startsWord = at == 0 || !IsWordChar(text[at - 1]);
  const bool endsWord = at + needle.size() == text.size() || !IsWordChar(text[at + needle.size()]);
  return startsWord && endsWord;
}

int CopyOut(std::string_view text, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace

CRichEditCtrl::CRichEditCtrl() : defaultFormat_(kInitialFormat), background_(kWindowColour) {}

CRichEditCtrl::~CRichEditCtrl() { DestroyWindow(); }

BOOL CRichEditCtrl::Create(DWORD style, CWnd* parent, UINT id) {
  return CreateHandle(WindowCreateParams{parent, static_cast<int>(id), 0, style});
}

std::size_t CRichEditCtrl::Clamp(LONG position) const {
  if (position < 0) return text_.Size();
  return std::min(static_cast<std::size_t>(position), text_.Size());
}

void CRichEditCtrl::SetSelLocked(LONG start, LONG end) {
  Range next;
  if (start < 0) {
    next = Range{text_.Size(), text_.Size()};
  } else {
    next = Range{Clamp(start), Clamp(end)};
    if (next.start > next.end) std::swap(next.start, next.end);
  }
  // Selecting the same place again keeps a format set there for the next text.
  if (next.start != selection_.start || next.end != selection_.end) {
    selection_ = next;
    insertionFormat_.reset();
  }
}

CharFormatBits CRichEditCtrl::InsertionFormatLocked() const {
  if (insertionFormat_) return *insertionFormat_;
  if (text_.Size() == 0) return defaultFormat_;
  const std::size_t caret = selection_.start;
  return text_.FormatAt(caret > 0 ? caret - 1 : 0);
}

void CRichEditCtrl::ReplaceSelLocked(std::string_view text) {
  const CharFormatBits format =
      selection_.start != selection_.end ? text_.FormatAt(selection_.start) : InsertionFormatLocked();
  text_.Erase(selection_.start, selection_.end - selection_.start);
  text_.Insert(selection_.start, text, format);
  const std::size_t caret = selection_.start + text.size();
  selection_ = Range{caret, caret};
  insertionFormat_ = format;
}

BOOL CRichEditCtrl::SetCharFormatLocked(WPARAM target, const CHARFORMAT2* format) {
  if (format == nullptr) return FALSE;
  const DWORD effectMask = format->dwMask & kEffectMask;
  const bool setColour = (format->dwMask & CFM_COLOR) != 0;
  const CharFormatBits bits{format->crTextColor, format->dwEffects};
  if ((target & SCF_ALL) != 0) {
    text_.ApplyFormat(0, text_.Size(), effectMask, setColour, bits);
    insertionFormat_ = Applied(InsertionFormatLocked(), *format);
  } else if ((target & (SCF_SELECTION | SCF_WORD)) != 0) {
    if (selection_.start == selection_.end) {
      insertionFormat_ = Applied(InsertionFormatLocked(), *format);
    } else {
      text_.ApplyFormat(selection_.start, selection_.end, effectMask, setColour, bits);
    }
  } else {
    defaultFormat_ = Applied(defaultFormat_, *format);
  }
  return TRUE;
}

DWORD CRichEditCtrl::GetCharFormatLocked(WPARAM target, CHARFORMAT2* format) const {
  if (format == nullptr) return 0;
  if ((target & (SCF_SELECTION | SCF_WORD)) == 0) return Fill(format, defaultFormat_, kEffectMask);
  if (selection_.start == selection_.end) return Fill(format, InsertionFormatLocked(), kEffectMask);
  DWORD equalEffects = 0;
  bool equalColour = false;
  text_.ConsistentBits(selection_.start, selection_.end, &equalEffects, &equalColour);
  DWORD mask = kEffectMask & equalEffects;
  if (!equalColour) mask &= ~CFM_COLOR;
  return Fill(format, text_.FormatAt(selection_.start), mask);
}

long CRichEditCtrl::FindLocked(std::string_view needle, LONG from, LONG to, WPARAM flags) const {
  const std::string_view text = text_.Text();
  if (needle.empty() || needle.size() > text.size()) return -1;
  if ((flags & FR_DOWN) != 0) {
    const std::size_t begin = from < 0 ? 0 : Clamp(from);
    const std::size_t end = Clamp(to);
    for (std::size_t at = begin; at + needle.size() <= end; ++at) {
      if (MatchesAt(text, at, needle, flags)) return static_cast<long>(at);
    }
    return -1;
  }
  // Upward: from cpMin back to cpMax (-1: the start of the text).
  const std::size_t limit = to < 0 ? 0 : Clamp(to);
  const std::size_t top = from < 0 ? text.size() : Clamp(from);
  if (top < needle.size()) return -1;
  for (std::size_t at = top - needle.size() + 1; at-- > limit;) {
    if (MatchesAt(text, at, needle, flags)) return static_cast<long>(at);
  }
  return -1;
}

long CRichEditCtrl::FindExLocked(WPARAM flags, FINDTEXTEXA* find) const {
  if (find == nullptr || find->lpstrText == nullptr) return -1;
  const std::string_view needle(find->lpstrText);
  const long at = FindLocked(needle, find->chrg.cpMin, find->chrg.cpMax, flags);
  find->chrgText = at < 0 ? CHARRANGE{-1, -1} : CHARRANGE{static_cast<LONG>(at), static_cast<LONG>(at + static_cast<long>(needle.size()))};
  return at;
}

std::size_t CRichEditCtrl::LineOfLocked(LPARAM charIndex) const {
  const std::size_t pos = charIndex < 0 ? selection_.start : Clamp(AsLong(charIndex));
  return text_.LineOfChar(pos);
}

LRESULT CRichEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // What changes the text, its runs or its background is painted again, after the lock.
  // A selection moved changes what a shown control scrolls to.
  struct RepaintAfter {
    HWND hwnd;
    bool on;
    bool selected;
    bool text;
    ~RepaintAfter() {
      if (on || selected) {
        win::display::NotifyChanged(hwnd, win::display::kContent | (text ? win::display::kText : 0u));
      }
      if (on) ::InvalidateRect(hwnd, nullptr, TRUE);
    }
  } repaint{m_hWnd,
            message == EM_REPLACESEL || message == WM_SETTEXT || message == EM_SETBKGNDCOLOR ||
                message == EM_SETCHARFORMAT,
            message == EM_SETSEL || message == EM_EXSETSEL, message == WM_SETTEXT || message == EM_REPLACESEL};
  {
    std::lock_guard lock(mutex_);
    switch (message) {
      case EM_SETSEL:
        SetSelLocked(AsLong(wParam), AsLong(lParam));
        return 0;
      case EM_EXSETSEL: {
        const auto* range = reinterpret_cast<const CHARRANGE*>(lParam);
        if (range == nullptr) return static_cast<LRESULT>(selection_.end);
        SetSelLocked(range->cpMin, range->cpMax);
        return static_cast<LRESULT>(selection_.end);
      }
      case EM_GETSEL: {
        if (auto* start = reinterpret_cast<DWORD*>(wParam)) *start = static_cast<DWORD>(selection_.start);
        if (auto* end = reinterpret_cast<DWORD*>(lParam)) *end = static_cast<DWORD>(selection_.end);
        if (selection_.end > 0xFFFF) return -1;  // does not fit the packed answer
        return static_cast<LRESULT>(
            MAKELONG(static_cast<WORD>(selection_.start), static_cast<WORD>(selection_.end)));
      }
      case EM_EXGETSEL:
        if (auto* range = reinterpret_cast<CHARRANGE*>(lParam)) {
          range->cpMin = static_cast<LONG>(selection_.start);
          range->cpMax = static_cast<LONG>(selection_.end);
        }
        return 0;
      case EM_REPLACESEL:
        ReplaceSelLocked(lParam != 0 ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view());
        return 0;
      case EM_SETCHARFORMAT:
        return SetCharFormatLocked(wParam, reinterpret_cast<const CHARFORMAT2*>(lParam));
      case EM_GETCHARFORMAT:
        return static_cast<LRESULT>(GetCharFormatLocked(wParam, reinterpret_cast<CHARFORMAT2*>(lParam)));
      case EM_SETBKGNDCOLOR: {
        const COLORREF previous = background_;
        background_ = wParam != 0 ? kWindowColour : static_cast<COLORREF>(lParam);
        return static_cast<LRESULT>(previous);
      }
      case EM_GETLINECOUNT:
        return static_cast<LRESULT>(text_.LineCount());
      case EM_LINEINDEX: {
        const LONG line = AsLong(wParam);
        const std::size_t index = line < 0 ? text_.LineOfChar(selection_.start) : static_cast<std::size_t>(line);
        return index < text_.LineCount() ? static_cast<LRESULT>(text_.LineStart(index)) : -1;
      }
      case EM_LINELENGTH:
        return static_cast<LRESULT>(text_.LineLength(LineOfLocked(AsLong(wParam))));
      case EM_LINEFROMCHAR:
        return static_cast<LRESULT>(LineOfLocked(AsLong(wParam)));
      case EM_EXLINEFROMCHAR:
        return static_cast<LRESULT>(LineOfLocked(lParam));
      case EM_GETLINE: {
        const LONG line = AsLong(wParam);
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (buffer == nullptr || line < 0 || static_cast<std::size_t>(line) >= text_.LineCount()) return 0;
        WORD size = 0;  // the caller's buffer size, in its first word
        std::memcpy(&size, buffer, sizeof size);
        const auto index = static_cast<std::size_t>(line);
        const std::size_t n = std::min<std::size_t>(size, text_.LineLength(index));
        std::memcpy(buffer, text_.Text().data() + text_.LineStart(index), n);
        return static_cast<LRESULT>(n);
      }
      case EM_FINDTEXT: {
        const auto* find = reinterpret_cast<const FINDTEXTA*>(lParam);
        if (find == nullptr || find->lpstrText == nullptr) return -1;
        return FindLocked(find->lpstrText, find->chrg.cpMin, find->chrg.cpMax, wParam);
      }
      case EM_FINDTEXTEX:
        return FindExLocked(wParam, reinterpret_cast<FINDTEXTEXA*>(lParam));
      case EM_GETTEXTRANGE: {
        auto* range = reinterpret_cast<TEXTRANGEA*>(lParam);
        if (range == nullptr || range->lpstrText == nullptr) return 0;
        const std::size_t from = range->chrg.cpMin < 0 ? 0 : Clamp(range->chrg.cpMin);
        const std::size_t to = Clamp(range->chrg.cpMax);
        if (to < from) {
          range->lpstrText[0] = '\0';
          return 0;
        }
        const std::string_view part = std::string_view(text_.Text()).substr(from, to - from);
        return CopyOut(part, range->lpstrText, part.size() + 1);
      }
      case EM_GETSELTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        const std::string_view part =
            std::string_view(text_.Text()).substr(selection_.start, selection_.end - selection_.start);
        return CopyOut(part, buffer, part.size() + 1);
      }
      case WM_SETTEXT:
        text_.Clear();
        text_.Insert(0, lParam != 0 ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view(),
                     defaultFormat_);
        selection_ = Range{};
        insertionFormat_.reset();
        return TRUE;
      case WM_GETTEXT:
        return CopyOut(text_.Text(), reinterpret_cast<char*>(lParam), wParam);
      case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(text_.Size());
      default:
        break;
    }
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

void CRichEditCtrl::SetSel(long start, long end) {
  {
    std::lock_guard lock(mutex_);
    SetSelLocked(static_cast<LONG>(start), static_cast<LONG>(end));
  }
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
}

void CRichEditCtrl::SetSel(const CHARRANGE& range) { SetSel(range.cpMin, range.cpMax); }

void CRichEditCtrl::GetSel(long& start, long& end) const {
  std::lock_guard lock(mutex_);
  start = static_cast<long>(selection_.start);
  end = static_cast<long>(selection_.end);
}

void CRichEditCtrl::GetSel(CHARRANGE& range) const { range = Selection(); }

void CRichEditCtrl::ReplaceSel(const char* text, BOOL) {
  {
    std::lock_guard lock(mutex_);
    ReplaceSelLocked(text != nullptr ? std::string_view(text) : std::string_view());
  }
  win::display::NotifyChanged(m_hWnd, win::display::kContent | win::display::kText);
}

BOOL CRichEditCtrl::SetSelectionCharFormat(const CHARFORMAT2& format) {
  BOOL set = FALSE;
  {
    std::lock_guard lock(mutex_);
    set = SetCharFormatLocked(SCF_SELECTION, &format);
  }
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
  return set;
}

BOOL CRichEditCtrl::SetDefaultCharFormat(const CHARFORMAT2& format) {
  BOOL set = FALSE;
  {
    std::lock_guard lock(mutex_);
    set = SetCharFormatLocked(SCF_DEFAULT, &format);
  }
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
  return set;
}

DWORD CRichEditCtrl::GetSelectionCharFormat(CHARFORMAT2& format) const {
  std::lock_guard lock(mutex_);
  return GetCharFormatLocked(SCF_SELECTION, &format);
}

DWORD CRichEditCtrl::GetDefaultCharFormat(CHARFORMAT2& format) const {
  std::lock_guard lock(mutex_);
  return GetCharFormatLocked(SCF_DEFAULT, &format);
}

COLORREF CRichEditCtrl::SetBackgroundColor(BOOL useSystemColour, COLORREF colour) {
  COLORREF previous = 0;
  {
    std::lock_guard lock(mutex_);
    previous = background_;
    background_ = useSystemColour ? kWindowColour : colour;
  }
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
  return previous;
}

int CRichEditCtrl::GetLineCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(text_.LineCount());
}

int CRichEditCtrl::LineIndex(int line) const {
  std::lock_guard lock(mutex_);
  const std::size_t index = line < 0 ? text_.LineOfChar(selection_.start) : static_cast<std::size_t>(line);
  return index < text_.LineCount() ? static_cast<int>(text_.LineStart(index)) : -1;
}

int CRichEditCtrl::LineLength(int charIndex) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(text_.LineLength(LineOfLocked(charIndex)));
}

int CRichEditCtrl::LineFromChar(long charIndex) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(LineOfLocked(charIndex));
}

int CRichEditCtrl::GetLine(int line, char* buffer, int maxLength) const {
  std::lock_guard lock(mutex_);
  if (buffer == nullptr || maxLength <= 0 || line < 0 || static_cast<std::size_t>(line) >= text_.LineCount()) {
    return 0;
  }
  const auto index = static_cast<std::size_t>(line);
  const std::size_t n = std::min(static_cast<std::size_t>(maxLength), text_.LineLength(index));
  std::memcpy(buffer, text_.Text().data() + text_.LineStart(index), n);
  return static_cast<int>(n);
}

long CRichEditCtrl::GetTextLength() const {
  std::lock_guard lock(mutex_);
  return static_cast<long>(text_.Size());
}

long CRichEditCtrl::FindText(std::string_view needle, long start) const {
  std::lock_guard lock(mutex_);
  return FindLocked(needle, static_cast<LONG>(std::max(start, 0L)), -1, FR_DOWN | FR_MATCHCASE);
}

long CRichEditCtrl::FindText(DWORD flags, FINDTEXTEXA* find) const {
  std::lock_guard lock(mutex_);
  return FindExLocked(flags, find);
}

std::string CRichEditCtrl::Text() const {
  std::lock_guard lock(mutex_);
  return text_.Text();
}

std::vector<TextRun> CRichEditCtrl::Runs() const {
  std::lock_guard lock(mutex_);
  std::vector<TextRun> runs;
  runs.reserve(text_.Spans().size());
  std::size_t begin = 0;
  for (const RichText::Span& span : text_.Spans()) {
    runs.push_back(TextRun{text_.Text().substr(begin, span.length), span.format.colour, span.format.effects});
    begin += span.length;
  }
  return runs;
}

COLORREF CRichEditCtrl::BackgroundColour() const {
  std::lock_guard lock(mutex_);
  return background_;
}

CHARRANGE CRichEditCtrl::Selection() const {
  std::lock_guard lock(mutex_);
  return CHARRANGE{static_cast<LONG>(selection_.start), static_cast<LONG>(selection_.end)};
}

CharFormatBits CRichEditCtrl::InsertionFormat() const {
  std::lock_guard lock(mutex_);
  return InsertionFormatLocked();
}
