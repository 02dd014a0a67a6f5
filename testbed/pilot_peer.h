// A scripted pilot at the far end of a pilot link: it calls a client's
// listening port or is called by it, logs in either way round, flies a
// scripted circuit (in the 48-byte or the 60-byte position layout), sends
// heartbeats, visibility and radio changes, and can cancel, log out, go out
// of range or drop the link. It records every frame it receives and answers
// the login exchange and latency probes by itself when told to.
#pragma once

#include <array>
#include <memory>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "net/frame_hunter.h"
#include "net/pilot_records.h"
#include "net/position_records.h"
#include "testbed/non_reading_peer.h"
#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

struct PilotPeerScript {
  std::string callsign = "DEMO02";
  std::string login = "demo2";
  std::string serverName = "NODE-1";
  std::string firstName = "Ada";
  std::string lastName = "Pilot";
  std::uint8_t tokenByte = 3;
  std::int32_t simulatorCode = 9000;
  std::string title = "Cessna Skyhawk 172SP";
  std::string icaoType = "C172";
  std::string classCode = "L1P";
  std::string com1 = "122.800";
  std::string com2 = "121.500";
  std::uint8_t radioSelection = kPilotRadioCom1;
  bool specialObserver = false;
  // The circuit: a circle around the centre, flown at a constant height.
  double centreLatitude = 45.0;
  double centreLongitude = 7.0;
  double radiusDegrees = 0.02;
  double altitudeFeet = 3000.0;
  double secondsPerCircuit = 120.0;
  // The layout of the position records: 48 bytes (true) or 60 bytes.
  bool newerLayout = true;
  // Answers by itself: a login with the acknowledgement and the admission, an
  // acknowledgement with the admission, a latency probe with its echo.
  bool answerLogin = true;
  bool answerAdded = true;
  bool answerEcho = true;
  // A call it makes has the least receive buffer the system allows, so that
  // once it stops reading the client's sends soon cannot move a byte.
  bool smallReceiveBuffer = false;
};

struct ScriptedFix {
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double heading = 0.0;
  double groundSpeedKnots = 0.0;
};

class PilotPeer {
 public:
  static constexpr int kSendTimeoutMs = 5000;
  static constexpr std::size_t kMaxRecordedFrames = 100000;

  explicit PilotPeer(PilotPeerScript script = {});
  ~PilotPeer();
  PilotPeer(const PilotPeer&) = delete;
  PilotPeer& operator=(const PilotPeer&) = delete;

  const PilotPeerScript& Script() const { return script_; }

  // Calls 127.0.0.1:port (a client's listening port).
  bool Connect(std::uint16_t port);
  // Listens for the client's call (after a node order); the port, 0 when none.
  std::uint16_t Listen(std::uint16_t port = 0);
  bool WaitForCall(int timeoutMs);
  bool Linked() const;

  // ---- Frames towards the client ----
  bool SendLogin();
  bool SendLoginAck();
  bool SendPeerAdded();
  bool SendHeartbeat();
  bool SendVisible(bool visible);
  bool SendRadios(const std::string& com1, const std::string& com2, std::uint8_t selection);
  // Chat texts, sent as the script's callsign: on air on a frequency, or
  // privately (marker 1 asks for the upper-case tag).
  bool SendTextOnAir(const std::string& text, double frequencyMhz);
  bool SendPrivateText(const std::string& recipient, const std::string& text, std::uint8_t marker = 0);
  bool SendCancel(std::uint32_t reason);
  bool SendLogout(const std::string& callsign = {});      // the own callsign unless one is given
  bool SendOutOfRange(const std::string& callsign = {});
  bool SendLatencyRequest();
  bool SendRequestPlaneParams();
  // The circuit's position at that many seconds, in the script's layout.
  bool SendPositionAt(double seconds, std::uint32_t sequence);
  bool SendPacket(std::uint8_t subCode, std::span<const std::uint8_t> body);
  bool SendHeaderOnly(std::uint8_t subCode);
  bool SendRaw(std::span<const std::uint8_t> bytes);
  // Resets the link (linger 0), or closes it in order.
  void Drop();
  void Close();
  // Reads nothing more, the link left open; what it received stays recorded.
  void StopReading();
  // Once it stopped reading: waits, still reading nothing, for the client to end the link.
  NonReadingPeer::End WaitForUnreadEnd(int timeoutMs) const;

  ScriptedFix FixAt(double seconds) const;
  // The login this peer sends (so that tests can compare what the client keeps).
  PilotLoginRecord LoginRecordToSend() const;

  // ---- What it received ----
  std::vector<Frame> Frames() const;
  std::size_t CountOf(std::uint8_t subCode) const;
  bool WaitForCountOf(std::uint8_t subCode, std::size_t count, int timeoutMs) const;
  // The last login or acknowledgement received, unpacked.
  std::optional<LoginRecordBytes> LastLoginReceived() const;
  bool PeerClosed() const;
  bool WaitForClose(int timeoutMs) const;

 private:
  void StartReader();
  void ReadLoop();
  void Take(const Frame& frame);
  bool SendFrameBytes(const std::vector<std::uint8_t>& bytes);
  void StopReader();

  PilotPeerScript script_;
  std::unique_ptr<TcpListener> listener_;
  WakeEvent stop_;
  mutable std::mutex sendMutex_;
  SOCKET socket_ = INVALID_SOCKET;
  std::thread reader_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Frame> frames_;
  std::array<std::size_t, 256> counts_{};
  std::optional<LoginRecordBytes> lastLogin_;
  bool closed_ = false;
  // The reader was stopped with the link up: its end says nothing of the link.
  bool readingStopped_ = false;
};

// One line describing a received frame, for the program's log.
std::string DescribePilotFrame(const Frame& frame);
