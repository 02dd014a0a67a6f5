// The pilot ways as the cross-simulator offsets see them: told when the
// offsets change, and asked for a linked pilot of a simulator family.
#pragma once

#include <cstdint>
#include <optional>

// THRDMSG_SIMPILOT sub-code: the offsets changed, take the pair's values again.
inline constexpr std::uint32_t kSimPilotOffsetsChanged = 85;

// Posts the sub-code to every pilot way whose link is up; the number posted.
int NotifyPeersOffsetsChanged();

// The heading (degrees) of the first pilot way, from way 0 on, whose link is
// up and whose simulator family is `family`; nothing when there is none.
std::optional<double> FirstLinkedPilotHeading(std::int32_t family);
