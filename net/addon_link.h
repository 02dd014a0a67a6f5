// What a peer way keeps of the add-on program logged in on it.
#pragma once

#include <array>
#include <cstdint>

#include "net/addon_records.h"

// The way record's flag of a link from this machine or its LAN.
inline constexpr std::uint32_t kWayLocalPeer = 0x20;
// The trace bit of the add-on frames (0x400000).
inline constexpr int kAddonTraceBit = 22;
// The cancel reason of a login without a name.
inline constexpr std::uint32_t kAddonCancelNoName = 0;

struct AddonLinkState {
  std::uint8_t speedKind = kAddonSpeedIndicated;
  std::uint8_t headingKind = kAddonHeadingMagnetic;
  std::array<char, kAddonNameSize> name{};
  std::uint32_t framesReceived = 0;
  bool local = false;
};

// Where an add-on may call from: loopback, a private range, or the unset and
// broadcast addresses; the address kept for loopback is 127.0.0.1.
struct AddonAddressVerdict {
  bool served = false;
  std::uint32_t keptAddress = 0;  // network order
};
AddonAddressVerdict ClassifyAddonAddress(std::uint32_t addressNetOrder);
