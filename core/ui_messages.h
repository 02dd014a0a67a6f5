// Private window messages of the main dialog.
#pragma once

#include <cstdint>

enum UiMessageId : std::uint32_t {
  UIMSG_SERVER_MESSAGE = 0x839F,
  UIMSG_LOGIN_ACCEPTED = 0x838D,
  UIMSG_LOGOUT = 0x9586,
  UIMSG_SIMULATOR_CLOSING = 0x89C6,
  // The plug-in's handshake named the installed simulator: the offsets window's tabs follow it.
  UIMSG_SIMULATOR_IDENTIFIED = 0x89C7,
  UIMSG_TEST = 0xAEE0,
};

// Thread message ids the main worker handles besides the library's.
constexpr std::uint32_t THRDMSG_MAIN_TEST = 0xAEE0;
