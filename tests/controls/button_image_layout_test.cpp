#include "controls/button_image_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(ButtonImageLayout, PlacesTheImageForEachAlignmentWithAndWithoutCaption) {
  // A 44 x 19 button, a 10 x 6 image, origin (3, 3).
  const RECT item{0, 0, 44, 19};
  struct Case {
    ButtonImageAlign align;
    bool caption;
    POINT image;
    RECT captionAfter;
  };
  const Case cases[] = {
      {ButtonImageAlign::Left, true, {3, 6}, {13, 0, 44, 19}},
      {ButtonImageAlign::Left, false, {17, 6}, {0, 0, 44, 19}},
      {ButtonImageAlign::Above, true, {17, 3}, {0, 6, 44, 19}},
      {ButtonImageAlign::Above, false, {17, 6}, {0, 0, 44, 19}},
      {ButtonImageAlign::Right, true, {31, 6}, {3, 0, 31, 19}},
      {ButtonImageAlign::Right, false, {17, 0}, {0, 0, 44, 19}},
      {ButtonImageAlign::Over, true, {0, 0}, {0, 0, 44, 19}},
      {ButtonImageAlign::Over, false, {0, 0}, {0, 0, 44, 19}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.align) << (c.caption ? " with caption" : " without"));
    ButtonImageLayoutInput in;
    in.align = c.align;
    in.hasCaption = c.caption;
    in.item = item;
    in.clientRect = item;
    in.image = SIZE{10, 6};
    in.origin = POINT{3, 3};
    const ButtonImageLayout out = LayOutButtonImage(in, item);
    EXPECT_EQ(out.imageTopLeft, c.image);
    EXPECT_EQ(out.caption, c.captionAfter);
  }
}

TEST(ButtonImageLayout, HalvesTowardZeroWhenTheImageIsLargerThanTheButton) {
  ButtonImageLayoutInput in;
  in.item = RECT{0, 0, 5, 5};
  in.clientRect = in.item;
  in.image = SIZE{10, 8};  // (5 - 10) / 2 = -2, (5 - 8) / 2 = -1
  const ButtonImageLayout out = LayOutButtonImage(in, in.item);
  EXPECT_EQ(out.imageTopLeft, (POINT{-2, -1}));
}

TEST(ButtonImageLayout, ThePressedShiftMovesOnlyTheImage) {
  ButtonImageLayoutInput in;
  in.hasCaption = true;
  in.item = RECT{0, 0, 40, 20};
  in.clientRect = in.item;
  in.image = SIZE{8, 8};
  in.origin = POINT{3, 3};
  in.shift = POINT{1, 1};
  const ButtonImageLayout out = LayOutButtonImage(in, in.item);
  EXPECT_EQ(out.imageTopLeft, (POINT{4, 7}));
  EXPECT_EQ(out.caption, (RECT{11, 0, 40, 20}));
}

}  // namespace
