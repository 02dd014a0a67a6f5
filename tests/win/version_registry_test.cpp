#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "win/registry.h"
#include "win/version.h"

namespace {

struct ReportedVersionGuard {
  ~ReportedVersionGuard() { SetReportedVersionForTest(std::nullopt); }
};

TEST(Version, ReportsWindowsTenBuild19045) {
  EXPECT_EQ(GetVersion(), 10u | (0u << 8) | (19045u << 16));
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, 10u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  EXPECT_EQ(info.dwBuildNumber, 19045u);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.szCSDVersion[0], '\0');
}

TEST(Version, TheRecordMustGiveItsSize) {
  for (DWORD size : {0u, 147u, 149u, 156u}) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = size;
    EXPECT_FALSE(GetVersionExA(&info)) << size;
    EXPECT_EQ(info.dwMajorVersion, 0u);
  }
  EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST(Version, ANinetyFiveFamilyVersionSetsTheHighBit) {
  ReportedVersionGuard guard;
  SetReportedVersionForTest(ReportedVersion{4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS});
  EXPECT_EQ(GetVersion(), 0x80000000u | 4u | (90u << 8));
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 90u);
  EXPECT_EQ(info.dwBuildNumber & 0xFFFF, 3000u);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { ResetRegistryForTest(); }
  void TearDown() override { ResetRegistryForTest(); }

  static void Put(HKEY root, const char* path, const char* name, const std::string& bytes, DWORD type = REG_SZ) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(Registry, AValueIsReadBackFromItsKeyNamedWithoutCase) {
  Put(HKEY_CURRENT_USER, "Software\\Maker\\Tool", "Path", std::string("C:\\x", 5));
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\maker\\TOOL", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  std::array<BYTE, 16> data{};
  DWORD size = data.size();
  ASSERT_EQ(RegQueryValueExA(key, "path", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(reinterpret_cast<const char*>(data.data()), "C:\\x");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  // Each root has its own keys.
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker\\Tool", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, 0u);
}

TEST_F(Registry, ErrorsAreThoseOfWindows) {
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(0x1234, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  Put(HKEY_LOCAL_MACHINE, "Software\\A", "Count", std::string("\x07\0\0\0", 4), REG_DWORD);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\A", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 7u);
  // Opened for reading only.
  EXPECT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 2),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
  EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_INVALID_HANDLE);
}

TEST_F(Registry, AShortBufferGetsMoreDataAndTheSizeNeeded) {
  const std::string text("Windows Classic.theme", 22);
  Put(HKEY_CURRENT_USER, "Software\\T", nullptr, text);
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\T", 0, KEY_READ, &key), ERROR_SUCCESS);
  std::array<BYTE, 8> small{};
  small.fill('#');
  DWORD size = small.size();
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, small.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(small[0], '#');  // nothing copied
  size = 0;
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 22u);
  std::array<BYTE, 22> exact{};
  size = exact.size();
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, exact.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(exact.data(), text.data(), text.size()), 0);
  RegCloseKey(key);
}

TEST_F(Registry, ATextStoredWithoutItsTerminatorComesBackWithoutOne) {
  Put(HKEY_CURRENT_USER, "Software\\T", nullptr, "abc");
  HKEY key = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\T", 0, KEY_READ, &key), ERROR_SUCCESS);
  std::array<BYTE, 8> data{};
  data.fill('#');
  DWORD size = data.size();
  ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, data.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(data[3], '#');
  RegCloseKey(key);
}

TEST_F(Registry, CreatingTellsANewKeyFromAnExistingOne) {
  HKEY key = 0;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\NEW", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\\\Gap", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_INVALID_PARAMETER);
}

}  // namespace
