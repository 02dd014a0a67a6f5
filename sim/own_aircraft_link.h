// What the plug-in link does with the own aircraft's records: the four data
// sets are stored in the own-aircraft state (each group whole, under its lock)
// and announced to the session; the aircraft-loaded record gives the model.
#pragma once

#include <string>

#include "sim/plugin_link_records.h"

// Link thread: the user loaded another aircraft (its 140-byte identity
// record). The record and title are kept, then the own type is matched.
void ApplyUserAircraftLoaded(const OwnIdentityRecord& record);

// The title peers are sent: every ':' (the network's field separator) becomes ';'.
std::string TitleForPeers(const std::string& title);

inline constexpr char kReloadAircraftTitle[] = "This pilot must reload his airplane";
