// Trusted peer addresses, and the rule that private networks and loopback are always trusted.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// 1 for 127.0.0.1, 2 for 10/8, 3 for 172.16/12, 4 for 192.168/16 (the last address of each
// range excluded), else 0. The address is in network byte order.
int ClassifyPrivateAddress(std::uint32_t addressNetOrder);
inline int ClassifyPeerAddress(std::uint32_t addressNetOrder) { return ClassifyPrivateAddress(addressNetOrder); }

int IsTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second);
// Adds a dotted IPv4 text; anything that is not strictly four decimal parts is ignored.
void AddTrustedAddressText(const char* dottedText);
void AddTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second);
int RemoveTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second);
void ClearTrustedAddresses();
void DumpTrustedAddresses();

// Called by the library's start and stop.
bool AllocTrustedAddresses(std::uint32_t size);
void FreeTrustedAddresses();
// A copy of the slots, front first (tests and dumps).
std::vector<std::pair<std::uint32_t, std::uint32_t>> TrustedAddressSlots();
