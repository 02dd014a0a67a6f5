#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/bc_menu.h"
#include "win/gdi.h"
#include "win/registry.h"
#include "win/version.h"

namespace {

struct VersionRow {
  ReportedVersion version;
  int versionClass;
};

class BCMenuVersion : public ::testing::Test {
 protected:
  void TearDown() override {
    SetReportedVersionForTest(std::nullopt);
    BCMenu::SetVersionRecordAllocationFailsForTest(false);
    BCMenu::SetWindowsVersionClassForTest(BCMenu::ClassifyWindowsVersion());
    ResetRegistryForTest();
    BCMenu::ForgetClassicThemeForTest();
  }
};

constexpr DWORD k95 = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;

TEST_F(BCMenuVersion, EveryRowOfTheClassTable) {
  const std::vector<VersionRow> rows = {
      {{3, 95, 0, k95}, 0},   {{4, 0, 950, k95}, 2},   {{4, 10, 1998, k95}, 3}, {{4, 90, 3000, k95}, 4},
      {{4, 20, 0, k95}, 2},   {{4, 0, 1381, kNt}, 5},  {{5, 0, 2195, kNt}, 6},  {{5, 1, 2600, kNt}, 7},
      {{5, 2, 3790, kNt}, 1}, {{6, 1, 7601, kNt}, 1},  {{10, 0, 19045, kNt}, 1}, {{10, 0, 22631, kNt}, 1},
      {{3, 51, 1057, kNt}, 1},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(std::to_string(row.version.major) + "." + std::to_string(row.version.minor) + " platform " +
                 std::to_string(row.version.platform));
    SetReportedVersionForTest(row.version);
    EXPECT_EQ(BCMenu::ClassifyWindowsVersion(), row.versionClass);
  }
}

TEST_F(BCMenuVersion, WithoutTheRecordTheFamilyDecides) {
  BCMenu::SetVersionRecordAllocationFailsForTest(true);
  SetReportedVersionForTest(ReportedVersion{4, 10, 1998, k95});
  EXPECT_EQ(BCMenu::ClassifyWindowsVersion(), 2);
  SetReportedVersionForTest(ReportedVersion{3, 10, 0, k95});
  EXPECT_EQ(BCMenu::ClassifyWindowsVersion(), 0);  // decided before the record is needed
  SetReportedVersionForTest(ReportedVersion{5, 1, 2600, kNt});
  EXPECT_EQ(BCMenu::ClassifyWindowsVersion(), 1);
}

TEST_F(BCMenuVersion, WindowsTenIsClassOneAndGetsTheClassicLook) {
  EXPECT_EQ(BCMenu::WindowsVersionClass(), 1);  // classified at start, on the version reported
  CDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
  EXPECT_FALSE(BCMenu::UsesXpLook(dc.m_hDC));
  BCMenu::SetWindowsVersionClassForTest(7);  // Windows XP with visual styles
  EXPECT_TRUE(BCMenu::UsesXpLook(dc.m_hDC));
}

void SetTheme(const std::string& bytes) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Themes\\Current", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(BCMenuVersion, TheClassicThemeIsTheRegistryValueEndingInItsName) {
  struct Case {
    std::string value;  // nullopt-like: "-" leaves the key absent
    bool classic;
  };
  const std::string classic = "C:\\WINDOWS\\Resources\\Themes\\Windows Classic.theme";
  const std::vector<Case> cases = {
      {"-", false},
      {classic + std::string(1, '\0'), true},
      {classic, true},  // stored without its terminator
      {"c:\\x\\WINDOWS CLASSIC.THEME" + std::string(1, '\0'), true},
      {"C:\\WINDOWS\\Resources\\Themes\\Luna.theme" + std::string(1, '\0'), false},
      {"Windows Classic.theme.bak" + std::string(1, '\0'), false},
      {std::string(300, 'x') + "Windows Classic.theme" + std::string(1, '\0'), false},  // too long to read
      {std::string(239, 'x') + "Windows Classic.theme", true},                          // 260 bytes, no end
      {std::string(240, 'x') + "Windows Classic.theme", false},                         // 261 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.size());
    ResetRegistryForTest();
    BCMenu::ForgetClassicThemeForTest();
    if (c.value != "-") SetTheme(c.value);
    EXPECT_EQ(BCMenu::IsWindowsClassicTheme() != FALSE, c.classic);
  }
}

TEST_F(BCMenuVersion, TheThemeIsReadOnce) {
  BCMenu::ForgetClassicThemeForTest();
  EXPECT_FALSE(BCMenu::IsWindowsClassicTheme());
  SetTheme("Windows Classic.theme");
  EXPECT_FALSE(BCMenu::IsWindowsClassicTheme());
  // On XP the classic theme keeps the classic look.
  BCMenu::ForgetClassicThemeForTest();
  BCMenu::SetWindowsVersionClassForTest(7);
  CDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
  EXPECT_FALSE(BCMenu::UsesXpLook(dc.m_hDC));
}

TEST(BCMenuColour, LighteningMovesEachChannelTowardsWhite) {
  EXPECT_EQ(BCMenu::LightenColor(RGB(0, 100, 255), 0.5), RGB(127, 177, 255));
  EXPECT_EQ(BCMenu::LightenColor(RGB(10, 20, 30), 1.0), RGB(255, 255, 255));
  EXPECT_EQ(BCMenu::LightenColor(RGB(212, 208, 200), 0.25), RGB(222, 219, 213));
  for (double factor : {0.0, -0.5, 1.5}) EXPECT_EQ(BCMenu::LightenColor(RGB(1, 2, 3), factor), RGB(1, 2, 3));
}

}  // namespace
