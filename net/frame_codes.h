// Message types (header byte 4), sub-codes (byte 5) and add-on commands, with
// their names for traces.
#pragma once

#include <cstdint>

inline constexpr std::uint8_t NCSMSG_TEST = 0;
inline constexpr std::uint8_t NCSMSG_LOGIN = 1;
inline constexpr std::uint8_t NCSMSG_OPEN_PORT_TEST = 2;
inline constexpr std::uint8_t NCSMSG_LOGOUT = 51;
inline constexpr std::uint8_t NCSMSG_STANDARD = 53;
inline constexpr std::uint8_t NCSMSG_REQ_TUNNCONNECT = 56;
inline constexpr std::uint8_t NCSMSG_REQ_TUNNCONNECTME = 57;
inline constexpr std::uint8_t NCSMSG_ACK_TUNNCONNECTME = 58;
inline constexpr std::uint8_t NCSMSG_TRUSTED_IP = 59;
inline constexpr std::uint8_t NCSMSG_CHECK_INCOCKPIT = 70;
inline constexpr std::uint8_t NCSMSG_KICKOUT = 71;
inline constexpr std::uint8_t NCSMSG_TEXT_ON_AIR = 74;
inline constexpr std::uint8_t NCSMSG_TEXT_PRIVATE = 75;
inline constexpr std::uint8_t NCSMSG_TEXT_LONGHAUL = 76;
inline constexpr std::uint8_t NCSMSG_KUI = 100;
inline constexpr std::uint8_t NCSMSG_ATC = 104;
inline constexpr std::uint8_t NCSMSG_PILOT = 105;
inline constexpr std::uint8_t NCSMSG_ANY_PEER = 106;
inline constexpr std::uint8_t NCSMSG_BLOCK = 109;

// Types that travel without a name of their own.
inline constexpr std::uint8_t kNcsMsgTextAttributes = 10;    // sub-code NCSUB_SETATTRIB
inline constexpr std::uint8_t kNcsMsgHeaderOnly = 52;        // node to client, no body
inline constexpr std::uint8_t kNcsMsgConnectNeighbour = 55;  // kind 'P' or 'A'
inline constexpr std::uint8_t kNcsMsgVoiceBlock = 108;       // raw block of voice packets

inline constexpr std::uint8_t NCSUB_LOGIN = 0;
inline constexpr std::uint8_t NCSUB_LOGIN_ACK = 1;
inline constexpr std::uint8_t NCSUB_SETATTRIB = 1;  // under kNcsMsgTextAttributes
inline constexpr std::uint8_t NCSUB_CANCEL_LINK = 2;
inline constexpr std::uint8_t NCSUB_PEER_ADDED = 3;
inline constexpr std::uint8_t NCSUB_LOGOUT = 51;
inline constexpr std::uint8_t NCSUB_HEARTBEAT = 52;
inline constexpr std::uint8_t NCSUB_START_TUNNEL = 53;
inline constexpr std::uint8_t NCSUB_REQ_PLANE_PARAMS = 54;
inline constexpr std::uint8_t NCSUB_FS_PACKET = 60;
inline constexpr std::uint8_t NCSUB_FSX_PACKET = 61;
inline constexpr std::uint8_t NCSUB_MISC_PACKET = 62;
inline constexpr std::uint8_t NCSUB_FLIGHT_PLAN = 80;
inline constexpr std::uint8_t NCSUB_FLIGHT_STRIP = 81;
inline constexpr std::uint8_t NCSUB_SHORTINFOS = 82;
inline constexpr std::uint8_t NCSUB_PILOT_INCOCKPIT = 83;
inline constexpr std::uint8_t NCSUB_PILOT_CHANGES = 84;
inline constexpr std::uint8_t NCSUB_PILOT_CHANGES2 = 85;
inline constexpr std::uint8_t NCSUB_IAM_VISIBLE = 86;
inline constexpr std::uint8_t NCSUB_IAM_INVISIBLE = 87;
inline constexpr std::uint8_t kNcsSubControllerToPilot = 88;  // no name of its own
inline constexpr std::uint8_t NCSUB_PILOT_CHANGES_COMM = 89;
inline constexpr std::uint8_t NCSUB_A2P_MSG_RATE = 90;
inline constexpr std::uint8_t NCSUB_OUT_OF_RANGE = 91;
inline constexpr std::uint8_t NCSUB_ATIS = 92;
inline constexpr std::uint8_t NCSUB_WEATHER = 93;
inline constexpr std::uint8_t NCSUB_LATENCY_REQ_ECHO = 94;
inline constexpr std::uint8_t NCSUB_LATENCY_ECHO = 95;
inline constexpr std::uint8_t NCSUB_TEST = 126;

inline constexpr std::uint8_t DS_CMD_TEST = 0;
inline constexpr std::uint8_t DS_CMD_LOGIN = 1;
inline constexpr std::uint8_t DS_CMD_LOGIN_ACK = 2;
inline constexpr std::uint8_t DS_CMD_CANCEL_LINK = 3;
inline constexpr std::uint8_t DS_CMD_LOGOUT = 0x15;
inline constexpr std::uint8_t DS_CMD_COMMON = 0x16;
inline constexpr std::uint8_t DS_CMD_FLIGHT_DYNAMICS = 0x20;
inline constexpr std::uint8_t DS_CMD_AI = 0x38;

// Names for traces; nullptr for a value without a name.
const char* NcsMsgName(std::uint8_t type);
// The sub-code's name under the given type (sub-code 1 reads NCSUB_SETATTRIB
// under the text-attribute type).
const char* NcsSubName(std::uint8_t type, std::uint8_t subCode);
const char* DsCmdName(std::uint8_t command);
