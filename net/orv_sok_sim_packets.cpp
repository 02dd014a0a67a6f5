// The session's records on a pilot way: the broadcasters post them as
// THRDMSG_SIMPILOT payload, and the way sends each as one NCSMSG_PILOT frame
// on its own thread.
#include <algorithm>

#include "base/klib_settings.h"
#include "net/frame_codes.h"
#include "net/multiplayer_session.h"
#include "net/orv_sok.h"
#include "net/sim_pilot_hook.h"

DWORD COrvSok::HandleSimPilotMessage(const DMessage& message) {
  if (message.param != kSimPilotSendFsPacket && message.param != kSimPilotSendFsxPacket) {
    if (const SimPilotHandler handler = CurrentSimPilotHandler()) handler(*this, message);
    return 1;
  }
  if (PeerKind() != 'P') {
    SetTraceColour(Klib().Colour(kColourError));
    TraceLine("\t%s %s THRDMSG_SIMPILOT_YYY = %d / %d", LogTag(), Name(), static_cast<int>(message.param),
              static_cast<int>(WayId()));
    SetTraceColour(Klib().Colour(kColourNormal));
    return 1;
  }
  SendSimPacket(message);
  return 1;
}

void COrvSok::SendSimPacket(const DMessage& message) {
  // The third word is only a claim; the queue knows what really follows.
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length > simPacket_.size()) {
    SetTraceColour(Klib().Colour(kColourError));
    TraceLine("\t%s %s SIMPP_SEND_PACKET EXCEED = %d / %d", LogTag(), Name(), static_cast<int>(length),
              static_cast<int>(simPacket_.size()));
    SetTraceColour(Klib().Colour(kColourNormal));
    return;  // the loop drops the payload
  }
  PopData(simPacket_.data(), length);
  // Only a connected peer who has been admitted to the session hears of us.
  if (!IsConnected() || (LoggedInBits() & kWayLoggedInPeer) == 0) return;
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = message.param == kSimPilotSendFsPacket ? NCSUB_FS_PACKET : NCSUB_FSX_PACKET;
  SendFrame(header, std::span<const std::uint8_t>(simPacket_.data(), length));
}
