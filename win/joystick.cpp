#include "win/joystick.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <span>

namespace {

constexpr const char* kDefaultPrefix = "/dev/input/js";
constexpr const char* kPrefixVariable = "TK_JOYSTICK_PREFIX";

// One js_event: u32 time, s16 value, u8 type, u8 number, little-endian.
constexpr std::size_t kEventSize = 8;
constexpr BYTE JS_EVENT_BUTTON = 0x01;
constexpr BYTE JS_EVENT_AXIS = 0x02;
constexpr BYTE JS_EVENT_INIT = 0x80;
constexpr std::size_t kAxisCount = 8;
// A device that never stops talking must not keep the caller here.
constexpr int kMaxReadsPerCall = 64;

struct Device {
  int fd = -1;
  DWORD buttons = 0;
  std::array<std::int16_t, kAxisCount> axes{};
  std::array<BYTE, kEventSize> partial{};
  std::size_t partialSize = 0;
};

struct Joysticks {
  std::mutex mutex;
  std::array<Device, kJoystickCount> devices{};
  std::string prefixOverride;
};

Joysticks& TheJoysticks() {
  static Joysticks* joysticks = new Joysticks();
  return *joysticks;
}

void Close(Device& device) {
  if (device.fd >= 0) ::close(device.fd);
  device = Device{};
}

std::string DevicePath(const Joysticks& j, UINT id) {
  std::string prefix = j.prefixOverride;
  if (prefix.empty()) {
    const char* fromEnvironment = std::getenv(kPrefixVariable);
    prefix = fromEnvironment != nullptr && fromEnvironment[0] != '\0' ? fromEnvironment : kDefaultPrefix;
  }
  return prefix + std::to_string(id);
}

void Apply(Device& device, std::span<const BYTE, kEventSize> event) {
  const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(event[4] | (event[5] << 8)));
  const BYTE type = static_cast<BYTE>(event[6] & ~JS_EVENT_INIT);
  const BYTE number = event[7];
  if (type == JS_EVENT_BUTTON) {
    if (number >= 32) return;  // beyond what dwButtons can hold
    const DWORD bit = DWORD{1} << number;
    device.buttons = value != 0 ? (device.buttons | bit) : (device.buttons & ~bit);
  } else if (type == JS_EVENT_AXIS) {
    if (number < kAxisCount) device.axes[number] = value;
  }
}

// Takes what the device has waiting. False when the device has gone.
bool Drain(Device& device) {
  std::array<BYTE, 512> buffer{};
  for (int reads = 0; reads < kMaxReadsPerCall; ++reads) {
    const ssize_t n = ::read(device.fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    if (n == 0) return true;  // a file or a pipe with no writer: nothing more for now
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
      device.partial[device.partialSize++] = buffer[i];
      if (device.partialSize == kEventSize) {
        Apply(device, std::span<const BYTE, kEventSize>(device.partial));
        device.partialSize = 0;
      }
    }
  }
  return true;
}

DWORD AxisPosition(std::int16_t value) { return static_cast<DWORD>(static_cast<std::int32_t>(value) + 32768); }

// The hat as the usual pair of axes 6 (left/right) and 7 (up/down), in hundredths of a degree.
DWORD PovOf(const Device& device) {
  const int x = device.axes[6] > 0 ? 1 : device.axes[6] < 0 ? -1 : 0;
  const int y = device.axes[7] > 0 ? 1 : device.axes[7] < 0 ? -1 : 0;
  static constexpr std::array<std::array<DWORD, 3>, 3> kAngles = {{
      {31500, 0, 4500},      // up: left, centre, right
      {27000, JOY_POVCENTERED, 9000},
      {22500, 18000, 13500},  // down
  }};
  return kAngles[static_cast<std::size_t>(y + 1)][static_cast<std::size_t>(x + 1)];
}

int PopCount(DWORD v) {
  int n = 0;
  for (; v != 0; v &= v - 1) ++n;
  return n;
}

}  // namespace

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) {
  if (id >= kJoystickCount || info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
  Joysticks& j = TheJoysticks();
  std::lock_guard lock(j.mutex);
  Device& device = j.devices[id];
  if (device.fd < 0) {
    device.fd = ::open(DevicePath(j, id).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (device.fd < 0) return JOYERR_UNPLUGGED;
  }
  if (!Drain(device)) {
    Close(device);
    return JOYERR_UNPLUGGED;
  }
  const DWORD flags = info->dwFlags;
  if ((flags & JOY_RETURNX) != 0) info->dwXpos = AxisPosition(device.axes[0]);
  if ((flags & JOY_RETURNY) != 0) info->dwYpos = AxisPosition(device.axes[1]);
  if ((flags & JOY_RETURNZ) != 0) info->dwZpos = AxisPosition(device.axes[2]);
  if ((flags & JOY_RETURNR) != 0) info->dwRpos = AxisPosition(device.axes[3]);
  if ((flags & JOY_RETURNU) != 0) info->dwUpos = AxisPosition(device.axes[4]);
  if ((flags & JOY_RETURNV) != 0) info->dwVpos = AxisPosition(device.axes[5]);
  if ((flags & JOY_RETURNPOV) != 0) info->dwPOV = PovOf(device);
  if ((flags & JOY_RETURNBUTTONS) != 0) {
    info->dwButtons = device.buttons;
    info->dwButtonNumber = static_cast<DWORD>(PopCount(device.buttons));
  }
  return JOYERR_NOERROR;
}

UINT joyGetNumDevs() { return kJoystickCount; }

void SetJoystickDevicePrefixForTest(std::string prefix) {
  Joysticks& j = TheJoysticks();
  std::lock_guard lock(j.mutex);
  for (Device& device : j.devices) Close(device);
  j.prefixOverride = std::move(prefix);
}
