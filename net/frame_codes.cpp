#include "net/frame_codes.h"

#include <array>
#include <span>

namespace {

struct CodeName {
  std::uint8_t value;
  const char* name;
};

#define TK_CODE(name) CodeName{name, #name}

constexpr std::array kMsgNames{
    TK_CODE(NCSMSG_TEST),           TK_CODE(NCSMSG_LOGIN),
    TK_CODE(NCSMSG_OPEN_PORT_TEST), TK_CODE(NCSMSG_LOGOUT),
    TK_CODE(NCSMSG_STANDARD),       TK_CODE(NCSMSG_REQ_TUNNCONNECT),
    TK_CODE(NCSMSG_REQ_TUNNCONNECTME), TK_CODE(NCSMSG_ACK_TUNNCONNECTME),
    TK_CODE(NCSMSG_TRUSTED_IP),     TK_CODE(NCSMSG_CHECK_INCOCKPIT),
    TK_CODE(NCSMSG_KICKOUT),        TK_CODE(NCSMSG_TEXT_ON_AIR),
    TK_CODE(NCSMSG_TEXT_PRIVATE),   TK_CODE(NCSMSG_TEXT_LONGHAUL),
    TK_CODE(NCSMSG_KUI),            TK_CODE(NCSMSG_ATC),
    TK_CODE(NCSMSG_PILOT),          TK_CODE(NCSMSG_ANY_PEER),
    TK_CODE(NCSMSG_BLOCK),
};

constexpr std::array kSubNames{
    TK_CODE(NCSUB_LOGIN),           TK_CODE(NCSUB_LOGIN_ACK),
    TK_CODE(NCSUB_CANCEL_LINK),     TK_CODE(NCSUB_PEER_ADDED),
    TK_CODE(NCSUB_LOGOUT),          TK_CODE(NCSUB_HEARTBEAT),
    TK_CODE(NCSUB_START_TUNNEL),    TK_CODE(NCSUB_REQ_PLANE_PARAMS),
    TK_CODE(NCSUB_FS_PACKET),       TK_CODE(NCSUB_FSX_PACKET),
    TK_CODE(NCSUB_MISC_PACKET),     TK_CODE(NCSUB_FLIGHT_PLAN),
    TK_CODE(NCSUB_FLIGHT_STRIP),    TK_CODE(NCSUB_SHORTINFOS),
    TK_CODE(NCSUB_PILOT_INCOCKPIT), TK_CODE(NCSUB_PILOT_CHANGES),
    TK_CODE(NCSUB_PILOT_CHANGES2),  TK_CODE(NCSUB_IAM_VISIBLE),
    TK_CODE(NCSUB_IAM_INVISIBLE),   TK_CODE(NCSUB_PILOT_CHANGES_COMM),
    TK_CODE(NCSUB_A2P_MSG_RATE),    TK_CODE(NCSUB_OUT_OF_RANGE),
    TK_CODE(NCSUB_ATIS),            TK_CODE(NCSUB_WEATHER),
    TK_CODE(NCSUB_LATENCY_REQ_ECHO), TK_CODE(NCSUB_LATENCY_ECHO),
    TK_CODE(NCSUB_TEST),
};

constexpr std::array kDsCmdNames{
    TK_CODE(DS_CMD_TEST),   TK_CODE(DS_CMD_LOGIN),  TK_CODE(DS_CMD_LOGIN_ACK),
    TK_CODE(DS_CMD_CANCEL_LINK), TK_CODE(DS_CMD_LOGOUT), TK_CODE(DS_CMD_COMMON),
    TK_CODE(DS_CMD_FLIGHT_DYNAMICS), TK_CODE(DS_CMD_AI),
};

#undef TK_CODE

const char* Find(std::span<const CodeName> table, std::uint8_t value) {
  for (const CodeName& entry : table)
    if (entry.value == value) return entry.name;
  return nullptr;
}

}  // namespace

const char* NcsMsgName(std::uint8_t type) { return Find(kMsgNames, type); }

const char* NcsSubName(std::uint8_t type, std::uint8_t subCode) {
  if (type == kNcsMsgTextAttributes && subCode == NCSUB_SETATTRIB) return "NCSUB_SETATTRIB";
  return Find(kSubNames, subCode);
}

const char* DsCmdName(std::uint8_t command) { return Find(kDsCmdNames, command); }
