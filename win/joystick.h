// Joysticks through the Linux joystick interface: joystick n is the device
// <prefix><n>, the prefix "/dev/input/js" unless TK_JOYSTICK_PREFIX or a test
// names another. Each call reads the events waiting on the device without
// blocking; a device that is absent or gone answers JOYERR_UNPLUGGED.
#pragma once

#include <string>

#include "win/types.h"

using MMRESULT = UINT;

constexpr MMRESULT JOYERR_NOERROR = 0;
constexpr MMRESULT JOYERR_PARMS = 165;
constexpr MMRESULT JOYERR_NOCANDO = 166;
constexpr MMRESULT JOYERR_UNPLUGGED = 167;

constexpr UINT JOYSTICKID1 = 0;
constexpr UINT JOYSTICKID2 = 1;
constexpr UINT kJoystickCount = 16;

constexpr DWORD JOY_RETURNX = 0x00000001;
constexpr DWORD JOY_RETURNY = 0x00000002;
constexpr DWORD JOY_RETURNZ = 0x00000004;
constexpr DWORD JOY_RETURNR = 0x00000008;
constexpr DWORD JOY_RETURNU = 0x00000010;
constexpr DWORD JOY_RETURNV = 0x00000020;
constexpr DWORD JOY_RETURNPOV = 0x00000040;
constexpr DWORD JOY_RETURNBUTTONS = 0x00000080;
constexpr DWORD JOY_RETURNALL = 0x000000FF;

constexpr DWORD JOY_POVCENTERED = 0xFFFF;

struct JOYINFOEX {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwXpos = 0;
  DWORD dwYpos = 0;
  DWORD dwZpos = 0;
  DWORD dwRpos = 0;
  DWORD dwUpos = 0;
  DWORD dwVpos = 0;
  DWORD dwButtons = 0;       // bit n: button n held (buttons 0..31)
  DWORD dwButtonNumber = 0;  // how many are held
  DWORD dwPOV = 0;
  DWORD dwReserved1 = 0;
  DWORD dwReserved2 = 0;
};

// JOYERR_PARMS for an id from kJoystickCount on, a null record or a wrong
// dwSize. Only the parts dwFlags asks for are written.
MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info);
UINT joyGetNumDevs();

// Tests: devices are <prefix><n>; empty goes back to the environment or the
// default. Open devices are closed.
void SetJoystickDevicePrefixForTest(std::string prefix);
