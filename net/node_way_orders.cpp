// The node's orders: open a direct or tunnelled link to a neighbour (a free
// peer way does the connect, given the node's block as its message payload),
// trust or distrust an address.
#include "base/trusted_addresses.h"
#include "net/node_way.h"
#include "net/way_record.h"

namespace {
bool KnownPeerKind(char kind) { return kind == 'P' || kind == 'A'; }
}  // namespace

DWORD CNodeWay::ConnectNeighbourOrder(const Frame& frame) {
  if (!BodyHolds(frame, kNeighbourLinkRecordSize)) return 0;
  const std::span<const std::uint8_t> block = std::span<const std::uint8_t>(frame.body).first(kNeighbourLinkRecordSize);
  // Port 0 is read all the same: a tunnelled neighbour is reached on the node's port.
  NeighbourLinkRecord link;
  ReadNeighbourLinkRecord(block, link);
  if (!KnownPeerKind(link.peerKind)) {
    NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_4240 : %s ", kNodeLogTag, Name(),
               link.callsign.c_str());
    return 0;
  }
  std::int32_t way = -1;
  COrvSok* object = nullptr;
  {
    WayTableGuard guard;
    // A callsign that has a way already is that way's business: nothing opens.
    if (LookupWayByCallsign(link.callsign) >= 0) return 1;
    way = AllocatePeerWay(link.callsign.c_str());
    if (way >= 0) object = PeerWayFor(way);
  }
  if (way < 0) {
    NodeTrace(kColourError, kNodeNewLine, "No sockets available to connect a neighbor ! ");
    return 1;
  }
  // Posted after the lock is left: a post may wait for room in the way's queue.
  const bool handed = object != nullptr &&
                      PostData(this, object, THRDMSG_CONNECT_NEIGHBOUR, 0, static_cast<std::uint32_t>(block.size()),
                               block.data(), "PZGN1011") == 1;
  // A way that cannot be told to connect is not left allocated.
  if (!handed) ClearWayRecord(way, "PZGN1011");
  return 1;
}

DWORD CNodeWay::TunnelOrder(const Frame& frame) {
  if (!BodyHolds(frame, kTunnelRequestRecordSize)) return 0;
  const std::span<const std::uint8_t> block = std::span<const std::uint8_t>(frame.body).first(kTunnelRequestRecordSize);
  TunnelRequestRecord request;
  ReadTunnelRequestRecord(block, request);
  std::int32_t way = -1;
  COrvSok* object = nullptr;
  {
    WayTableGuard guard;
    if (const std::int32_t tunnel = LookupWayByPeerName(request.requesterName); tunnel >= 0) {
      NodeTracef(kColourEmphasis, kNodeNewLine, "%s %s Already Tunnel for %s way %d ", kNodeLogTag, Name(),
                 request.requesterName.c_str(), static_cast<int>(tunnel));
      return 0;
    }
    if (!KnownPeerKind(request.peerKind)) {
      NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_4270 : %s ", kNodeLogTag, Name(),
                 request.requesterName.c_str());
      return 0;
    }
    // The peer's callsign names another way already: that way is not the tunnel's.
    if (LookupWayByCallsign(request.peerCallsign) >= 0) return 1;
    way = AllocatePeerWay(nullptr);
    if (way >= 0) {
      CopyToField(WayTable()[static_cast<std::size_t>(way)].tunnelPeerName, request.requesterName);
      object = PeerWayFor(way);
    }
  }
  if (way < 0) {
    NodeTrace(kColourError, kNodeNewLine, "No sockets available to connect a tunneled neighbor ! ");
    return 1;
  }
  const bool handed = object != nullptr &&
                      PostData(this, object, THRDMSG_CONNECT_TUNNELLED, 0, static_cast<std::uint32_t>(block.size()),
                               block.data(), "PZGN1012") == 1;
  if (!handed) ClearWayRecord(way, "PZGN1012");
  return 1;
}

DWORD CNodeWay::TrustedAddressOrder(const Frame& frame) {
  if (!BodyHolds(frame, kTrustedIpRecordSize)) return 0;
  std::uint32_t address = 0;
  ReadTrustedIpRecord(frame.body, address);
  if (frame.header.subCode == 0) {
    AddTrustedAddress(address, 0);
  } else {
    RemoveTrustedAddress(address, 0);
  }
  return 1;
}
