#include "base/trusted_addresses.h"

#include <arpa/inet.h>

#include <algorithm>
#include <new>

#include "base/klib_locks.h"
#include "base/klib_trace.h"
#include "base/klib_settings.h"
#include "win/winsock.h"

namespace {
using Pair = std::pair<std::uint32_t, std::uint32_t>;
constexpr Pair kEmpty{0, 0};

// Never destroyed: a late way thread may still check an address.
std::vector<Pair>& Slots() {
  static auto* slots = new std::vector<Pair>();
  return *slots;
}

bool InRange(std::uint32_t host, std::uint32_t first, std::uint32_t lastExcluded) {
  return host >= first && host < lastExcluded;
}

bool StoredByRule(std::uint32_t address, std::uint32_t second) {
  return (address == 0 && second == 0) || ClassifyPrivateAddress(address) != 0;
}
}  // namespace

int ClassifyPrivateAddress(std::uint32_t addressNetOrder) {
  const std::uint32_t host = ntohl(addressNetOrder);
  if (host == 0x7F000001u) return 1;
  if (InRange(host, 0x0A000000u, 0x0AFFFFFFu)) return 2;
  if (InRange(host, 0xAC100000u, 0xAC1FFFFFu)) return 3;
  if (InRange(host, 0xC0A80000u, 0xC0A8FFFFu)) return 4;
  return 0;
}

int IsTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second) {
  if (addressNetOrder == 0 && second == 0) return 0;
  if (ClassifyPrivateAddress(addressNetOrder) != 0) return 1;
  KlibLockGuard guard(KlibLockId::TrustedList);
  const auto& slots = Slots();
  return std::find(slots.begin(), slots.end(), Pair{addressNetOrder, second}) != slots.end() ? 1 : 0;
}

void AddTrustedAddressText(const char* dottedText) {
  std::uint32_t address = 0;
  if (dottedText == nullptr || !ParseDottedIPv4Strict(dottedText, &address)) return;
  AddTrustedAddress(address, 0);
}

void AddTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second) {
  if (StoredByRule(addressNetOrder, second)) return;
  KlibLockGuard guard(KlibLockId::TrustedList);
  auto& slots = Slots();
  if (slots.empty()) return;
  const Pair pair{addressNetOrder, second};
  for (const Pair& slot : slots) {
    if (slot == kEmpty) break;
    if (slot == pair) return;
  }
  std::move_backward(slots.begin(), slots.end() - 1, slots.end());
  slots.front() = pair;
}

int RemoveTrustedAddress(std::uint32_t addressNetOrder, std::uint32_t second) {
  if (StoredByRule(addressNetOrder, second)) return 0;
  KlibLockGuard guard(KlibLockId::TrustedList);
  auto& slots = Slots();
  auto found = std::find(slots.begin(), slots.end(), Pair{addressNetOrder, second});
  if (found == slots.end()) return 0;
  std::move(found + 1, slots.end(), found);
  slots.back() = kEmpty;
  return 1;
}

void ClearTrustedAddresses() {
  KlibLockGuard guard(KlibLockId::TrustedList);
  std::fill(Slots().begin(), Slots().end(), kEmpty);
}

void DumpTrustedAddresses() {
  const auto slots = TrustedAddressSlots();
  const COLORREF colour = Klib().Colour(kColourNormal);
  if (slots.empty() || slots.front() == kEmpty) {
    KlibMainTraceLine(colour, " None.");
    return;
  }
  std::size_t examined = 0;
  for (const Pair& slot : slots) {
    ++examined;
    if (slot == kEmpty) break;
    KlibMainTraceLine(colour, "[%zu] %s", examined - 1, FormatDottedIPv4(slot.first).c_str());
  }
  KlibMainTraceLine(colour, "\r\n[%zu] %s-", examined, FormatDottedIPv4(0).c_str());
}

bool AllocTrustedAddresses(std::uint32_t size) {
  KlibLockGuard guard(KlibLockId::TrustedList);
  try {
    Slots().assign(size, kEmpty);
  } catch (const std::bad_alloc&) {
    Slots().clear();
    return false;
  }
  return true;
}

void FreeTrustedAddresses() {
  KlibLockGuard guard(KlibLockId::TrustedList);
  std::vector<Pair>().swap(Slots());
}

std::vector<Pair> TrustedAddressSlots() {
  KlibLockGuard guard(KlibLockId::TrustedList);
  return Slots();
}
