#include "win/version.h"

#include <mutex>

namespace {

std::mutex g_mutex;
ReportedVersion g_version;

ReportedVersion Current() {
  std::lock_guard lock(g_mutex);
  return g_version;
}

}  // namespace

DWORD GetVersion() {
  const ReportedVersion v = Current();
  DWORD value = (v.major & 0xFF) | ((v.minor & 0xFF) << 8);
  if (v.platform == VER_PLATFORM_WIN32_NT) {
    value |= (v.build & 0x7FFF) << 16;
  } else {
    value |= 0x80000000u;
  }
  return value;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
  const ReportedVersion v = Current();
  info->dwMajorVersion = v.major;
  info->dwMinorVersion = v.minor;
  // The Windows 95 family keeps the version in the build's high word.
  info->dwBuildNumber = v.platform == VER_PLATFORM_WIN32_NT
                            ? v.build
                            : ((v.major & 0xFF) << 24) | ((v.minor & 0xFF) << 16) | (v.build & 0xFFFF);
  info->dwPlatformId = v.platform;
  info->szCSDVersion.fill('\0');
  return TRUE;
}

void SetReportedVersionForTest(std::optional<ReportedVersion> version) {
  std::lock_guard lock(g_mutex);
  g_version = version.value_or(ReportedVersion{});
}
