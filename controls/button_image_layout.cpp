#include "controls/button_image_layout.h"

namespace {
// Halves toward zero, as signed integer division does.
LONG Half(LONG value) { return value / 2; }
LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }
}  // namespace

ButtonImageLayout LayOutButtonImage(const ButtonImageLayoutInput& in, const RECT& captionIn) {
  RECT image = in.item;
  RECT caption = captionIn;
  const LONG w = in.image.cx;
  const LONG h = in.image.cy;
  switch (in.align) {
    case ButtonImageAlign::Left:
      if (in.hasCaption) {
        image.left += in.origin.x;
        caption.left += in.origin.x + w;
      } else {
        image.left += Half(Width(image) - w);
      }
      image.top += Half(Height(image) - h);
      break;
    case ButtonImageAlign::Above:
      image.left += Half(Width(image) - w);
      if (in.hasCaption) {
        image.top = in.origin.y;
        caption.top += h;
      } else {
        image.top += Half(Height(image) - h);
      }
      break;
    case ButtonImageAlign::Right:
      if (in.hasCaption) {
        caption.right = Width(caption) - in.origin.x - w;
        caption.left = in.origin.x;
        image.left = in.clientRect.right - in.origin.x - w;
        image.top += Half(Height(image) - h);
      } else {
        image.left += Half(Width(image) - w);
      }
      break;
    case ButtonImageAlign::Over:
      break;
  }
  return ButtonImageLayout{POINT{image.left + in.shift.x, image.top + in.shift.y}, caption};
}
