// The edit control, single-line or ES_MULTILINE: 8-bit text, a selection and
// a limit on what the user may enter.
//
// Notifications: EN_CHANGE after EM_REPLACESEL, and after WM_SETTEXT on a
// single-line edit (a multi-line edit, as in Windows, does not tell it);
// EN_MAXTEXT when EM_REPLACESEL had to cut its text to the limit. The limit
// (32767 at first) applies to EM_REPLACESEL only, never to WM_SETTEXT.
#pragma once

#include "win/control_base.h"
#include "win/richedit.h"

constexpr UINT EM_GETMODIFY = 0x00B8;
constexpr UINT EM_SETMODIFY = 0x00B9;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
constexpr UINT EM_SETREADONLY = 0x00CF;
constexpr UINT EM_GETLIMITTEXT = 0x00D5;

constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;
constexpr WORD EN_UPDATE = 0x0400;
constexpr WORD EN_MAXTEXT = 0x0501;

constexpr std::size_t kEditDefaultLimit = 32767;
constexpr std::size_t kEditLargestLimit = 0x7FFFFFFE;

class CEdit : public CControlBase {
 public:
  explicit CEdit(DWORD style = ES_LEFT | ES_AUTOHSCROLL, std::string text = {});
  ~CEdit() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "edit"; }
  // A password field shows one star a character, to automation as on screen.
  std::optional<std::string> ContentText() const override;

  // (0, -1) selects all; a start of -1 drops the selection, keeping the caret.
  void SetSel(int start, int end);
  void GetSel(int& start, int& end) const;
  void ReplaceSel(const char* text, BOOL canUndo = FALSE);
  // 0 lifts the limit to its largest value.
  void LimitText(UINT limit = 0);
  void SetLimitText(UINT limit) { LimitText(limit); }
  UINT GetLimitText() const;
  BOOL SetReadOnly(BOOL readOnly = TRUE);
  BOOL GetModify() const;
  void SetModify(BOOL modified = TRUE);
  int GetLineCount() const;

 protected:
  UINT CtlColorMessage() const override;
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;

 private:
  struct Change {
    bool changed = false;
    bool cut = false;
  };
  Change ReplaceSelLocked(std::string_view text);
  void SetSelLocked(std::intptr_t start, std::intptr_t end);

  // All guarded by mutex_.
  std::size_t selStart_ = 0;
  std::size_t selEnd_ = 0;
  std::size_t limit_ = kEditDefaultLimit;
  bool modified_ = false;
};
