// The pilot's own callsign (at most 15 characters): chosen in the callsign
// dialog, stored as "CallSign" in [FLIGHT PLAN], sent in every identity.
#pragma once

#include <string>
#include <string_view>

// Copies for any thread.
std::string OwnCallsign();
// Cut to 15 characters.
void SetOwnCallsign(std::string_view callsign);
