// Gives the voice system the own aircraft's radios: the COM texts and the
// radio selection that the own-aircraft poll keeps as its working copies.
#pragma once

#include "core/own_aircraft_state.h"
#include "voice/own_radios.h"

// The radios of one own-aircraft picture, as the voice system reads them.
OwnRadios OwnRadiosFrom(const OwnWorkingCopies& working);
// Start-up: installs the reader of the program's own aircraft.
void InstallVoiceHooks();
