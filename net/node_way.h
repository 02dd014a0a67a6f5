// The node way: the client's one link to the network's server side. This
// first slice connects to the hub, logs in, reads the acknowledgement and
// keeps the link alive with heartbeats.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/node_records.h"
#include "net/orv_sok.h"

inline constexpr char kNodeWayName[] = "g_porvNode";
// Without an acknowledgement the link is closed after this.
inline constexpr std::uint16_t kLoginAckWaitSeconds = 50;
inline constexpr std::uint16_t kHubListRetrySeconds = 65;
inline constexpr DWORD kNodeShortPauseMs = 100;

class CNodeWay : public COrvSok {
 public:
  explicit CNodeWay(void* ownerSlot, const char* name = kNodeWayName);
  ~CNodeWay() override;

  // Buffers and the thread: true when it runs.
  bool StartWay(DWORD queueSize = 0);

  // Any thread: the login the next connect sends (its token byte is replaced
  // by the one the last acknowledgement carried).
  void SetLoginRecord(const LoginRecord& record);

  // Read from any thread.
  bool LoginAccepted() const { return loginAccepted_.load(std::memory_order_acquire); }
  bool ConnectInProgress() const { return connectInProgress_.load(std::memory_order_acquire); }
  std::uint16_t HubPort() const { return hubPort_.load(std::memory_order_acquire); }
  std::uint8_t ServerToken() const { return serverToken_.load(std::memory_order_acquire); }
  std::string CurrentHubAddress() const;
  std::string ServerName() const;
  std::string FirstName() const;
  std::string LastName() const;
  // The last server message (NCSMSG_STANDARD 56) the node sent.
  ServerTextRecord ServerMessage() const;

 protected:
  DWORD HandleNodeMessage(const DMessage& message) override;
  DWORD HandleNodeFrame(const Frame& frame) override;
  std::string OwnPublicAddress() const override;

  // Every line the way prints passes here (colour: a trace colour field 17..29).
  virtual void NodeTrace(int colourField, bool newLine, const char* text);
  // The main dialog's events; dropped while there is no dialog.
  virtual void PostUiEvent(std::uint32_t code);

 private:
  void ConnectAndLogin();
  void SendLogin();
  void SendHeartbeat();
  DWORD TakeLoginAck(const Frame& frame);
  void TraceAccepted(const LoginAckRecord& ack);
  void NodeTracef(int colourField, bool newLine, const char* format, ...) __attribute__((format(printf, 4, 5)));

  mutable std::mutex mutex_;
  LoginRecord login_;
  std::string currentHub_;
  std::string serverName_;
  std::string firstName_;
  std::string lastName_;
  ServerTextRecord serverMessage_;
  std::atomic<bool> loginAccepted_{false};
  std::atomic<bool> connectInProgress_{false};
  std::atomic<std::uint16_t> hubPort_{0};
  std::atomic<std::uint8_t> serverToken_{0};
};
