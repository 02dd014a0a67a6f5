// Where a trackbar's parts lie in its client area: the channel, the thumb and
// the tick marks, and the mapping between positions and pixels. The control's
// painting, its hit tests and its TBM_GETCHANNELRECT / TBM_GETTHUMBRECT
// answers all come from here, so a control drawing over the channel (the
// gradient slider) meets the pixels the trackbar drew.
//
// Along the axis (x for a horizontal trackbar, y for a vertical one):
//   channel   from kChannelInset to length - kChannelInset
//   thumb     ThumbBreadth() = thumb length / 2 + 1 pixels wide; its leading
//             edge runs from the channel's start (at the minimum) to the
//             channel's end - breadth (at the maximum)
//   pixel(v)  channel start + breadth / 2 + (v - min) * usable / (max - min),
//             usable = channel length - breadth; the thumb's centre and the
//             tick of value v lie there. An empty range or no usable length
//             puts every value at the start.
// Across the axis (y for horizontal, x for vertical), from the top or left:
//   a tick band of kTicLength + 2 when ticks are drawn before the thumb
//   (TBS_TOP / TBS_LEFT or TBS_BOTH), then kThumbInset, then the thumb of the
//   thumb length, with the channel of kChannelThickness centred on it; ticks
//   drawn after the thumb (the default side, or TBS_BOTH) lie one pixel past it.
#pragma once

#include <vector>

#include "win/geometry.h"
#include "win/types.h"

constexpr DWORD TBS_HORZ = 0x0000;
constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_VERT = 0x0002;
constexpr DWORD TBS_TOP = 0x0004;
constexpr DWORD TBS_LEFT = 0x0004;
constexpr DWORD TBS_BOTTOM = 0x0000;
constexpr DWORD TBS_RIGHT = 0x0000;
constexpr DWORD TBS_BOTH = 0x0008;
constexpr DWORD TBS_NOTICKS = 0x0010;

namespace win {

constexpr LONG kTrackbarChannelInset = 8;
constexpr LONG kTrackbarChannelThickness = 4;
constexpr LONG kTrackbarThumbInset = 2;
constexpr LONG kTrackbarTicLength = 3;
constexpr LONG kTrackbarDefaultThumbLength = 20;

// What the layout depends on.
struct TrackbarState {
  DWORD style = 0;
  LONG width = 0;   // client area
  LONG height = 0;
  int min = 0;
  int max = 100;
  int pos = 0;
  int ticFreq = 1;
  LONG thumbLength = kTrackbarDefaultThumbLength;
};

// One tick mark: its rectangle in the client area.
struct TrackbarTic {
  int value = 0;
  RECT rect;
};

class TrackbarLayout {
 public:
  explicit TrackbarLayout(const TrackbarState& state);

  bool Vertical() const { return vertical_; }
  // In the client's real orientation.
  RECT Channel() const;
  RECT Thumb() const;
  // The thumb's size along the axis.
  LONG ThumbBreadth() const { return breadth_; }
  // Channel length - thumb breadth; 0 or less leaves the thumb no room to move.
  LONG UsableLength() const { return channelEnd_ - channelStart_ - breadth_; }
  // Along the axis: where value v (clamped to the range) lies.
  LONG PixelOfValue(int value) const;
  // The value whose pixel is nearest to `pixel` along the axis, within the range.
  int ValueAtPixel(LONG pixel) const;
  // The ticks drawn: none with TBS_NOTICKS, otherwise the first and the last
  // value, and with TBS_AUTOTICKS every ticFreq-th value between them.
  std::vector<TrackbarTic> Tics() const;
  // The tick values between the ends (those of TBS_AUTOTICKS), in order.
  std::vector<int> InnerTicValues() const;

 private:
  RECT Oriented(LONG axisStart, LONG axisEnd, LONG crossStart, LONG crossEnd) const;

  TrackbarState state_;
  bool vertical_ = false;
  LONG channelStart_ = 0;
  LONG channelEnd_ = 0;
  LONG breadth_ = 0;
  LONG thumbCross_ = 0;  // where the thumb starts across the axis
};

}  // namespace win
