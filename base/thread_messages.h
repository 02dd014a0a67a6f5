// Thread message header and the library's own message ids.
#pragma once

#include <cstdint>

// Written into the receiving thread's queue as three u32 words, then the payload.
struct DMessage {
  std::uint32_t id = 0;
  std::uint32_t param = 0;
  std::uint32_t word3 = 0;  // payload length, or a second parameter when no payload follows
};
constexpr std::uint32_t kDMessageSize = 12;

constexpr std::uint32_t THRDMSG_BASE = 0x8000;
constexpr std::uint32_t THRDMSG_NOP = 0x800A;
constexpr std::uint32_t THRDMSG_THREAD_ENDED = 0x8014;
constexpr std::uint32_t THRDMSG_STOP = 0x801E;
constexpr std::uint32_t THRDMSG_DISCONNECTION = 0x8064;
constexpr std::uint32_t THRDMSG_CONNECTION_LOST = 0x806E;
constexpr std::uint32_t THRDMSG_DISCONNECT = 0x8078;
constexpr std::uint32_t THRDMSG_SHUTDOWN = 0x8082;
constexpr std::uint32_t THRDMSG_QUIT = 0x808C;
constexpr std::uint32_t THRDMSG_SUSPEND = 0x8096;
constexpr std::uint32_t THRDMSG_SEND = 0x80BE;
constexpr std::uint32_t THRDMSG_TRACE = 0x812C;
constexpr std::uint32_t THRDMSG_TRACE_LOCAL = 0x8136;
constexpr std::uint32_t THRDMSG_EACH_SECOND = 0x95E0;

// Third word of THRDMSG_THREAD_ENDED.
constexpr std::uint32_t kThreadEndedMark = 0x7D6F;
