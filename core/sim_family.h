// Simulator families: the version codes peers announce, grouped the way the
// cross-simulator offsets and the peer glue compare them, and their short
// names in the offsets file.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kFamilyFs2002 = 2002;
inline constexpr std::int32_t kFamilyFs2004 = 2004;
inline constexpr std::int32_t kFamilyFsx = 2006;
inline constexpr std::int32_t kFamilyP3d = 3000;
inline constexpr std::int32_t kFamilyXp9 = 9000;
inline constexpr std::int32_t kFamilyXp10 = 10000;

// 2002, 2004 and 2006 stand for themselves; 3000..3999, 9000..9999 and
// 10000..10999 each give their first code; anything else is 0 (unknown).
std::int32_t SimulatorFamily(std::int32_t simulatorCode);
constexpr bool IsXPlaneFamily(std::int32_t family) { return family == kFamilyXp9 || family == kFamilyXp10; }

// The family of the simulator installed here, as the plug-in's handshake
// names it. The wire always carries this edition's own code (9000); what is
// local follows the installed family: the pair offsets, the offsets window,
// the fixed default models. A version word of 9000-9999 gives X-Plane 9,
// 10000-10999 X-Plane 10; any other word leaves the family as it was, X-Plane
// 9 until a handshake names another.
std::int32_t LocalSimulatorFamily();
// Whether a handshake has been taken since start (or the last reset).
bool LocalSimulatorFamilyKnown();
// Takes a handshake's version word; the family now in force comes back.
std::int32_t TakeInstalledSimulatorCode(std::uint32_t versionWord);
// X-Plane 9 and unknown again, as at start.
void ResetLocalSimulatorFamily();

// The name the offsets file uses for a family code ("FS" for 2002 and 2004),
// or null for a code without one.
const char* SimulatorFamilyFileName(std::int32_t family);
// The family a file name stands for ("FS" reads as 2004), without case; 0 when unknown.
std::int32_t ParseSimulatorFamilyName(std::string_view name);
