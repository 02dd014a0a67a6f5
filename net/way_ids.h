// Way ids and the thread messages that other threads post to a way.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kPeerWayCount = 50;  // peer ways 0..49
inline constexpr std::int32_t WAYID_NODE = -2;
inline constexpr std::int32_t WAYID_WEBTASK = -3;
inline constexpr std::int32_t WAYID_XPLANE_LINK = -40;

constexpr bool IsPeerWay(std::int32_t wayId) { return wayId >= 0 && wayId < kPeerWayCount; }

// WayMessageId values.
inline constexpr std::uint32_t THRDMSG_SIMPILOT = 0x83C0;
inline constexpr std::uint32_t THRDMSG_WEBTASK = 0x89C8;
inline constexpr std::uint32_t THRDMSG_TEXT_ON_AIR = 0x9388;
inline constexpr std::uint32_t THRDMSG_TEXT_PRIVATE = 0x9389;
inline constexpr std::uint32_t THRDMSG_REQ_TUNNCONNECT = 0x939D;
inline constexpr std::uint32_t THRDMSG_ACK_TUNNCONNECTME = 0x939E;
inline constexpr std::uint32_t THRDMSG_CONNECT_NEIGHBOUR = 0x939F;
inline constexpr std::uint32_t THRDMSG_CONNECT_TUNNELLED = 0x93A0;
inline constexpr std::uint32_t THRDMSG_CONNECT = 38268;
inline constexpr std::uint32_t THRDMSG_HEARTBEAT = 38298;
// The node way's own messages.
inline constexpr std::uint32_t THRDMSG_SERVER_ANSWER = 0x83A0;  // param: the user's answer
inline constexpr std::uint32_t THRDMSG_NODE_PILOT = 0x83BC;     // param: sub-code, word 3: item mask
inline constexpr std::uint32_t THRDMSG_CANCEL = 0x83C2;
inline constexpr std::uint32_t THRDMSG_FLIGHT_PLAN = 0x8CE4;
inline constexpr std::uint32_t THRDMSG_TEXT_LONGHAUL = 0x938A;
inline constexpr std::uint32_t THRDMSG_KICKOUT = 0x938B;
inline constexpr std::uint32_t THRDMSG_LOGOUT = 0x9586;
inline constexpr std::uint32_t THRDMSG_RAW_BLOCK = 0xAAF8;  // param 0: send the payload as it stands
inline constexpr std::uint32_t THRDMSG_WAY_TEST = 0xAEE0;
// Posted by the Listener: the way takes the call it was handed (HandAcceptedCall).
inline constexpr std::uint32_t THRDMSG_WAY_ACCEPT = 0xAEE2;
// The records of one broadcast round for one pilot way, in the order they were
// broadcast: each as a u32 THRDMSG_SIMPILOT sub-code, a u32 length and the record.
inline constexpr std::uint32_t THRDMSG_SIMPILOT_ROUND = 0xAEE6;
