// The chat window's geometry: how its controls follow a new size and what a
// drag of its frame may make of it. The rectangles are those remembered when
// the window was made, relative to the window.
#pragma once

#include "win/geometry.h"
#include "win/types.h"

// The output fills the width and the height above the input row; the input
// line stretches along the bottom; everything below the output keeps its
// distance to the bottom, and what lies right of the input line keeps its
// distance to the right edge. `grow` is the window's growth over its
// remembered size, never below the smallest window.
RECT ChatControlRect(int controlId, const RECT& remembered, const RECT& rememberedInput, SIZE grow);

// The rectangle a frame drag gives: a drag of the left or top edge (or a
// corner but the bottom-right one) keeps the remembered size, so the window
// moves instead of growing; any other drag keeps at least 250 x 114.
RECT ChatSizingRect(WPARAM edge, const RECT& proposed, SIZE remembered);
