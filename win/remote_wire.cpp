#include "win/remote_wire.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace win::detail {
namespace {

// While a call waits, the thread's own windows are served this often.
constexpr int kIdleSliceMs = 10;

void Put32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* in) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return v;
}
std::uint64_t Get64(const std::uint8_t* in) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  return v;
}

}  // namespace

std::array<std::uint8_t, kGreetingSize> EncodeGreeting(const WindowGreeting& greeting) {
  std::array<std::uint8_t, kGreetingSize> bytes{};
  Put32(&bytes[0], kWindowGreetingMagic);
  Put32(&bytes[4], greeting.processId);
  Put32(&bytes[8], greeting.threadId);
  Put32(&bytes[12], greeting.hwnd);
  return bytes;
}

std::optional<WindowGreeting> DecodeGreeting(std::span<const std::uint8_t, kGreetingSize> bytes) {
  if (Get32(&bytes[0]) != kWindowGreetingMagic) return std::nullopt;
  return WindowGreeting{Get32(&bytes[4]), Get32(&bytes[8]), Get32(&bytes[12])};
}

std::vector<std::uint8_t> EncodeRequest(const WindowRequest& request) {
  const std::size_t nameSize = std::min<std::size_t>(request.messageName.size(), 255);
  std::vector<std::uint8_t> bytes(kRequestFixedSize + nameSize);
  bytes[0] = request.kind;
  Put32(&bytes[1], request.message);
  Put64(&bytes[5], request.wParam);
  Put64(&bytes[13], request.lParam);
  bytes[21] = static_cast<std::uint8_t>(nameSize);
  std::copy_n(request.messageName.begin(), nameSize, bytes.begin() + kRequestFixedSize);
  return bytes;
}

WindowRequest DecodeRequestFixed(std::span<const std::uint8_t, kRequestFixedSize> bytes) {
  WindowRequest request;
  request.kind = bytes[0];
  request.message = Get32(&bytes[1]);
  request.wParam = Get64(&bytes[5]);
  request.lParam = Get64(&bytes[13]);
  return request;
}

std::array<std::uint8_t, kAnswerSize> EncodeAnswer(const WindowAnswer& answer) {
  std::array<std::uint8_t, kAnswerSize> bytes{};
  bytes[0] = answer.ok ? 1 : 0;
  Put64(&bytes[1], answer.result);
  return bytes;
}

WindowAnswer DecodeAnswer(std::span<const std::uint8_t, kAnswerSize> bytes) {
  return WindowAnswer{bytes[0] == 1, Get64(&bytes[1])};
}

std::int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReadAll(int fd, std::span<std::uint8_t> bytes, std::int64_t deadlineMs, const std::function<void()>& idle) {
  while (!bytes.empty()) {
    int waitMs = -1;
    if (deadlineMs >= 0) {
      const std::int64_t left = deadlineMs - SteadyNowMs();
      if (left <= 0) return false;
      waitMs = static_cast<int>(std::min<std::int64_t>(left, 0x7FFFFFFF));
    }
    if (idle) waitMs = waitMs < 0 ? kIdleSliceMs : std::min(waitMs, kIdleSliceMs);
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) {
      if (idle) idle();
      continue;
    }
    const ssize_t n = ::recv(fd, bytes.data(), bytes.size(), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace win::detail
