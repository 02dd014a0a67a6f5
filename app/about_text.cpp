#include "app/about_text.h"

#include <array>
#include <cstdio>
#include <utility>

#include "core/main_dialog_state.h"

std::string SimulatorNameForAbout(std::uint32_t code, std::uint32_t major, std::uint32_t minor) {
  static constexpr std::array<std::pair<std::uint32_t, const char*>, 7> kNames = {{{2002, "FS2002"},
                                                                                    {2004, "FS2004"},
                                                                                    {2006, "FSX"},
                                                                                    {3002, "P3Dv2"},
                                                                                    {3003, "P3Dv3"},
                                                                                    {9000, "XP9"},
                                                                                    {10000, "XP10"}}};
  for (const auto& [known, name] : kNames)
    if (known == code) return name;
  char text[32];
  if (code >= 9000 && code <= 10999) {
    std::snprintf(text, sizeof text, "XP%u.%u", static_cast<unsigned>(major), static_cast<unsigned>(minor));
  } else {
    std::snprintf(text, sizeof text, "???%u", static_cast<unsigned>(code));
  }
  return text;
}

std::string AboutVersionLine(std::uint32_t code, std::uint32_t major, std::uint32_t minor) {
  char text[96];
  std::snprintf(text, sizeof text, "\tSimulator is %s, Tavelkor v%d.%d.%d.%c",
                SimulatorNameForAbout(code, major, minor).c_str(), kVersionMajor, kVersionMinor, kVersionBuild,
                kVersionLetter);
  return text;
}
