#include <array>
#include <string>

#include "core/settings.h"
#include "core/settings_keys.h"

namespace {

constexpr std::array<const char*, 4> kSides = {settings_key::kPositionLeft, settings_key::kPositionTop,
                                               settings_key::kPositionRight, settings_key::kPositionBottom};

std::string PositionKey(std::string_view prefix, const char* side) {
  std::string key(prefix);
  key += side;
  return key;
}

}  // namespace

std::optional<WindowPosition> ReadWindowPosition(std::string_view prefix, const char* path) {
  std::array<std::int32_t, 4> sides{};
  for (std::size_t i = 0; i < kSides.size(); ++i) {
    sides[i] =
        ReadSettingInt(settings_key::kPositions, PositionKey(prefix, kSides[i]).c_str(), kNoWindowPosition, path);
    if (sides[i] == kNoWindowPosition) return std::nullopt;
  }
  return WindowPosition{sides[0], sides[1], sides[2], sides[3]};
}

BOOL WriteWindowPosition(std::string_view prefix, const WindowPosition& position, const char* path) {
  const std::array<std::int32_t, 4> sides = {position.left, position.top, position.right, position.bottom};
  BOOL all = TRUE;
  for (std::size_t i = 0; i < kSides.size(); ++i) {
    if (!WriteSettingInt(settings_key::kPositions, PositionKey(prefix, kSides[i]).c_str(), sides[i], path)) all = FALSE;
  }
  return all;
}
