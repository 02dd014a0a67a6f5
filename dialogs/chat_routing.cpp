#include "dialogs/chat_routing.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/text_fields.h"
#include "dialogs/chat_dialog.h"
#include "net/text_display.h"
#include "win/richedit.h"
#include "win/paths.h"
#include "win/sound.h"

namespace {

constexpr double kHighestMhz = 1000.0;

bool OnRadio(std::int32_t khz, std::string_view com, bool selected) {
  if (!selected) return false;
  const std::optional<double> mhz = ComTextMhz(com);
  if (!mhz) return false;
  const std::optional<std::int32_t> comKhz = FrequencyKhz(*mhz);
  return comKhz && *comKhz == khz;
}

}  // namespace

std::optional<std::int32_t> FrequencyKhz(double mhz) {
  if (!std::isfinite(mhz) || mhz <= 0.0 || mhz >= kHighestMhz) return std::nullopt;
  return static_cast<std::int32_t>(mhz * 1000.0);
}

std::optional<double> ComTextMhz(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool SelectedRadioOn(std::string_view frequencyText, const ChatRadios& radios) {
  const std::optional<double> mhz = ComTextMhz(frequencyText);
  if (!mhz) return false;
  const std::optional<std::int32_t> khz = FrequencyKhz(*mhz);
  if (!khz) return false;
  return OnRadio(*khz, radios.com1, radios.com1Selected || radios.bothSelected) ||
         OnRadio(*khz, radios.com2, radios.com2Selected || radios.bothSelected);
}

ChatRadios OwnRadioTexts::View() const { return {com1, com2, com1Selected, com2Selected, bothSelected}; }

OwnRadioTexts CurrentOwnRadios() {
  const OwnWorkingCopies working = g_ownAircraft().Snapshot().working;
  OwnRadioTexts radios;
  radios.com1 = std::string(FieldText(working.com1));
  radios.com2 = std::string(FieldText(working.com2));
  radios.com1Selected = working.com1Selected != 0;
  radios.com2Selected = working.com2Selected != 0;
  radios.bothSelected = working.bothSelected != 0;
  return radios;
}

OnAirVerdict RouteOnAir(double recordMhz, const ChatRadios& radios) {
  const std::optional<std::int32_t> khz = FrequencyKhz(recordMhz);
  if (!khz) return OnAirVerdict::kDropped;
  if (*khz == kGuardKhz) return OnAirVerdict::kGuard;
  const bool com1 = radios.com1Selected || radios.bothSelected;
  const bool com2 = radios.com2Selected || radios.bothSelected;
  return OnRadio(*khz, radios.com1, com1) || OnRadio(*khz, radios.com2, com2) ? OnAirVerdict::kShown
                                                                                : OnAirVerdict::kDropped;
}

void ShowTextOnAir(CBaseThread& /*way*/, const TextOnAirRecord& record) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  const OwnRadioTexts own = CurrentOwnRadios();
  const KlibSettings& k = Klib();
  switch (RouteOnAir(record.frequencyMhz, own.View())) {
    case OnAirVerdict::kDropped:
      return;
    case OnAirVerdict::kGuard: {
      const std::string text = record.sender + " : " + record.text;
      const PrintRun runs[] = {{CFE_BOLD, k.Colour(kColourError), "[ON GUARD] "}, {0, k.Colour(kColourError), text}};
      chat->PrintRuns(runs, true);
      return;
    }
    case OnAirVerdict::kShown: {
      std::array<char, 32> mhz{};
      std::snprintf(mhz.data(), mhz.size(), "%.2f", record.frequencyMhz);
      const std::string sender = record.sender + " ";
      const std::string text = std::string("on ") + mhz.data() + " Mhz : " + record.text;
      const PrintRun runs[] = {{CFE_BOLD, k.Colour(kColour24), sender}, {0, k.Colour(kColourNormal), text}};
      chat->PrintRuns(runs, true);
      return;
    }
  }
}

void ShowTextPrivate(CBaseThread& /*way*/, const PrivateTextRecord& record) {
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0) {
    const std::string ding = JoinPath(g_appPaths().programFolder, "DING.WAV");
    PlaySoundA(ding.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  }
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  const std::string text =
      std::string(record.marker == 1 ? "[PRIVATE] " : "[private] ") + record.sender + " : " + record.text;
  const PrintRun runs[] = {{CFE_BOLD, Klib().Colour(kColour24), text}};
  chat->PrintRuns(runs, true);
  chat->AddRecipient(record.sender);
}

void InstallChatRouting() { SetTextDisplayHooks({&ShowTextOnAir, &ShowTextPrivate}); }
