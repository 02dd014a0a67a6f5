// The node stand-in between its clients: it introduces two logged-in
// clients to each other, opens the tunnels they ask for, and relays their
// voice packets.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/frame_codes.h"
#include "testbed/node_server.h"
#include "testbed/voice_relay.h"

namespace {

constexpr std::size_t kTunnelBodySize = 48;
constexpr std::size_t kTunnelOwnCallsignAt = 16;
constexpr std::size_t kTunnelPeerCallsignAt = 32;
constexpr std::size_t kTunnelNameSize = 16;

// A callsign field of the tunnel body, cut at its terminator or its end.
std::string TunnelName(const std::vector<std::uint8_t>& body, std::size_t at) {
  std::string name;
  for (std::size_t i = at; i < at + kTunnelNameSize && body[i] != 0; ++i) name += static_cast<char>(body[i]);
  return name;
}

}  // namespace

void NodeServer::Introduce(const Client& newcomer) {
  Introductions how = Introductions::Off;
  std::vector<Client> others;
  {
    std::lock_guard lock(mutex_);
    how = introductions_;
    for (const auto& [id, client] : clients_) {
      // A callsign logged in twice is one pilot: never introduced to himself.
      if (id != newcomer.link && client.callsign != newcomer.callsign) others.push_back(client);
    }
  }
  if (how == Introductions::Off) return;
  for (const Client& other : others) {
    // Each one's address is trusted by the other before anybody calls: the
    // one called checks the caller's address against that list.
    bool sent = link_.SendFrameTo(other.link, NCSMSG_TRUSTED_IP, 0, WriteTrustedIpRecord(newcomer.address)) &&
                link_.SendFrameTo(newcomer.link, NCSMSG_TRUSTED_IP, 0, WriteTrustedIpRecord(other.address));
    NeighbourLinkRecord order;
    order.address = other.address;
    order.port = how == Introductions::Direct ? other.listenPort : Port();
    order.flags = how == Introductions::Tunnelled ? kNeighbourTunnelled : 0;
    order.peerKind = 'P';
    order.callsign = other.callsign;
    // Counted before the order goes: a client may read it before the send returns.
    {
      std::lock_guard lock(mutex_);
      ++introduced_;
    }
    sent = sent && link_.SendFrameTo(newcomer.link, kNcsMsgConnectNeighbour, 0, WriteNeighbourLinkRecord(order));
    if (!sent) {
      {
        std::lock_guard lock(mutex_);
        --introduced_;
      }
      link_.Log("introduction of " + newcomer.callsign + " to " + other.callsign + " could not be sent");
      continue;
    }
    changed_.notify_all();
    link_.Log("introduced " + newcomer.callsign + " to " + other.callsign +
              (how == Introductions::Direct ? " (his port " + std::to_string(other.listenPort) + ")"
                                            : std::string(" (through a tunnel)")));
  }
}

void NodeServer::OnTunnelRequest(LinkId id, SOCKET s, const Frame& frame) {
  if (frame.body.size() != kTunnelBodySize) {
    link_.Log("tunnel request of " + std::to_string(frame.body.size()) + " bytes refused");
    return;
  }
  PendingTunnel tunnel;
  tunnel.requesterLink = id;
  tunnel.requester = TunnelName(frame.body, kTunnelOwnCallsignAt);
  tunnel.target = TunnelName(frame.body, kTunnelPeerCallsignAt);
  const std::optional<Client> target = ClientByCallsign(tunnel.target);
  if (!target) {
    link_.Log("tunnel request of " + tunnel.requester + " for " + tunnel.target + ", who is not logged in");
    return;
  }
  TunnelRequestRecord order;
  order.address = PeerAddressOf(s);
  order.port = Port();
  order.peerKind = 'P';
  order.peerCallsign = tunnel.requester;
  order.requesterName = tunnel.requester;
  {
    std::lock_guard lock(mutex_);
    pendingTunnels_.push_back(tunnel);
  }
  if (!link_.SendFrameTo(target->link, NCSMSG_REQ_TUNNCONNECTME, 0, WriteTunnelRequestRecord(order))) {
    link_.Log("tunnel order to " + tunnel.target + " could not be sent");
    return;
  }
  link_.Log("tunnel requested by " + tunnel.requester + " for " + tunnel.target);
}

void NodeServer::OnTunnelAccepted(LinkId id, const Frame& frame) {
  if (frame.body.size() != kTunnelBodySize) {
    link_.Log("tunnel acceptance of " + std::to_string(frame.body.size()) + " bytes refused");
    return;
  }
  const std::string own = TunnelName(frame.body, kTunnelOwnCallsignAt);
  const std::string peer = TunnelName(frame.body, kTunnelPeerCallsignAt);
  std::optional<PendingTunnel> match;
  {
    std::lock_guard lock(mutex_);
    for (auto at = pendingTunnels_.begin(); at != pendingTunnels_.end(); ++at) {
      if (at->target == own && at->requester == peer) {
        match = *at;
        pendingTunnels_.erase(at);
        break;
      }
    }
  }
  if (!match) {
    link_.Log("tunnel acceptance of " + own + " for " + peer + ", who asked for none");
    return;
  }
  // Spliced before the start is told: the requester's login then already
  // finds the tunnel (this runs on the serving thread, which reads it next).
  if (!link_.Splice(match->requesterLink, id)) {
    link_.Log("tunnel of " + peer + " to " + own + ": the requester's link is gone");
    return;
  }
  // Counted before the start goes, as the requester may act on it at once.
  {
    std::lock_guard lock(mutex_);
    ++tunnelsOpened_;
  }
  if (!link_.SendFrameTo(match->requesterLink, NCSMSG_ANY_PEER, NCSUB_START_TUNNEL)) {
    {
      std::lock_guard lock(mutex_);
      --tunnelsOpened_;
    }
    link_.Log("tunnel start could not be sent to " + peer);
    return;
  }
  changed_.notify_all();
  link_.Log("tunnel opened between " + peer + " and " + own);
}

void NodeServer::RelayVoice(LinkId id, const Frame& frame) {
  const std::optional<Client> sender = ClientOnLink(id);
  VoicePacketRead packet;
  std::string fault = frame.header.subCode != 0 ? "sub-code " + std::to_string(frame.header.subCode)
                                                : ReadClientVoicePacket(frame.body, packet);
  if (fault.empty() && !sender) fault = "a link that is not logged in";
  if (fault.empty() && packet.sender != sender->callsign) fault = "sender " + packet.sender + " on the link of " + sender->callsign;
  if (!fault.empty()) {
    {
      std::lock_guard lock(mutex_);
      ++voiceRefused_;
    }
    changed_.notify_all();
    link_.Log("voice packet refused: " + fault);
    return;
  }
  const std::vector<std::uint8_t> body = WriteRelayedVoice(packet.sender, packet.frame);
  std::size_t reached = 0;
  for (const VoiceRelayRecipient& recipient : packet.recipients) {
    const std::optional<Client> to = ClientByCallsign(recipient.callsign);
    if (!to || to->link == id) continue;
    // Counted before the send: the recipient may read the frame before it returns.
    {
      std::lock_guard lock(mutex_);
      ++voiceRelayed_;
    }
    if (link_.SendFrameTo(to->link, NCSMSG_BLOCK, 0, body)) {
      ++reached;
    } else {
      std::lock_guard lock(mutex_);
      --voiceRelayed_;
    }
    changed_.notify_all();
  }
  link_.Log("voice of " + packet.sender + " (" + std::to_string(packet.frame.size()) + " bytes) relayed to " +
            std::to_string(reached) + " of " + std::to_string(packet.recipients.size()));
}
