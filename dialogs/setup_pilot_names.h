// The pilot's first and last name, as the node gave them at login, in the
// main setup dialog's read-only fields (any thread; nothing before the dialog exists).
#pragma once

inline constexpr int kSetupFirstNameId = 7008;
inline constexpr int kSetupLastNameId = 7009;

void ShowPilotNamesInSetup(const char* first, const char* last);
