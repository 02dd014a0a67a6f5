#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "win/joystick.h"

namespace {

// One js_event as the kernel writes it, field by field, little-endian.
std::array<char, 8> Event(std::uint32_t time, std::int16_t value, std::uint8_t type, std::uint8_t number) {
  const auto v = static_cast<std::uint16_t>(value);
  return {static_cast<char>(time & 0xFF),        static_cast<char>((time >> 8) & 0xFF),
          static_cast<char>((time >> 16) & 0xFF), static_cast<char>((time >> 24) & 0xFF),
          static_cast<char>(v & 0xFF),            static_cast<char>(v >> 8),
          static_cast<char>(type),                static_cast<char>(number)};
}

constexpr std::uint8_t kButton = 0x01;
constexpr std::uint8_t kAxis = 0x02;
constexpr std::uint8_t kInit = 0x80;

void Append(const std::string& path, const std::vector<std::array<char, 8>>& events, std::size_t cut = 0) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  std::string bytes;
  for (const auto& e : events) bytes.append(e.data(), e.size());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size() - cut));
}

class JoystickTest : public ::testing::Test {
 protected:
  void SetUp() override { SetJoystickDevicePrefixForTest(folder.Path() + "/js"); }
  void TearDown() override { SetJoystickDevicePrefixForTest(""); }

  JOYINFOEX Read(UINT id, MMRESULT expected = JOYERR_NOERROR) {
    JOYINFOEX info;
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    EXPECT_EQ(joyGetPosEx(id, &info), expected);
    return info;
  }

  TempFolder folder;
};

TEST_F(JoystickTest, NoDeviceMeansUnplugged) {
  Read(JOYSTICKID1, JOYERR_UNPLUGGED);
  Read(JOYSTICKID2, JOYERR_UNPLUGGED);
}

TEST_F(JoystickTest, BadArgumentsAreRefused) {
  JOYINFOEX info;
  info.dwSize = sizeof info;
  EXPECT_EQ(joyGetPosEx(kJoystickCount, &info), JOYERR_PARMS);
  EXPECT_EQ(joyGetPosEx(0, nullptr), JOYERR_PARMS);
  info.dwSize = 12;
  EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);
  EXPECT_EQ(joyGetNumDevs(), kJoystickCount);
}

TEST_F(JoystickTest, EventsWaitingOnTheDeviceMakeTheButtonMask) {
  const std::string device = folder.Path() + "/js1";
  Append(device, {Event(0, 0, kButton | kInit, 0), Event(0, 0, kButton | kInit, 1), Event(5, 1, kButton, 0),
                  Event(6, 1, kButton, 3), Event(7, 1, kButton, 31), Event(8, 1, kButton, 40),  // beyond the mask
                  Event(9, -32767, kAxis, 0), Event(9, 32767, kAxis, 1)});
  JOYINFOEX info = Read(1);
  EXPECT_EQ(info.dwButtons, (1u << 0) | (1u << 3) | (1u << 31));
  EXPECT_EQ(info.dwButtonNumber, 3u);
  EXPECT_EQ(info.dwXpos, 1u);
  EXPECT_EQ(info.dwYpos, 65535u);
  EXPECT_EQ(info.dwZpos, 32768u);
  EXPECT_EQ(info.dwPOV, JOY_POVCENTERED);

  // A record split across reads is kept until its end comes.
  Append(device, {Event(10, 0, kButton, 3), Event(11, 1, kButton, 2)}, 4);
  EXPECT_EQ(Read(1).dwButtons, (1u << 0) | (1u << 31));
  std::ofstream(device, std::ios::binary | std::ios::app).write(Event(11, 1, kButton, 2).data() + 4, 4);
  EXPECT_EQ(Read(1).dwButtons, (1u << 0) | (1u << 2) | (1u << 31));

  // Only what the flags ask for is written.
  JOYINFOEX partial;
  partial.dwSize = sizeof partial;
  partial.dwFlags = JOY_RETURNBUTTONS;
  partial.dwXpos = 77;
  ASSERT_EQ(joyGetPosEx(1, &partial), JOYERR_NOERROR);
  EXPECT_EQ(partial.dwXpos, 77u);
  EXPECT_EQ(partial.dwButtons, (1u << 0) | (1u << 2) | (1u << 31));
}

TEST_F(JoystickTest, AHatReadsAsAPointOfView) {
  const std::string device = folder.Path() + "/js0";
  Append(device, {Event(0, 32767, kAxis, 6), Event(0, -32767, kAxis, 7)});
  EXPECT_EQ(Read(0).dwPOV, 4500u);  // up and right
  Append(device, {Event(0, 0, kAxis, 6), Event(0, 32767, kAxis, 7)});
  EXPECT_EQ(Read(0).dwPOV, 18000u);
}

TEST_F(JoystickTest, AFifoDeviceIsReadWithoutBlocking) {
  const std::string device = folder.Path() + "/js2";
  ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
  const int writer = ::open(device.c_str(), O_RDWR | O_NONBLOCK);  // keeps the pipe open both ways
  ASSERT_GE(writer, 0);
  EXPECT_EQ(Read(2).dwButtons, 0u);  // nothing waiting: no wait either
  const std::array<char, 8> press = Event(1, 1, kButton, 5);
  ASSERT_EQ(::write(writer, press.data(), press.size()), 8);
  EXPECT_EQ(Read(2).dwButtons, 1u << 5);
  ::close(writer);
}

TEST_F(JoystickTest, AnEnvironmentPrefixIsUsedWhenNoTestSetsOne) {
  SetJoystickDevicePrefixForTest("");
  const std::string prefix = folder.Path() + "/env-js";
  Append(prefix + "3", {Event(0, 1, kButton, 1)});
  ::setenv("TK_JOYSTICK_PREFIX", prefix.c_str(), 1);
  EXPECT_EQ(Read(3).dwButtons, 1u << 1);
  ::unsetenv("TK_JOYSTICK_PREFIX");
  SetJoystickDevicePrefixForTest("");  // closes what the environment opened
}

}  // namespace
