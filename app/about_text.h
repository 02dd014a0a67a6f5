// The About command's line naming the simulator and the program's version.
#pragma once

#include <cstdint>
#include <string>

// "FS2002" ... "XP10" for the known codes, "XP<major>.<minor>" for other
// X-Plane codes (9000 to 10999), "???<code>" otherwise.
std::string SimulatorNameForAbout(std::uint32_t code, std::uint32_t major, std::uint32_t minor);
// "\tSimulator is <name>, Tavelkor v11.0.4.B"
std::string AboutVersionLine(std::uint32_t code, std::uint32_t major, std::uint32_t minor);
