// The codes of the plug-in link: frame types, the XTK records of both
// directions with the body sizes the client reads, and the thread messages
// the link object serves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/pilot_link.h"  // the THRDMSG_SIMPILOT sub-codes

// Frame types: 'k' for XTK records, 10 for trace records the plug-in prints
// into the client's trace output.
inline constexpr std::uint8_t kXtkFrameType = 0x6B;
inline constexpr std::uint8_t kXtkTraceFrameType = 10;
// A frame holds at most 20,480 bytes counted as body + 8: a body of up to 20,472.
inline constexpr std::uint32_t kXtkMaxFrameCount = 20'480;
inline constexpr std::uint32_t kXtkMaxBody = kXtkMaxFrameCount - 8;

// Records of the plug-in.
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

// Body bytes read of each record.
inline constexpr std::size_t kDllInfosSize = 312;
inline constexpr std::size_t kAddPeerCallbackSize = 4;
inline constexpr std::size_t kRemovePeerCallbackSize = 4;
inline constexpr std::size_t kAcfTableSize = 2'134;
inline constexpr std::size_t kUserAircraftLoadedSize = 265;
inline constexpr std::size_t kHeadingEntrySize = 8;
inline constexpr std::size_t kDataSet1Size = 88;
inline constexpr std::size_t kDataSet2Size = 28;
inline constexpr std::size_t kDataSet3Size = 72;
inline constexpr std::size_t kDataSet4Size = 12;

// Commands of the client.
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

// Body sizes of the commands with a fixed body.
inline constexpr std::size_t kSetAcfSlotSize = 114;  // u16 slot, char title[112]
inline constexpr std::size_t kChangeAiModelSize = 4;
inline constexpr std::size_t kGetAcfTableSize = 4;

// Thread messages of the link object (beside the connection object's own,
// THRDMSG_DISCONNECTION and THRDMSG_CONNECT).
using XPlaneLinkMessageId = std::uint32_t;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_TICK = 33'745;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_ACF_TABLE_ADD = 33'746;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_ACF_TABLE_CHANGE = 33'747;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_SYNC_DATE_TIME = 38'078;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_SET_SQUAWK = 38'088;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_MODELS_SCANNED = 38'098;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_DISCONNECT = 38'108;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_STEP = 38'118;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_WRITE = 38'128;
inline constexpr XPlaneLinkMessageId THRDMSG_XPL_LEAVE = 38'278;

// The name of a plug-in record for trace lines; nullptr for an unknown code.
const char* PluginRecordName(std::uint8_t code);
