// The live adjustment of one offsets entry, as the offsets dialog's buttons
// make it: fixed steps in each value, and a step along a peer's heading.
#pragma once

#include <cstdint>

#include "core/cross_sim_offsets.h"

// Which size of step the pilot asked for: a plain click, with SHIFT (small)
// or with CTRL (big). SHIFT wins when both are held.
enum class OffsetStepSize { Normal, Small, Big };
OffsetStepSize StepSizeFromKeys(bool shiftHeld, bool ctrlHeld);

enum class OffsetStep {
  AltitudeUp,
  AltitudeDown,
  LatitudePlus,
  LatitudeMinus,
  LongitudePlus,
  LongitudeMinus,
  HeadingRight,
  HeadingLeft,
};

// The size of one step of that kind (always positive).
double OffsetStepAmount(OffsetStep step, OffsetStepSize size);

// +1 when the entry stores the pair with the own family first, -1 when the
// other family is first (its offsets then apply negated), 0 when the entry
// does not name the own family at all.
int OffsetStepSign(const CrossSimOffsetEntry& entry, std::int32_t ownFamily);

// One step of the entry's value, in the direction the pilot sees: the
// heading is held within -180..180, the others within their limits. Nothing
// changes for an entry without the own family. True when the entry changed.
bool ApplyOffsetStep(CrossSimOffsetEntry& entry, std::int32_t ownFamily, OffsetStep step, OffsetStepSize size);

// Below this |cos(heading)| the peer flies east or west: its heading gives no
// usable north-to-east ratio, and the longitude is not stepped.
inline constexpr double kForwardMinCosine = 0.01;

// "Forward" (or back) along a peer's heading in degrees: the latitude offset
// moves by the step, the longitude offset by tan(heading) times the step,
// except near 90 and 270 degrees (or for a heading that is not a number),
// where only the latitude moves. Both stay within their limits. True when
// the entry changed.
bool ApplyForwardStep(CrossSimOffsetEntry& entry, std::int32_t ownFamily, double peerHeadingDegrees, bool back,
                      OffsetStepSize size);

// All four offsets back to 0.
void ClearOffsets(CrossSimOffsetEntry& entry);
