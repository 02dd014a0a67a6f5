// The rich-edit control: 8-bit text (code page 1252, stored as given, so
// "\r\n" stays "\r\n") whose characters carry a colour and effects, a
// selection, an insertion format and a background colour. A thread-safe
// control: messages and member functions run at once on any thread under
// the control's own lock.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/gdi_types.h"
#include "win/rich_text.h"
#include "win/window.h"

// Edit and rich-edit messages.
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_GETLINECOUNT = 0x00BA;
constexpr UINT EM_LINEINDEX = 0x00BB;
constexpr UINT EM_LINELENGTH = 0x00C1;
constexpr UINT EM_REPLACESEL = 0x00C2;
constexpr UINT EM_GETLINE = 0x00C4;
constexpr UINT EM_LINEFROMCHAR = 0x00C9;
constexpr UINT EM_EXGETSEL = WM_USER + 52;
constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
constexpr UINT EM_EXSETSEL = WM_USER + 55;
constexpr UINT EM_FINDTEXT = WM_USER + 56;
constexpr UINT EM_GETCHARFORMAT = WM_USER + 58;
constexpr UINT EM_GETSELTEXT = WM_USER + 62;
constexpr UINT EM_SETBKGNDCOLOR = WM_USER + 67;
constexpr UINT EM_SETCHARFORMAT = WM_USER + 68;
constexpr UINT EM_GETTEXTRANGE = WM_USER + 75;
constexpr UINT EM_FINDTEXTEX = WM_USER + 79;

// EM_SETCHARFORMAT / EM_GETCHARFORMAT targets.
constexpr WPARAM SCF_DEFAULT = 0x0000;
constexpr WPARAM SCF_SELECTION = 0x0001;
constexpr WPARAM SCF_WORD = 0x0002;
constexpr WPARAM SCF_ALL = 0x0004;

// Character format mask bits. For effects the mask bit and the effect bit are the same.
constexpr DWORD CFM_BOLD = 0x00000001;
constexpr DWORD CFM_ITALIC = 0x00000002;
constexpr DWORD CFM_UNDERLINE = 0x00000004;
constexpr DWORD CFM_STRIKEOUT = 0x00000008;
constexpr DWORD CFM_PROTECTED = 0x00000010;
constexpr DWORD CFM_LINK = 0x00000020;
constexpr DWORD CFM_SMALLCAPS = 0x00000040;
constexpr DWORD CFM_ALLCAPS = 0x00000080;
constexpr DWORD CFM_HIDDEN = 0x00000100;
constexpr DWORD CFM_OUTLINE = 0x00000200;
constexpr DWORD CFM_SHADOW = 0x00000400;
constexpr DWORD CFM_EMBOSS = 0x00000800;
constexpr DWORD CFM_IMPRINT = 0x00001000;
constexpr DWORD CFM_DISABLED = 0x00002000;
constexpr DWORD CFM_REVISED = 0x00004000;
constexpr DWORD CFM_SUBSCRIPT = 0x00030000;
constexpr DWORD CFM_SUPERSCRIPT = CFM_SUBSCRIPT;
constexpr DWORD CFM_WEIGHT = 0x00400000;
constexpr DWORD CFM_BACKCOLOR = 0x04000000;
constexpr DWORD CFM_CHARSET = 0x08000000;
constexpr DWORD CFM_OFFSET = 0x10000000;
constexpr DWORD CFM_FACE = 0x20000000;
constexpr DWORD CFM_COLOR = 0x40000000;
constexpr DWORD CFM_SIZE = 0x80000000;

constexpr DWORD CFE_BOLD = 0x00000001;
constexpr DWORD CFE_ITALIC = 0x00000002;
constexpr DWORD CFE_UNDERLINE = 0x00000004;
constexpr DWORD CFE_STRIKEOUT = 0x00000008;
constexpr DWORD CFE_PROTECTED = 0x00000010;
constexpr DWORD CFE_LINK = 0x00000020;
constexpr DWORD CFE_SUBSCRIPT = 0x00010000;
constexpr DWORD CFE_SUPERSCRIPT = 0x00020000;
constexpr DWORD CFE_AUTOBACKCOLOR = CFM_BACKCOLOR;
constexpr DWORD CFE_AUTOCOLOR = CFM_COLOR;

// Find options.
constexpr WPARAM FR_DOWN = 0x00000001;
constexpr WPARAM FR_WHOLEWORD = 0x00000002;
constexpr WPARAM FR_MATCHCASE = 0x00000004;

struct CHARRANGE {
  LONG cpMin = 0;
  LONG cpMax = 0;
};

struct FINDTEXTA {
  CHARRANGE chrg;
  const char* lpstrText = nullptr;
};

struct FINDTEXTEXA {
  CHARRANGE chrg;
  const char* lpstrText = nullptr;
  CHARRANGE chrgText;
};

