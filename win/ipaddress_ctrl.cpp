#include "win/ipaddress_ctrl.h"

#include <algorithm>
#include <cstring>

CIPAddressCtrl::CIPAddressCtrl(DWORD style, std::string text) : CControlBase(style, {}) {
  if (std::optional<Fields> parsed = Parse(text)) fields_ = *parsed;
}

CIPAddressCtrl::~CIPAddressCtrl() { DestroyWindow(); }

std::optional<CIPAddressCtrl::Fields> CIPAddressCtrl::Parse(std::string_view text) const {
  Fields fields{};
  if (text.empty()) return fields;
  std::size_t field = 0;
  int digits = 0;
  int value = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '.';
    if (c >= '0' && c <= '9') {
      // Three digits at most, as a field takes.
      if (++digits > 3) return std::nullopt;
      value = value * 10 + (c - '0');
      continue;
    }
    if (c != '.' || field >= 4) return std::nullopt;
    if (digits > 0) {
      const auto [low, high] = ranges_[field];
      fields[field] = std::clamp(value, low, high);
    }
    ++field;
    digits = 0;
    value = 0;
  }
  if (field != 4) return std::nullopt;
  return fields;
}

std::string CIPAddressCtrl::TextLocked() const {
  if (std::none_of(fields_.begin(), fields_.end(), [](const std::optional<int>& f) { return f.has_value(); })) return {};
  std::string text;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) text += '.';
    if (fields_[i]) text += std::to_string(*fields_[i]);
  }
  return text;
}

std::optional<std::string> CIPAddressCtrl::ContentText() const {
  std::lock_guard lock(mutex_);
  return TextLocked();
}

LRESULT CIPAddressCtrl::Typed(const char* typed) {
  std::optional<Fields> parsed = Parse(typed != nullptr ? typed : "");
  if (!parsed) return kTextRefused;
  Fields before;
  {
    std::lock_guard lock(mutex_);
    before = fields_;
    fields_ = *parsed;
  }
  if (before == *parsed) return kTypedIn;
  ContentChanged();
  const HWND parent = ::GetParent(m_hWnd);
  if (parent != 0) {
    for (std::size_t i = 0; i < 4; ++i) {
      if (before[i] == (*parsed)[i]) continue;
      NMIPADDRESS notice;
      notice.hdr.hwndFrom = m_hWnd;
      notice.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hWnd));
      notice.hdr.code = IPN_FIELDCHANGED;
      notice.iField = static_cast<int>(i);
      notice.iValue = (*parsed)[i].value_or(-1);
      SendMessageA(parent, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
    }
  }
  NotifyParent(kIpAddressChanged);
  return kTypedIn;
}

LRESULT CIPAddressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case IPM_CLEARADDRESS:
      {
        std::lock_guard lock(mutex_);
        fields_ = Fields{};
      }
      ContentChanged();
      return 0;
    case IPM_SETADDRESS: {
      const auto address = static_cast<DWORD>(lParam);
      {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < 4; ++i) {
          const int value = static_cast<int>((address >> (24 - 8 * i)) & 0xFF);
          fields_[i] = std::clamp(value, ranges_[i].first, ranges_[i].second);
        }
      }
      ContentChanged();
      return TRUE;
    }
    case IPM_GETADDRESS: {
      std::lock_guard lock(mutex_);
      DWORD address = 0;
      int filled = 0;
      for (std::size_t i = 0; i < 4; ++i) {
        address |= static_cast<DWORD>(fields_[i].value_or(0)) << (24 - 8 * i);
        if (fields_[i]) ++filled;
      }
      if (auto* out = reinterpret_cast<DWORD*>(lParam)) *out = address;
      return filled;
    }
    case IPM_SETRANGE: {
      if (wParam > 3) return FALSE;
      const int low = LOBYTE(static_cast<std::uintptr_t>(lParam));
      const int high = HIBYTE(static_cast<std::uintptr_t>(lParam));
      if (low > high) return FALSE;
      std::lock_guard lock(mutex_);
      ranges_[wParam] = {low, high};
      if (fields_[wParam]) fields_[wParam] = std::clamp(*fields_[wParam], low, high);
      return TRUE;
    }
    case IPM_SETFOCUS:
      return 0;
    case IPM_ISBLANK: {
      std::lock_guard lock(mutex_);
      return std::none_of(fields_.begin(), fields_.end(), [](const std::optional<int>& f) { return f.has_value(); })
                 ? TRUE
                 : FALSE;
    }
    case WM_SETTEXT: {
      std::optional<Fields> parsed = Parse(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
      if (!parsed) return FALSE;
      {
        std::lock_guard lock(mutex_);
        fields_ = *parsed;
      }
      ContentChanged();
      return TRUE;
    }
    case WM_GETTEXT: {
      std::lock_guard lock(mutex_);
      const std::string text = TextLocked();
      auto* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      const std::size_t n = std::min(text.size(), static_cast<std::size_t>(wParam) - 1);
      std::memcpy(buffer, text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(TextLocked().size());
    }
    default:
      break;
  }
  if (message == ControlTypeMessage()) return Typed(reinterpret_cast<const char*>(lParam));
  return CControlBase::WindowProc(message, wParam, lParam);
}

void CIPAddressCtrl::SetAddress(DWORD address) { SendMessage(IPM_SETADDRESS, 0, static_cast<LPARAM>(address)); }

int CIPAddressCtrl::GetAddress(DWORD& address) {
  return static_cast<int>(SendMessage(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
}

int CIPAddressCtrl::GetAddress(BYTE& b1, BYTE& b2, BYTE& b3, BYTE& b4) {
  DWORD address = 0;
  const int filled = GetAddress(address);
  b1 = FIRST_IPADDRESS(address);
  b2 = SECOND_IPADDRESS(address);
  b3 = THIRD_IPADDRESS(address);
  b4 = FOURTH_IPADDRESS(address);
  return filled;
}

void CIPAddressCtrl::ClearAddress() { SendMessage(IPM_CLEARADDRESS); }

BOOL CIPAddressCtrl::IsBlank() { return static_cast<BOOL>(SendMessage(IPM_ISBLANK)); }

void CIPAddressCtrl::SetFieldRange(int field, BYTE low, BYTE high) {
  SendMessage(IPM_SETRANGE, static_cast<WPARAM>(field), MAKEIPRANGE(low, high));
}
