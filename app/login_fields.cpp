#include "app/login_fields.h"

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/message_box.h"
#include "win/window.h"

namespace {
constexpr bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

int Refuse(const char* line) {
  PlayDefaultBeep();
  KlibMainTraceLine(Klib().Colour(kColourError), "%s", line);
  return 0;
}
}  // namespace

bool HasInvalidCallsignChars(std::string_view callsign) {
  if (callsign.empty()) return true;
  for (const char c : callsign)
    if (!IsAsciiLetterOrDigit(c) && c != '-' && c != '_') return true;
  return false;
}

int CheckLoginFields(const CWnd* callsignDialog, std::array<char, kCallSignSize>& callsign) {
  if (callsignDialog == nullptr) return 0;
  callsign.fill('\0');
  if (const CWnd* box = callsignDialog->GetDlgItem(kCallsignBoxId))
    box->GetWindowText(callsign.data(), static_cast<int>(callsign.size()));
  callsign.back() = '\0';
  const std::string_view text(callsign.data());
  if (text.empty()) return Refuse("Can not connect you because : Pilot callsign field should be filled.");
  if (HasInvalidCallsignChars(text)) return Refuse("Can not connect you because : Invalid characters in Pilot's callsign.");
  const NetworkSlot site = CurrentNetworkSlot();
  if (site.pilotId[0] == '\0') return Refuse("Can not connect you because : Your login for this network is empty.");
  if (site.pilotPassword[0] == '\0')
    return Refuse("Can not connect you because : Your password for this network is empty.");
  return 1;
}
