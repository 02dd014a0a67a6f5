#include "testbed/plugin_codes.h"

#include <array>
#include <utility>

namespace plugin_link {

const char* ClientCommandName(std::uint8_t code) {
  static constexpr std::array<std::pair<std::uint8_t, const char*>, 21> kNames{{
      {XTK_CMD_HELLO, "XTK_CMD_HELLO"},
      {XTK_CMD_TICK, "XTK_CMD_TICK"},
      {XTK_CMD_ADD_PEER, "XTK_CMD_ADD_PEER"},
      {XTK_CMD_REMOVE_PEER, "XTK_CMD_REMOVE_PEER"},
      {XTK_CMD_TRACK_PILOT, "XTK_CMD_TRACK_PILOT"},
      {XTK_CMD_PEER_POSITION, "XTK_CMD_PEER_POSITION"},
      {XTK_CMD_PEER_FULL_STATE, "XTK_CMD_PEER_FULL_STATE"},
      {XTK_CMD_PEER_FLAGS, "XTK_CMD_PEER_FLAGS"},
      {XTK_CMD_PEER_AERO, "XTK_CMD_PEER_AERO"},
      {XTK_CMD_PEER_STATE, "XTK_CMD_PEER_STATE"},
      {XTK_CMD_PEER_ENGINES, "XTK_CMD_PEER_ENGINES"},
      {XTK_CMD_PEER_GEAR, "XTK_CMD_PEER_GEAR"},
      {XTK_CMD_PEER_GEAR2, "XTK_CMD_PEER_GEAR2"},
      {XTK_CMD_SET_ACF_SLOT, "XTK_CMD_SET_ACF_SLOT"},
      {XTK_CMD_CHANGE_AI_MODEL, "XTK_CMD_CHANGE_AI_MODEL"},
      {XTK_CMD_GET_ACF_TABLE, "XTK_CMD_GET_ACF_TABLE"},
      {XTK_CMD_MODELS_SCANNED, "XTK_CMD_MODELS_SCANNED"},
      {XTK_CMD_SYNC_DATE_TIME, "XTK_CMD_SYNC_DATE_TIME"},
      {XTK_CMD_SET_SQUAWK, "XTK_CMD_SET_SQUAWK"},
      {XTK_CMD_STEP, "XTK_CMD_STEP"},
      {XTK_CMD_DLL_INFOS_ACK, "XTK_CMD_DLL_INFOS_ACK"},
  }};
  for (const auto& [value, name] : kNames)
    if (value == code) return name;
  return nullptr;
}

}  // namespace plugin_link
