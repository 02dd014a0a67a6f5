// The Windows version this platform layer reports: Windows 10 (NT 10.0,
// build 19045). Tests may make it report another one.
#pragma once

#include <array>
#include <optional>

#include "win/types.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  std::array<char, 128> szCSDVersion{};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// Low byte the major version, next byte the minor one; the high bit is set in
// the Windows 95 family, where bits 16..30 hold no build.
DWORD GetVersion();
// FALSE (and nothing written) unless dwOSVersionInfoSize is 148.
BOOL GetVersionExA(OSVERSIONINFOA* info);

struct ReportedVersion {
  DWORD major = 10;
  DWORD minor = 0;
  DWORD build = 19045;
  DWORD platform = VER_PLATFORM_WIN32_NT;
};
// nullopt reports the default again.
void SetReportedVersionForTest(std::optional<ReportedVersion> version);
