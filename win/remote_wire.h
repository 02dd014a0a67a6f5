// The byte layout on a published window's socket, little-endian, field by field:
//   greeting (publisher first): u32 magic, u32 process id, u32 owner thread id, u32 handle
//   request:  u8 kind, u32 message, u64 wParam, u64 lParam, u8 name length, name
//             (the name of a registered message, else empty)
//   answer:   u8 ok, u64 result
// Internal to win/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/types.h"

namespace win::detail {

constexpr std::uint32_t kWindowGreetingMagic = 0x314E4957;  // "WIN1"
constexpr std::size_t kGreetingSize = 16;
constexpr std::size_t kRequestFixedSize = 22;
constexpr std::size_t kAnswerSize = 9;

struct WindowGreeting {
  DWORD processId = 0;
  DWORD threadId = 0;
  HWND hwnd = 0;
};

struct WindowRequest {
  std::uint8_t kind = 0;
  UINT message = 0;
  std::uint64_t wParam = 0;
  std::uint64_t lParam = 0;
  std::string messageName;  // at most 255 bytes
};

struct WindowAnswer {
  bool ok = false;
  std::uint64_t result = 0;
};

std::array<std::uint8_t, kGreetingSize> EncodeGreeting(const WindowGreeting& greeting);
std::optional<WindowGreeting> DecodeGreeting(std::span<const std::uint8_t, kGreetingSize> bytes);
std::vector<std::uint8_t> EncodeRequest(const WindowRequest& request);
// The fixed part; the name's length is its last byte, the name follows.
WindowRequest DecodeRequestFixed(std::span<const std::uint8_t, kRequestFixedSize> bytes);
std::array<std::uint8_t, kAnswerSize> EncodeAnswer(const WindowAnswer& answer);
WindowAnswer DecodeAnswer(std::span<const std::uint8_t, kAnswerSize> bytes);

// Whole writes and reads on a stream socket. A read waits until `deadlineMs`
// of the steady clock (negative: no limit), calling `idle` between short waits.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes);
bool ReadAll(int fd, std::span<std::uint8_t> bytes, std::int64_t deadlineMs = -1,
             const std::function<void()>& idle = nullptr);
std::int64_t SteadyNowMs();

}  // namespace win::detail
