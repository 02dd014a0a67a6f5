#include "win/display/display.h"

#include <cstdlib>
#include <cstring>

namespace win::display {

bool ShouldShow(int argc, char** argv) {
  const char* headless = std::getenv("TK_HEADLESS");
  if (headless != nullptr && std::strcmp(headless, "1") == 0) return false;
  for (int i = 1; i < argc; ++i)
    if (argv[i] != nullptr && std::strcmp(argv[i], "--display") == 0) return true;
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// Start, Showing and Stop come with the display's mirror of the windows.

}  // namespace win::display
