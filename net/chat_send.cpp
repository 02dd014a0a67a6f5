#include "net/chat_send.h"

#include <array>
#include <string>

#include "base/base_thread.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "core/own_callsign.h"
#include "net/long_haul.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "win/ascii_case.h"

namespace {

CBaseThread* Sender() { return Klib().mainThread; }

template <std::size_t N>
std::int32_t PostRecord(CBaseThread* target, std::uint32_t id, const std::array<std::uint8_t, N>& record,
                        const char* tag) {
  return CBaseThread::PostData(Sender(), target, id, 0, static_cast<std::uint32_t>(record.size()), record.data(),
                               tag);
}

}  // namespace

TextOnAirRecordBytes OnAirPayload(double frequencyMhz, std::string_view text) {
  TextOnAirRecord record;
  record.text = std::string(text);
  record.frequencyMhz = frequencyMhz;
  return WriteTextOnAirRecord(record);
}

PrivateTextRecordBytes PrivatePayload(std::string_view sender, std::string_view recipient, std::string_view text) {
  PrivateTextRecord record;
  record.sender = std::string(sender);
  record.recipient = std::string(recipient);
  record.text = std::string(text);
  return WritePrivateTextRecord(record);
}

namespace {
// The caller holds WayTableLock.
std::int32_t LookupLockedNoCase(std::string_view name) {
  if (name.empty()) return -1;
  const WayTableArray& table = WayTable();
  // Free records hold an empty callsign, which never equals a non-empty name.
  for (std::int32_t way = 0; way < kPeerWayCount; ++way) {
    if (AsciiEqualNoCase(FieldText(table[static_cast<std::size_t>(way)].callsign), name)) return way;
  }
  return -2;
}
}  // namespace

std::int32_t LookupWayByCallsignNoCase(std::string_view name) {
  WayTableGuard guard;
  return LookupLockedNoCase(name);
}

int SendTextOnAir(double frequencyMhz, std::string_view text) {
  const TextOnAirRecordBytes payload = OnAirPayload(frequencyMhz, text);
  std::array<COrvSok*, kPeerWayCount> targets{};
  std::size_t count = 0;
  {
    WayTableGuard guard;
    for (WayRecord& record : WayTable()) {
      if ((record.stateFlags & kWayAllocated) == 0 || record.way == nullptr || !record.way->IsConnected()) continue;
      if (record.peerKind != 'A' && record.peerKind != 'P') continue;
      CopyToField(record.outgoingText, text);
      record.onAirFrequencyMhz = frequencyMhz;
      targets[count++] = record.way;
    }
  }
  // A post waits while the way's queue is full: never with the table held.
  int posted = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (PostRecord(targets[i], THRDMSG_TEXT_ON_AIR, payload, "PZGN1023") == 1) ++posted;
  }
  return posted;
}

PrivateRoute SendPrivateText(std::string_view callsign, std::string_view text) {
  if (callsign.empty() || text.empty()) return PrivateRoute::kNone;
  COrvSok* way = nullptr;
  {
    // Found and written in one hold: the record cannot change hands between.
    // The way checks the recipient again before it writes the frame, as it
    // may be handed to another peer while the message waits in its queue.
    WayTableGuard guard;
    if (WayRecord* record = PeerWayRecord(LookupLockedNoCase(callsign)); record != nullptr) {
      if (record->way == nullptr) return PrivateRoute::kNone;
      CopyToField(record->outgoingText, text);
      CopyToField(record->privateTextCallsign, callsign);
      way = record->way;
    } else {
      SetLongHaulText(callsign, text);
    }
  }
  if (way != nullptr) {
    PostRecord(way, THRDMSG_TEXT_PRIVATE, PrivatePayload({}, callsign, text), "PZGN1021");
    return PrivateRoute::kWay;
  }
  CNodeWay* node = NodeWayObject();
  if (node == nullptr) return PrivateRoute::kNone;
  PostRecord(node, THRDMSG_TEXT_LONGHAUL, PrivatePayload({}, callsign, text), "PZGN1022");
  return PrivateRoute::kLongHaul;
}

bool SendKickout(std::string_view callsign, std::string_view reason) {
  if (callsign.empty() || reason.empty()) return false;
  PrivateTextRecord request;
  request.sender = OwnCallsign();
  request.recipient = std::string(callsign);
  request.text = std::string(reason);
  // Cut to the record's fields as the node will see it.
  request = ReadPrivateTextRecord(WritePrivateTextRecord(request));
  SetKickoutRecord(request);
  CNodeWay* node = NodeWayObject();
  if (node == nullptr || !node->IsConnected()) return false;
  return PostRecord(node, THRDMSG_KICKOUT, WritePrivateTextRecord(request), "PZGN1020") == 1;
}
