#include "win/edit_ctrl.h"

#include <algorithm>

namespace {

bool Multiline(DWORD style) { return (style & ES_MULTILINE) != 0; }

std::string_view TextOf(LPARAM lParam) {
  return lParam != 0 ? std::string_view(reinterpret_cast<const char*>(lParam)) : std::string_view();
}

}  // namespace

CEdit::CEdit(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CEdit::~CEdit() { DestroyWindow(); }

std::optional<std::string> CEdit::ContentText() const {
  std::string text = Text();
  if ((Style() & ES_PASSWORD) != 0) text.assign(text.size(), '*');
  return text;
}

void CEdit::SetSelLocked(std::intptr_t start, std::intptr_t end) {
  const std::size_t size = text_.size();
  if (start == -1) {
    selStart_ = selEnd_;
    return;
  }
  auto clamp = [size](std::intptr_t v) { return v < 0 ? size : std::min(static_cast<std::size_t>(v), size); };
  selStart_ = clamp(start);
  selEnd_ = clamp(end);
  if (selStart_ > selEnd_) std::swap(selStart_, selEnd_);
}

CEdit::Change CEdit::ReplaceSelLocked(std::string_view text) {
  const std::size_t kept = text_.size() - (selEnd_ - selStart_);
  const std::size_t room = limit_ > kept ? limit_ - kept : 0;
  Change change;
  if (text.size() > room) {
    text = text.substr(0, room);
    change.cut = true;
  }
  change.changed = selEnd_ != selStart_ || !text.empty();
  text_.replace(selStart_, selEnd_ - selStart_, text);
  selStart_ += text.size();
  selEnd_ = selStart_;
  if (change.changed) modified_ = true;
  return change;
}

LRESULT CEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      {
        RepaintWhenChanged repaint(*this);
        std::lock_guard lock(mutex_);
        repaint.Mark(text_ != TextOf(lParam));
        text_ = std::string(TextOf(lParam));
        selStart_ = selEnd_ = 0;
        modified_ = false;
      }
      if (!Multiline(Style())) NotifyParent(EN_CHANGE);
      return TRUE;
    }
    case EM_SETSEL: {
      std::lock_guard lock(mutex_);
      SetSelLocked(static_cast<std::intptr_t>(wParam), lParam);
      return 0;
    }
    case EM_GETSEL: {
      std::lock_guard lock(mutex_);
      if (auto* start = reinterpret_cast<DWORD*>(wParam)) *start = static_cast<DWORD>(selStart_);
      if (auto* end = reinterpret_cast<DWORD*>(lParam)) *end = static_cast<DWORD>(selEnd_);
      if (selEnd_ > 0xFFFF) return -1;  // does not fit the packed answer
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(selStart_), static_cast<WORD>(selEnd_)));
    }
    case EM_REPLACESEL: {
      Change change;
      {
        std::lock_guard lock(mutex_);
        change = ReplaceSelLocked(TextOf(lParam));
      }
      if (change.changed) ContentChanged();
      if (change.cut) NotifyParent(EN_MAXTEXT);
      if (change.changed) NotifyParent(EN_CHANGE);
      return 0;
    }
    case EM_LIMITTEXT: {
      std::lock_guard lock(mutex_);
      limit_ = wParam == 0 ? kEditLargestLimit : std::min<std::size_t>(wParam, kEditLargestLimit);
      return 0;
    }
    case EM_GETLIMITTEXT: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(limit_);
    }
    case EM_SETREADONLY: {
      const DWORD style = Style();
      style_ = wParam != 0 ? (style | ES_READONLY) : (style & ~ES_READONLY);
      if (style_.load() != style) ContentChanged();
      return TRUE;
    }
    case EM_GETMODIFY: {
      std::lock_guard lock(mutex_);
      return modified_ ? TRUE : FALSE;
    }
    case EM_SETMODIFY: {
      std::lock_guard lock(mutex_);
      modified_ = wParam != 0;
      return 0;
    }
    case EM_GETLINECOUNT: {
      if (!Multiline(Style())) return 1;
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(std::count(text_.begin(), text_.end(), '\n') + 1);
    }
    default:
      return CControlBase::WindowProc(message, wParam, lParam);
  }
}

void CEdit::SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }

void CEdit::GetSel(int& start, int& end) const {
  std::lock_guard lock(mutex_);
  start = static_cast<int>(selStart_);
  end = static_cast<int>(selEnd_);
}

void CEdit::ReplaceSel(const char* text, BOOL canUndo) {
  SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}

void CEdit::LimitText(UINT limit) { SendMessage(EM_LIMITTEXT, limit, 0); }

UINT CEdit::GetLimitText() const {
  std::lock_guard lock(mutex_);
  return static_cast<UINT>(limit_);
}

BOOL CEdit::SetReadOnly(BOOL readOnly) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly, 0)); }

BOOL CEdit::GetModify() const {
  std::lock_guard lock(mutex_);
  return modified_ ? TRUE : FALSE;
}

void CEdit::SetModify(BOOL modified) { SendMessage(EM_SETMODIFY, modified, 0); }

int CEdit::GetLineCount() const {
  if (!Multiline(Style())) return 1;
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(text_.begin(), text_.end(), '\n') + 1);
}

