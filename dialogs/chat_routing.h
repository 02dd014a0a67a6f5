// Where received text goes: an on-air text is shown when it comes on the
// guard frequency, or on a frequency that a selected radio is tuned to; a
// private text is always shown. The display operations print into the chat
// window; the network's way threads reach them through the hooks that
// InstallChatRouting registers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/text_records.h"

class CBaseThread;

inline constexpr std::int32_t kGuardKhz = 121'500;

// The radios as the chat reads them: COM texts ("%.2f" MHz) and selections;
// the both flag makes both radios count as selected.
struct ChatRadios {
  std::string_view com1;
  std::string_view com2;
  bool com1Selected = false;
  bool com2Selected = false;
  bool bothSelected = false;
};

// MHz x 1000, truncated toward zero; nothing for a value that is not a
// finite frequency above 0 and below 1,000 MHz (checked before converting,
// so no value can overflow the integer).
std::optional<std::int32_t> FrequencyKhz(double mhz);
// A COM text in MHz: nothing when it does not read wholly as a frequency.
std::optional<double> ComTextMhz(std::string_view text);

// A selected radio (both counting as both) is tuned to this frequency text,
// compared as numbers in kHz: "123.00" is on "123.000".
bool SelectedRadioOn(std::string_view frequencyText, const ChatRadios& radios);
// The own aircraft's radios as the poll keeps them.
struct OwnRadioTexts {
  std::string com1;
  std::string com2;
  ChatRadios View() const;
  bool com1Selected = false;
  bool com2Selected = false;
  bool bothSelected = false;
};
OwnRadioTexts CurrentOwnRadios();

enum class OnAirVerdict { kDropped, kGuard, kShown };
OnAirVerdict RouteOnAir(double recordMhz, const ChatRadios& radios);

// Way threads: print into the chat window (nothing while it does not exist).
void ShowTextOnAir(CBaseThread& way, const TextOnAirRecord& record);
void ShowTextPrivate(CBaseThread& way, const PrivateTextRecord& record);

// Registers the two display operations with the network library.
void InstallChatRouting();
