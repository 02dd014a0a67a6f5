// The library set up as the program has it before its ways run, for the
// targets that drive a way's own receive path without its thread: locks,
// trusted addresses, the codec's buffers, the way table, no real pauses.
#pragma once

#include <cstdint>
#include <span>

#include <string>
#include <utility>

#include "fuzz/fuzz_support.h"
#include "net/orv_sok.h"

void SetUpWayLibrary();
// A stream socket pair: the way adopts one end, the target reads what the way
// sends from the other (nothing leaves the process).
struct WaySocketPair {
  WaySocketPair();
  ~WaySocketPair();
  WaySocketPair(const WaySocketPair&) = delete;
  WaySocketPair& operator=(const WaySocketPair&) = delete;
  int wayEnd = -1;  // closed here unless a way adopted it
  int farEnd = -1;
  bool adopted = false;
  // Reads and drops what the way has sent so far.
  void DrainFarEnd() const;
};

// Feeds bytes to the way as its socket would, in pieces of `piece` bytes,
// each followed by the way's receive pass; stops when the way closed the link.
template <typename Way>
void FeedWay(Way& way, std::span<const std::uint8_t> bytes, std::size_t piece, const WaySocketPair& sockets) {
  for (std::size_t at = 0; at < bytes.size() && way.IsConnected(); at += piece) {
    const auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    way.Receive(part);
    sockets.DrainFarEnd();
  }
}

// A way of kind Base served by the target's thread: its socket adopted, its
// receive pass and per-second task called directly, no window, sound or
// session of the program behind it.
template <typename Base>
class FuzzWay : public Base {
 public:
  template <typename... Args>
  explicit FuzzWay(bool sessionOpen, Args&&... args) : Base(std::forward<Args>(args)...), sessionOpen_(sessionOpen) {}

  bool Link(WaySocketPair& sockets) {
    if (Base::InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
      return false;
    }
    sockets.adopted = true;  // the way closes it from here on, also when the adoption fails
    return Base::AdoptAcceptedSocket(sockets.wayEnd) == 0;
  }
  // The same for a call taken on the listening port.
  bool LinkAsCaller(WaySocketPair& sockets) {
    if (Base::InitBuffers(nullptr, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
      return false;
    }
    sockets.adopted = true;
    return Base::AdoptCall(sockets.wayEnd) == 0;
  }
  void Receive(std::span<const std::uint8_t> bytes) {
    FUZZ_CHECK(Base::FillRxBuf(bytes.data(), static_cast<std::uint32_t>(bytes.size())) == RING_OK);
    Base::ProcessReceivedBytes();
    FUZZ_CHECK(Base::RxUsed() == 0 || !Base::IsConnected());
  }
  void OneSecond() { Base::ThreadTaskEachSecond(); }
  using Base::SetLoggedInBits;
  using Base::SetPeerKind;

 protected:
  bool SessionOpen() const override { return sessionOpen_; }
  void PlayInRangeSound() override {}
  std::string PilotCallsign() const override { return "OWN001"; }
  std::string OwnPublicAddress() const override { return "192.0.2.7"; }

 private:
  bool sessionOpen_;
};

