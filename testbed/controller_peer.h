// A scripted air-traffic controller at the far end of a controller link: it
// calls a client's listening port or is called by it, logs in with its
// 856-byte record (or answers the client's login with it), sends flight
// strips, an amended plan, ATIS, weather, a rate change and hand-offs, and
// leaves. It records every frame it receives.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "net/controller_records.h"
#include "net/frame_hunter.h"
#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

struct ControllerPeerScript {
  std::string callsign = "LFPG_TWR";
  std::string login = "atc1";
  std::string serverName = "NODE-1";
  std::string firstName = "Bea";
  std::string lastName = "Tower";
  std::uint8_t rating = 4;  // the identity's token byte
  std::uint16_t frequencyMhz = 118;
  std::uint16_t frequencyKhz = 250;
  std::uint16_t rangeNm = 40;
  std::uint32_t transitionAltitudeFeet = 5'000;
  std::string atis = "Information A, runway 27, wind 270/10";
  std::string secondText = "Paris Tower";
  // Answers the client's login with its acknowledgement by itself.
  bool answerLogin = true;
};

class ControllerPeer {
 public:
  static constexpr int kSendTimeoutMs = 5000;
  static constexpr std::size_t kMaxRecordedFrames = 100000;

  explicit ControllerPeer(ControllerPeerScript script = {});
  ~ControllerPeer();
  ControllerPeer(const ControllerPeer&) = delete;
  ControllerPeer& operator=(const ControllerPeer&) = delete;

  const ControllerPeerScript& Script() const { return script_; }

  bool Connect(std::uint16_t port);
  std::uint16_t Listen(std::uint16_t port = 0);
  bool WaitForCall(int timeoutMs);

  // ---- Frames towards the client ----
  AtcLoginRecord LoginRecordToSend() const;
  bool SendLogin();
  bool SendLoginAck();
  bool SendLoginRecord(std::uint8_t subCode, const AtcLoginRecord& record);
  bool SendHeartbeat();
  bool SendStartTunnel();
  bool SendStrip(const FlightStrip& strip);
  bool SendAmendedPlan(const AmendedFlightPlan& packet);
  bool SendAtis(const std::string& text, const std::string& controller = {});
  bool SendWeather(const std::string& icao, const std::string& metar, const std::string& controller = {});
  bool SendRate(std::uint16_t divider, const std::string& controller = {});
  // The hand-off packed as a record of `announcedSize` bytes (40 or 120 as
  // the senders do, or any other for tests).
  bool SendHandOff(const std::string& next, std::size_t announcedSize = kHandOffMinSize,
                   const std::string& from = {});
  bool SendLogout(const std::string& callsign = {});
  bool SendOutOfRange(const std::string& callsign = {});
  // A record packed as it comes (any size), under the given sub-code.
  bool SendPacked(std::uint8_t subCode, std::span<const std::uint8_t> record);
  bool SendPlain(std::uint8_t subCode, std::span<const std::uint8_t> body);
  void Drop();
  void Close();

  // ---- What it received ----
  std::vector<Frame> Frames() const;
  std::size_t CountOf(std::uint8_t subCode) const;
  bool WaitForCountOf(std::uint8_t subCode, std::size_t count, int timeoutMs) const;
  // The last frame of that sub-code, its body unpacked when it came packed.
  std::optional<std::vector<std::uint8_t>> LastRecord(std::uint8_t subCode) const;
  bool WaitForClose(int timeoutMs) const;

 private:
  void StartReader();
  void ReadLoop();
  void Take(const Frame& frame);
  bool SendFrameBytes(const std::vector<std::uint8_t>& bytes);
  void StopReader();

  ControllerPeerScript script_;
  std::unique_ptr<TcpListener> listener_;
  WakeEvent stop_;
  mutable std::mutex sendMutex_;
  SOCKET socket_ = INVALID_SOCKET;
  std::thread reader_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Frame> frames_;
  std::array<std::size_t, 256> counts_{};
  std::array<std::optional<std::vector<std::uint8_t>>, 256> last_{};
  bool closed_ = false;
};

// Unpacks a compressed record body of whatever size it announces (at most 64 KB).
std::optional<std::vector<std::uint8_t>> UnpackAnySize(std::span<const std::uint8_t> body);
// One line describing a received frame, for the program's log.
std::string DescribeControllerFrame(const Frame& frame);
