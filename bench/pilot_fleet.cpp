#include "bench/pilot_fleet.h"

#include <chrono>
#include <cstdio>

#include "net/frame_codes.h"

namespace {
constexpr auto kHeartbeatEvery = std::chrono::seconds(30);
}  // namespace

PilotPeerScript FleetScript(std::size_t k) {
  PilotPeerScript script;
  char callsign[16];
  std::snprintf(callsign, sizeof callsign, "FLEET%02zu", k + 1);
  script.callsign = callsign;
  script.login = "fleet" + std::to_string(k + 1);
  script.simulatorCode = 9000;
  script.centreLatitude = 49.0 + 0.002 * static_cast<double>(k);
  script.centreLongitude = 2.55 + 0.003 * static_cast<double>(k);
  script.altitudeFeet = 2000.0 + 100.0 * static_cast<double>(k);
  script.answerLogin = false;
  return script;
}

PilotFleet::~PilotFleet() {
  StopSending();
  for (auto& peer : peers_) peer->Close();
}

bool PilotFleet::LogIn(std::uint16_t port, std::size_t count, int timeoutMs) {
  for (std::size_t k = 0; k < count; ++k) {
    peers_.push_back(std::make_unique<PilotPeer>(FleetScript(k)));
    sequences_.push_back(0);
    if (!peers_.back()->Connect(port)) return false;
  }
  for (auto& peer : peers_) {
    if (!peer->SendLogin()) return false;
  }
  for (auto& peer : peers_) {
    if (!peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, timeoutMs)) return false;
  }
  return true;
}

std::size_t PilotFleet::Linked() const {
  std::size_t n = 0;
  for (const auto& peer : peers_) n += peer->Linked() ? 1 : 0;
  return n;
}

void PilotFleet::StartSending(int intervalMs) {
  StopSending();
  sending_ = true;
  sender_ = std::thread([this, intervalMs] {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto lastHeartbeat = start;
    // Rounds on a fixed schedule, so that a late round does not slow the rate.
    auto next = start;
    while (sending_.load()) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      for (std::size_t k = 0; k < peers_.size(); ++k) {
        if (peers_[k]->SendPositionAt(seconds, NextSequence(k))) ++recordsSent_;
      }
      if (Clock::now() - lastHeartbeat >= kHeartbeatEvery) {
        for (auto& peer : peers_) peer->SendHeartbeat();
        lastHeartbeat = Clock::now();
      }
      next += std::chrono::milliseconds(intervalMs);
      std::this_thread::sleep_until(next);
    }
  });
}

void PilotFleet::StopSending() {
  sending_ = false;
  if (sender_.joinable()) sender_.join();
}

void PilotFleet::LogOut() {
  StopSending();
  for (auto& peer : peers_) peer->SendLogout();
}
