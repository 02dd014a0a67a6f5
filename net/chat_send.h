// The chat's senders: they hand a text to the ways that send it. Each text
// travels in its message's payload as a ready record (the way fills in the
// sender), so a second line typed before a way's thread has sent the first
// never replaces it. The way records' outgoing fields and the long-haul and
// kick-out requests are written as well, for the dumps that show them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "net/text_records.h"

class CBaseThread;

// Index 0..49 of the allocated way whose callsign equals `name` without regard
// to case; -1 for an empty name, -2 when none. Takes WayTableLock itself.
std::int32_t LookupWayByCallsignNoCase(std::string_view name);

// To every allocated pilot or controller way whose link is up; the number of
// ways posted to.
int SendTextOnAir(double frequencyMhz, std::string_view text);

enum class PrivateRoute { kNone, kWay, kLongHaul };
// To the callsign's way, or through the node when no way reaches it (the node
// way must exist, linked or not). Nothing for an empty callsign or text.
PrivateRoute SendPrivateText(std::string_view callsign, std::string_view text);

// A kick-out request to the node, only while its link is up; true when posted.
bool SendKickout(std::string_view callsign, std::string_view reason);

// The payloads: a record whose sender the way fills in.
TextOnAirRecordBytes OnAirPayload(double frequencyMhz, std::string_view text);
PrivateTextRecordBytes PrivatePayload(std::string_view sender, std::string_view recipient, std::string_view text);
