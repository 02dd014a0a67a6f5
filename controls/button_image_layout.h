// Where a button's image goes beside, above or over its caption, and how much
// room that leaves the caption.
#pragma once

#include <cstdint>

#include "win/geometry.h"

// Image left of the caption, above it, right of it, or over it.
enum class ButtonImageAlign : std::uint8_t { Left = 0, Above = 1, Right = 2, Over = 3 };
constexpr std::uint8_t kButtonImageAlignCount = 4;

struct ButtonImageLayoutInput {
  ButtonImageAlign align = ButtonImageAlign::Left;
  bool hasCaption = false;
  RECT item{};        // the button's item rectangle
  RECT clientRect{};  // the button's client area (alignment Right measures from it)
  SIZE image{};       // the image's own size
  POINT origin{};     // distance of the image from the edge when a caption is present
  POINT shift{};      // added to the image's corner (the pressed offset, or 0, 0)
};

struct ButtonImageLayout {
  POINT imageTopLeft{};  // the image is drawn here with its own size
  RECT caption{};        // the caption's rectangle, shrunk by the image
};

// `caption` is the caption rectangle before the image takes its room.
ButtonImageLayout LayOutButtonImage(const ButtonImageLayoutInput& in, const RECT& caption);
