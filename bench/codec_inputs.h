// The inputs that the codec benchmark packs: records as the client sends
// them, written by the network library's own writers, and text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

// The 560-byte login record of a pilot at an airport; `variant` changes the
// callsign, the position and the frequencies as another pilot's would.
ByteVector LoginRecordInput(unsigned variant = 0);
// The 2,352-byte flight-plan packet (callsign, then the 2,328-byte plan) of
// an IFR flight with a route and remarks.
ByteVector FlightPlanInput(unsigned variant = 0);
// `size` bytes of the text files that ship with the program (the aircraft and
// airline lists), read from the source tree, repeated when too short.
ByteVector TextInput(const std::string& sourceDir, std::size_t size);
// `size` bytes of login records, flight plans and pieces of text in turn, as a
// busy link carries them.
ByteVector MixedInput(const std::string& sourceDir, std::size_t size);
