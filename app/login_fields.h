// The checks made on the pilot's callsign, login and password before a
// connection is attempted.
#pragma once

#include <array>
#include <string_view>

#include "core/settings.h"

class CWnd;

// The callsign box of the callsign dialog.
constexpr int kCallsignBoxId = 7010;

// True when the text is empty or holds anything but a letter, a digit, '-' or '_'.
bool HasInvalidCallsignChars(std::string_view callsign);

// 1 when the fields are usable, else 0 after a beep and the reason in the chat
// window. callsignDialog null (the dialog does not exist) gives 0 at once; else
// its callsign box is read into `callsign`. The caller shows the connect
// button offline on 0.
int CheckLoginFields(const CWnd* callsignDialog, std::array<char, kCallSignSize>& callsign);