struct TEXTRANGEA {
  CHARRANGE chrg;
  char* lpstrText = nullptr;  // receives the range and a NUL
};

// A character format as the client fills it; the model keeps the colour and
// the effect bits, the font fields are accepted and not stored.
struct CHARFORMAT2 {
  UINT cbSize = sizeof(CHARFORMAT2);
  DWORD dwMask = 0;
  DWORD dwEffects = 0;
  LONG yHeight = 0;
  LONG yOffset = 0;
  COLORREF crTextColor = 0;
  BYTE bCharSet = 0;
  BYTE bPitchAndFamily = 0;
  char szFaceName[LF_FACESIZE] = {};
  WORD wWeight = 0;
  std::int16_t sSpacing = 0;
  COLORREF crBackColor = 0;
  DWORD lcid = 0;
  DWORD dwReserved = 0;
  std::int16_t sStyle = 0;
  WORD wKerning = 0;
  BYTE bUnderlineType = 0;
  BYTE bAnimation = 0;
  BYTE bRevAuthor = 0;
};

// A stretch of text with one format, for tests and automation.
struct TextRun {
  std::string text;
  COLORREF colour = 0;
  DWORD effects = 0;
  bool operator==(const TextRun&) const = default;
};

class CRichEditCtrl : public CWnd {
 public:
  // A new control: empty, default format automatic black, white background.
  CRichEditCtrl();
  ~CRichEditCtrl() override;

  BOOL Create(DWORD style, CWnd* parent, UINT id);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool IsThreadSafeControl() const override { return true; }
  std::string_view Kind() const override { return "richedit"; }
  std::optional<std::string> ContentText() const override { return Text(); }

  // Selection: an end of -1 is the end of the text, (0, -1) selects all, a
  // start of -1 drops the selection and puts the caret at the end of the text
  // (so (-1, -1) is where appended text goes).
  void SetSel(long start, long end);
  void SetSel(const CHARRANGE& range);
  void GetSel(long& start, long& end) const;
  void GetSel(CHARRANGE& range) const;
  // Replaces the selection; the new text takes the format of the selection's
  // first character, or the insertion format when nothing is selected. The
  // caret follows the text.
  void ReplaceSel(const char* text, BOOL canUndo = FALSE);

  BOOL SetSelectionCharFormat(const CHARFORMAT2& format);
  BOOL SetDefaultCharFormat(const CHARFORMAT2& format);
  // Fills the format; returns the mask of what is the same over the selection.
  DWORD GetSelectionCharFormat(CHARFORMAT2& format) const;
  DWORD GetDefaultCharFormat(CHARFORMAT2& format) const;
  // Returns the previous colour; with useSystemColour the window colour (white) is used.
  COLORREF SetBackgroundColor(BOOL useSystemColour, COLORREF colour);

  int GetLineCount() const;
  // -1: the caret's line. -1 for a line past the end.
  int LineIndex(int line = -1) const;
  // The length of the line holding charIndex (-1: the caret's), without its break.
  int LineLength(int charIndex = -1) const;
  int LineFromChar(long charIndex = -1) const;
  // Copies at most maxLength characters of the line, without NUL; returns the count.
  int GetLine(int line, char* buffer, int maxLength) const;
  long GetTextLength() const;
  // The first match at or after start, case-sensitive; -1 when none.
  long FindText(std::string_view needle, long start = 0) const;
  long FindText(DWORD flags, FINDTEXTEXA* find) const;

  // Readable state for tests and automation.
  std::string Text() const;
  std::vector<TextRun> Runs() const;
  COLORREF BackgroundColour() const;
  CHARRANGE Selection() const;
  // The format the next inserted text takes.
  CharFormatBits InsertionFormat() const;

 private:
  struct Range {
    std::size_t start = 0;
    std::size_t end = 0;
  };

  // The unlocked operations; callers hold mutex_.
  void SetSelLocked(LONG start, LONG end);
  void ReplaceSelLocked(std::string_view text);
  BOOL SetCharFormatLocked(WPARAM target, const CHARFORMAT2* format);
  DWORD GetCharFormatLocked(WPARAM target, CHARFORMAT2* format) const;
  CharFormatBits InsertionFormatLocked() const;
  long FindLocked(std::string_view needle, LONG from, LONG to, WPARAM flags) const;
  long FindExLocked(WPARAM flags, FINDTEXTEXA* find) const;
  std::size_t LineOfLocked(LPARAM charIndex) const;
  std::size_t Clamp(LONG position) const;

  mutable std::mutex mutex_;
  RichText text_;
  Range selection_;
  CharFormatBits defaultFormat_;
  // Set by a format change at an empty selection or by inserting; cleared when the caret moves.
  std::optional<CharFormatBits> insertionFormat_;
  COLORREF background_;
};
