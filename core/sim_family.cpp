#include "core/sim_family.h"

#include <atomic>

#include "win/ascii_case.h"

namespace {
std::atomic<std::int32_t> g_localFamily{kFamilyXp9};
std::atomic<bool> g_localFamilyKnown{false};
}  // namespace

std::int32_t LocalSimulatorFamily() { return g_localFamily.load(); }

bool LocalSimulatorFamilyKnown() { return g_localFamilyKnown.load(); }

std::int32_t TakeInstalledSimulatorCode(std::uint32_t versionWord) {
  const std::int32_t family =
      versionWord <= 10999u ? SimulatorFamily(static_cast<std::int32_t>(versionWord)) : 0;
  if (IsXPlaneFamily(family)) g_localFamily = family;
  g_localFamilyKnown = true;
  return g_localFamily.load();
}

void ResetLocalSimulatorFamily() {
  g_localFamily = kFamilyXp9;
  g_localFamilyKnown = false;
}

std::int32_t SimulatorFamily(std::int32_t code) {
  if (code == kFamilyFs2002 || code == kFamilyFs2004 || code == kFamilyFsx) return code;
  if (code >= 3000 && code <= 3999) return kFamilyP3d;
  if (code >= 9000 && code <= 9999) return kFamilyXp9;
  if (code >= 10000 && code <= 10999) return kFamilyXp10;
  return 0;
}

const char* SimulatorFamilyFileName(std::int32_t family) {
  switch (family) {
    case kFamilyFs2002:
    case kFamilyFs2004:
      return "FS";
    case kFamilyFsx:
      return "FSX";
    case kFamilyP3d:
      return "P3D";
    case kFamilyXp9:
      return "XP9";
    case kFamilyXp10:
      return "XP10";
    default:
      return nullptr;
  }
}

std::int32_t ParseSimulatorFamilyName(std::string_view name) {
  struct Named {
    std::string_view name;
    std::int32_t family;
  };
  static constexpr Named kNames[] = {
      {"FS", kFamilyFs2004}, {"FSX", kFamilyFsx}, {"P3D", kFamilyP3d}, {"XP9", kFamilyXp9}, {"XP10", kFamilyXp10},
  };
  for (const Named& n : kNames) {
    if (AsciiEqualNoCase(name, n.name)) return n.family;
  }
  return 0;
}
