// Scripted pilot peers for the traffic benchmark, in this process: they call
// the client's listening port and log in at once, then stay quiet or each send
// his circuit's position records at a steady interval from one sender thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "testbed/pilot_peer.h"

class PilotFleet {
 public:
  PilotFleet() = default;
  ~PilotFleet();
  PilotFleet(const PilotFleet&) = delete;
  PilotFleet& operator=(const PilotFleet&) = delete;

  // `count` peers call 127.0.0.1:port and log in; true once every one has
  // been admitted (the client's NCSUB_PEER_ADDED), within the time.
  bool LogIn(std::uint16_t port, std::size_t count, int timeoutMs);
  std::size_t Size() const { return peers_.size(); }
  PilotPeer& Peer(std::size_t k) { return *peers_[k]; }
  // The next sequence number of a peer's position records.
  std::uint32_t NextSequence(std::size_t k) { return ++sequences_[k]; }
  std::size_t Linked() const;

  // Every peer sends one position record per interval (all in one round),
  // until StopSending; a heartbeat each 30 s either way.
  void StartSending(int intervalMs);
  void StopSending();
  std::uint64_t RecordsSent() const { return recordsSent_.load(); }

  void LogOut();

 private:
  std::vector<std::unique_ptr<PilotPeer>> peers_;
  std::vector<std::uint32_t> sequences_;
  std::thread sender_;
  std::atomic<bool> sending_{false};
  std::atomic<std::uint64_t> recordsSent_{0};
};

// The script of peer k: a callsign of its own and a small circuit of its own
// near the demo's flight (so that none is out of range).
PilotPeerScript FleetScript(std::size_t k);
