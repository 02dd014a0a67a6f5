// The node way: the client's one link to the network's server side. It
// connects to a hub and logs in, keeps the link alive, sends the own reports,
// flight plan, long-haul texts and voice towards the node, and obeys the
// node's orders (neighbour and tunnel links, trusted addresses, server texts,
// shutdown). When the link drops it announces the loss and arms the countdown
// after which the main dialog fetches a fresh hub list and connects again.
//
// Everything here runs on the way's own thread; other threads post it
// messages (way_ids.h). Every effect on the program's windows goes through a
// virtual hook whose default acts on the program, so that tests can record it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "net/node_records.h"
#include "net/node_trace.h"
#include "net/orv_sok.h"
#include "net/own_aircraft_report.h"
#include "net/text_records.h"

inline constexpr char kNodeWayName[] = "g_porvNode";
// Without an acknowledgement the link is closed after this.
inline constexpr std::uint16_t kLoginAckWaitSeconds = 50;
inline constexpr std::uint16_t kHubListRetrySeconds = 65;
inline constexpr DWORD kNodeLogoutSettleMs = 500;
inline constexpr DWORD kDisconnectionNoticePauseMs = 2'000;
inline constexpr DWORD kVoiceBlockFailurePauseMs = 5'000;
// Played on a lost link when sounds are on.
inline constexpr char kDisconnectionSound[] = "NOTIFY.WAV";
// The main dialog's field that shows "-- --" while off line.
inline constexpr int kNodeStatusFieldId = 7106;

class CNodeWay : public COrvSok {
 public:
  explicit CNodeWay(void* ownerSlot, const char* name = kNodeWayName);
  ~CNodeWay() override;

  // Buffers and the thread: true when it runs.
  bool StartWay(DWORD queueSize = 0);

  // Way thread: writes one frame towards the node (Algorithms of the send
  // table). `data` is the raw block of type 108; `word` is the answer of
  // NCSMSG_STANDARD 57 and the item mask of NCSUB_PILOT_CHANGES. 1 written
  // into the send ring, 0 the link is down or there was nothing to send,
  // negative: refused (unknown type or sub-code) or the codec failed.
  std::int32_t SendToNode(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> data = {},
                          std::uint32_t word = 0);

  // Read from any thread.
  bool LoginAccepted() const { return loginAccepted_.load(std::memory_order_acquire); }
  bool ConnectInProgress() const { return connectInProgress_.load(std::memory_order_acquire); }
  std::uint16_t HubPort() const { return hubPort_.load(std::memory_order_acquire); }
  std::uint8_t ServerToken() const { return serverToken_.load(std::memory_order_acquire); }
  std::uint32_t InCockpitSeconds() const { return inCockpitSeconds_.load(std::memory_order_acquire); }
  std::string CurrentHubAddress() const;
  std::string HubEntryText() const;
  std::string ServerName() const;
  std::string FirstName() const;
  std::string LastName() const;
  // The last NCSMSG_STANDARD 56 record, which the main dialog shows.
  ServerTextRecord ServerMessage() const;

 protected:
  DWORD HandleNodeMessage(const DMessage& message) override;
  // The types that only the node way obeys (the login gate and the types any
  // way serves are the connection object's).
  DWORD HandleNodeOrder(const Frame& frame) override;

  // ---- Hooks: the defaults act on the program ----
  // (The lines it prints, protocol errors and the text formatting are the
  // connection object's hooks.)
  // The main dialog's delayed events; dropped while there is no dialog.
  virtual void PostUiEvent(std::uint32_t code);
  // The own aircraft as it stands now (position and nearest airport included).
  virtual OwnAircraftReport OwnAircraftForNode() const;
  // The current flight-plan record, as it stands (the program's one plan by default).
  virtual std::optional<FlightPlanRecordBytes> FlightPlanForNode() const;
  virtual void SearchNearestAirport();
  virtual void SetConnectionState(int state);
  virtual void ShowNodeCountdown(std::uint32_t seconds);
  virtual void ShowMainWindow();
  virtual void ShowChat();
  virtual void EnableChat(bool enable);
  virtual void CloseMainWindow();
  virtual void LeaveQuietly();
  virtual void Beep();
  virtual void PlayDisconnectionSound();
  virtual void SetMainDialogText(int controlId, const char* text);
  virtual void DisplayLongHaulText(const PrivateTextRecord& record);
  // The default hands the frame to the voice system's registered player.
  virtual void PlayReceivedVoice(std::span<const std::uint8_t> frame);
  // The way object of a peer way, null when none exists.
  virtual COrvSok* PeerWayFor(std::int32_t way) const;

 private:
  // ---- Messages (node_way.cpp) ----
  void ConnectAndLogin();
  std::string ChooseHost(const std::string& entry, bool& looping, const char*& label) const;
  void TraceProgress(const char* text);
  void Disconnection(const DMessage& message);
  void Cancel();
  void Logout();
  void SendRawBlock(const DMessage& message);

  // ---- Sending (node_way_send.cpp) ----
  LoginRecord BuildLoginRecord() const;
  IdentityBlock BuildIdentity() const;
  std::int32_t SendPlain(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> body);
  std::int32_t SendPacked(std::uint8_t type, std::uint8_t subCode, std::span<const std::uint8_t> record);
  std::int32_t SendPilot(std::uint8_t subCode, std::uint32_t mask);
  std::int32_t SendFlightPlan();
  // The record the message carried (552 bytes), else the last request written.
  std::int32_t SendLongHaul(std::span<const std::uint8_t> data);
  std::int32_t SendKickout(std::span<const std::uint8_t> data);
  std::int32_t RefuseSend(int code, std::uint8_t type, std::uint8_t subCode);

  // ---- Frames (node_way_frames.cpp) ----
  DWORD TakeLoginAck(const Frame& frame);
  void TraceAccepted(const LoginAckRecord& ack);
  DWORD Standard(const Frame& frame);
  DWORD InCockpit(const Frame& frame);
  DWORD TakeLongHaulText(const Frame& frame);
  DWORD VoiceBlock(const Frame& frame);
  // Unpacks a compressed record; a failure is traced and, for a cut body, closes the link.
  bool UnpackBody(const Frame& frame, std::span<std::uint8_t> record);

  // ---- Orders (node_way_orders.cpp) ----
  DWORD ConnectNeighbourOrder(const Frame& frame);
  DWORD TunnelOrder(const Frame& frame);
  DWORD TrustedAddressOrder(const Frame& frame);

  void NotifyTrace(const char* tag);

  mutable std::mutex mutex_;
  std::string hubEntry_;
  std::string currentHub_;
  std::string serverName_;
  std::string firstName_;
  std::string lastName_;
  ServerTextRecord serverMessage_;
  std::atomic<bool> loginAccepted_{false};
  std::atomic<bool> connectInProgress_{false};
  std::atomic<std::uint16_t> hubPort_{0};
  std::atomic<std::uint8_t> serverToken_{0};
  std::atomic<std::uint32_t> inCockpitSeconds_{0};
};
