// The plug-in link as the plug-in's stand-in sees it: frame types, the XTK
// codes of both directions and the body sizes the client reads. Kept in a
// namespace of their own so they never meet the client's definitions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plugin_link {

// Frame types on the link.
inline constexpr std::uint8_t kXtkRecordType = 'k';  // 0x6B: sub-code is the XTK code
inline constexpr std::uint8_t kTraceRecordType = 10;  // lines the plug-in prints into the client's trace

// The client sends at most 20,480 bytes counted as body + 8.
inline constexpr std::uint32_t kMaxClientFrameBody = 20472;

// Plug-in to client.
inline constexpr std::uint8_t XTK_MSG_DLL_INFOS = 10;
inline constexpr std::uint8_t XTK_MSG_ADDPEER_CALLBACK = 20;
inline constexpr std::uint8_t XTK_MSG_REMOVEPEER_CALLBACK = 22;
inline constexpr std::uint8_t XTK_MSG_ACF_TABLE = 104;
inline constexpr std::uint8_t XTK_MSG_USER_AIRCRAFT_LOADED = 106;
inline constexpr std::uint8_t XTK_MSG_SHOWHIDE_EXE_WINDOW = 160;
inline constexpr std::uint8_t XTK_MSG_XPLANE_CLOSING = 162;
inline constexpr std::uint8_t XTK_MSG_HEADING_TO_HIM = 164;
inline constexpr std::uint8_t XTK_MSG_PLANE_DATASET1 = 171;
inline constexpr std::uint8_t XTK_MSG_PLANE_DATASET2 = 172;
inline constexpr std::uint8_t XTK_MSG_PLANE_DATASET3 = 173;
inline constexpr std::uint8_t XTK_MSG_PLANE_DATASET4 = 174;
inline constexpr std::uint8_t XTK_MSG_DEBUG_CALLBACK = 254;

// Body bytes the client reads for each record.
inline constexpr std::size_t kDllInfosSize = 312;
inline constexpr std::size_t kAddPeerCallbackSize = 4;
inline constexpr std::size_t kRemovePeerCallbackSize = 4;
inline constexpr std::size_t kAcfTableSize = 2134;
inline constexpr std::size_t kUserAircraftLoadedSize = 265;
inline constexpr std::size_t kHeadingEntrySize = 8;
inline constexpr std::size_t kDataSet1Size = 88;
inline constexpr std::size_t kDataSet2Size = 28;
inline constexpr std::size_t kDataSet3Size = 72;
inline constexpr std::size_t kDataSet4Size = 12;

// Client to plug-in.
inline constexpr std::uint8_t XTK_CMD_HELLO = 10;
inline constexpr std::uint8_t XTK_CMD_TICK = 12;
inline constexpr std::uint8_t XTK_CMD_ADD_PEER = 20;
inline constexpr std::uint8_t XTK_CMD_REMOVE_PEER = 22;
inline constexpr std::uint8_t XTK_CMD_TRACK_PILOT = 24;
inline constexpr std::uint8_t XTK_CMD_PEER_POSITION = 30;
inline constexpr std::uint8_t XTK_CMD_PEER_FULL_STATE = 31;
inline constexpr std::uint8_t XTK_CMD_PEER_FLAGS = 32;
inline constexpr std::uint8_t XTK_CMD_PEER_AERO = 33;
inline constexpr std::uint8_t XTK_CMD_PEER_STATE = 34;
inline constexpr std::uint8_t XTK_CMD_PEER_ENGINES = 35;
inline constexpr std::uint8_t XTK_CMD_PEER_GEAR = 36;
inline constexpr std::uint8_t XTK_CMD_PEER_GEAR2 = 37;
inline constexpr std::uint8_t XTK_CMD_SET_ACF_SLOT = 100;
inline constexpr std::uint8_t XTK_CMD_CHANGE_AI_MODEL = 102;
inline constexpr std::uint8_t XTK_CMD_GET_ACF_TABLE = 104;
inline constexpr std::uint8_t XTK_CMD_MODELS_SCANNED = 106;
inline constexpr std::uint8_t XTK_CMD_SYNC_DATE_TIME = 120;
inline constexpr std::uint8_t XTK_CMD_SET_SQUAWK = 122;
inline constexpr std::uint8_t XTK_CMD_STEP = 124;
inline constexpr std::uint8_t XTK_CMD_DLL_INFOS_ACK = 190;

// The name of a client command for log lines; nullptr for an unknown code.
const char* ClientCommandName(std::uint8_t code);

}  // namespace plugin_link
