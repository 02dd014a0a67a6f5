#include "win/trackbar_layout.h"

#include <algorithm>
#include <cstdint>

namespace win {
namespace {

bool TicsBefore(DWORD style) { return (style & TBS_NOTICKS) == 0 && (style & (TBS_TOP | TBS_BOTH)) != 0; }
bool TicsAfter(DWORD style) { return (style & TBS_NOTICKS) == 0 && ((style & TBS_TOP) == 0 || (style & TBS_BOTH) != 0); }

}  // namespace

TrackbarLayout::TrackbarLayout(const TrackbarState& state) : state_(state) {
  vertical_ = (state.style & TBS_VERT) != 0;
  const LONG length = std::max<LONG>(0, vertical_ ? state.height : state.width);
  channelStart_ = kTrackbarChannelInset;
  channelEnd_ = std::max(channelStart_, length - kTrackbarChannelInset);
  state_.thumbLength = std::max<LONG>(0, state.thumbLength);
  breadth_ = state_.thumbLength / 2 + 1;
  thumbCross_ = kTrackbarThumbInset + (TicsBefore(state.style) ? kTrackbarTicLength + 2 : 0);
}

RECT TrackbarLayout::Oriented(LONG axisStart, LONG axisEnd, LONG crossStart, LONG crossEnd) const {
  if (vertical_) return RECT{crossStart, axisStart, crossEnd, axisEnd};
  return RECT{axisStart, crossStart, axisEnd, crossEnd};
}

RECT TrackbarLayout::Channel() const {
  const LONG centre = thumbCross_ + state_.thumbLength / 2;
  const LONG half = kTrackbarChannelThickness / 2;
  return Oriented(channelStart_, channelEnd_, centre - half, centre - half + kTrackbarChannelThickness);
}

LONG TrackbarLayout::PixelOfValue(int value) const {
  const std::int64_t span = static_cast<std::int64_t>(state_.max) - state_.min;
  const LONG usable = UsableLength();
  LONG along = 0;
  if (span > 0 && usable > 0) {
    const std::int64_t v = std::clamp<std::int64_t>(value, state_.min, state_.max) - state_.min;
    along = static_cast<LONG>(v * usable / span);
  }
  return channelStart_ + breadth_ / 2 + along;
}

int TrackbarLayout::ValueAtPixel(LONG pixel) const {
  const std::int64_t span = static_cast<std::int64_t>(state_.max) - state_.min;
  const LONG usable = UsableLength();
  if (span <= 0 || usable <= 0) return state_.min;
  const std::int64_t along = std::clamp<std::int64_t>(pixel - (channelStart_ + breadth_ / 2), 0, usable);
  // The nearest value; when fewer pixels than values share one pixel, the
  // first value drawn there, so a value's own pixel gives it back.
  const std::int64_t nearest = (along * span * 2 + usable) / (2 * static_cast<std::int64_t>(usable));
  const std::int64_t first = (along * span + usable - 1) / usable;
  const std::int64_t v = PixelOfValue(static_cast<int>(state_.min + first)) == pixel ? first : nearest;
  return static_cast<int>(state_.min + std::min(v, span));
}

RECT TrackbarLayout::Thumb() const {
  const LONG lead = PixelOfValue(state_.pos) - breadth_ / 2;
  return Oriented(lead, lead + breadth_, thumbCross_, thumbCross_ + state_.thumbLength);
}

std::vector<int> TrackbarLayout::InnerTicValues() const {
  std::vector<int> values;
  if ((state_.style & TBS_NOTICKS) != 0 || (state_.style & TBS_AUTOTICKS) == 0 || state_.ticFreq <= 0) return values;
  for (std::int64_t v = static_cast<std::int64_t>(state_.min) + state_.ticFreq; v < state_.max; v += state_.ticFreq) {
    values.push_back(static_cast<int>(v));
  }
  return values;
}

std::vector<TrackbarTic> TrackbarLayout::Tics() const {
  std::vector<TrackbarTic> tics;
  if ((state_.style & TBS_NOTICKS) != 0) return tics;
  std::vector<int> values;
  values.push_back(state_.min);
  const std::vector<int> inner = InnerTicValues();
  values.insert(values.end(), inner.begin(), inner.end());
  if (state_.max != state_.min) values.push_back(state_.max);
  const LONG after = thumbCross_ + state_.thumbLength + 1;
  const LONG before = thumbCross_ - 1 - kTrackbarTicLength;
  for (int value : values) {
    const LONG at = PixelOfValue(value);
    if (TicsBefore(state_.style)) tics.push_back({value, Oriented(at, at + 1, before, before + kTrackbarTicLength)});
    if (TicsAfter(state_.style)) tics.push_back({value, Oriented(at, at + 1, after, after + kTrackbarTicLength)});
  }
  return tics;
}

}  // namespace win
