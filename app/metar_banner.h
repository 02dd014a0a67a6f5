// The METAR banner: the text the chat window shows as its title.
#pragma once

#include <cstddef>
#include <string>

#include "app/remote_file.h"

// A whole station reply, the flag and the six blanks, and the terminator.
constexpr std::size_t kMetarBannerSize = kRemoteFileMaxBytes + 8;
// How long a worker waits for the UI thread to take the new title.
constexpr unsigned kMetarTitleWaitMs = 5000;

// Null text: "No METAR available yet.     Tavelkor v11.0.4.B"; else the text,
// with a leading '*' when flagged. Six blanks follow. Any thread may call it:
// the banner is written under its lock and then given to the chat window.
void SetMetarLabel(const char* text, bool flagged);
// A copy of the banner ("" before the first one).
std::string MetarBanner();
// Tests: back to "".
void ResetMetarBanner();
