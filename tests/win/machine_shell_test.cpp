#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/child_process.h"
#include "win/machine_id.h"
#include "win/shell.h"

namespace {

class MachineIdTest : public ::testing::Test {
 protected:
  void TearDown() override { SetMachineIdPathForTest(""); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder.Path() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  TempFolder folder;
};

TEST(MachineIdHash, IsTheFnv1aOfTheText) {
  EXPECT_EQ(Fnv1a32(""), 0x811C9DC5u);
  EXPECT_EQ(Fnv1a32("a"), 0xE40C292Cu);
  EXPECT_EQ(Fnv1a32("foobar"), 0xBF9CF968u);
}

TEST_F(MachineIdTest, TheSerialFollowsTheIdentityAndIgnoresItsLineEnd) {
  SetMachineIdPathForTest(Write("one", "0123456789abcdef0123456789abcdef\n"));
  DWORD first = 0;
  DWORD again = 0;
  std::array<char, 16> volume{'x'};
  std::array<char, 4> fileSystem{};
  DWORD component = 0;
  DWORD flags = 7;
  ASSERT_TRUE(GetVolumeInformationA("C:\\", volume.data(), volume.size(), &first, &component, &flags,
                                    fileSystem.data(), fileSystem.size()));
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, &again, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(first, again);  // stable
  EXPECT_EQ(first, Fnv1a32("0123456789abcdef0123456789abcdef"));
  EXPECT_STREQ(volume.data(), "");
  EXPECT_STREQ(fileSystem.data(), "LIN");  // cut to its buffer
  EXPECT_EQ(component, 255u);
  EXPECT_EQ(flags, 0u);

  SetMachineIdPathForTest(Write("two", "0123456789abcdef0123456789abcdef\r\n"));
  DWORD same = 0;
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, &same, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(same, first);
  SetMachineIdPathForTest(Write("three", "fedcba9876543210fedcba9876543210\n"));
  DWORD other = 0;
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, &other, nullptr, nullptr, nullptr, 0));
  EXPECT_NE(other, first);
}

TEST_F(MachineIdTest, AMissingEmptyOrOversizedIdentityFailsCleanly) {
  for (const std::string& path : {folder.Path() + "/absent", Write("empty", " \n"),
                                  Write("huge", std::string(5000, 'a')), folder.Path()}) {
    SCOPED_TRACE(path);
    SetMachineIdPathForTest(path);
    DWORD serial = 0x1234;
    EXPECT_FALSE(GetVolumeInformationA(nullptr, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(serial, 0x1234u);
  }
}

TEST(MachineIdDefault, TheMachinesOwnIdentityIsStable) {
  struct stat info {};
  if (::stat("/etc/machine-id", &info) != 0 || info.st_size == 0) GTEST_SKIP() << "no /etc/machine-id here";
  DWORD first = 0;
  DWORD second = 0;
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, &first, nullptr, nullptr, nullptr, 0));
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, &second, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(first, second);
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetShellLaunchEnabled(false);
    ClearShellRequests();
  }
  void TearDown() override { SetShellLaunchEnabled(true); }
  TempFolder folder;
};

TEST_F(ShellTest, OpeningIsRecordedAndAnsweredAsWindowsDoes) {
  const std::string settings = folder.Path() + "/Tavelkor.ini";
  std::ofstream(settings) << "[SETUP]\r\n";
  struct Case {
    const char* verb;
    std::string file;
    std::intptr_t code;  // 0: success (above 32)
  };
  const std::vector<Case> cases = {
      {nullptr, settings, 0},
      {"open", settings, 0},
      {"OPEN", "https://example.invalid/page", 0},
      {"open", folder.Path() + "/missing.ini", SE_ERR_FNF},
      {"open", "", SE_ERR_FNF},
      {"print", settings, SE_ERR_NOASSOC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::intptr_t code = ShellResultCode(ShellExecuteA(0, c.verb, c.file.c_str(), nullptr, nullptr, 1));
    if (c.code == 0) {
      EXPECT_GT(code, 32);
    } else {
      EXPECT_EQ(code, c.code);
    }
  }
  const std::vector<ShellRequest> requests = ShellRequests();
  ASSERT_EQ(requests.size(), cases.size());
  EXPECT_EQ(requests[0].file, settings);
  EXPECT_EQ(requests[0].show, 1);
  for (const ShellRequest& r : requests) EXPECT_FALSE(r.launched);
}

TEST_F(ShellTest, SpecialFoldersFollowTheXdgRules) {
  const char* home = std::getenv("HOME");
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string savedHome = home != nullptr ? home : "";
  const std::string savedConfig = config != nullptr ? config : "";
  std::array<char, MAX_PATH> path{};

  ::setenv("HOME", folder.Path().c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_APPDATA, FALSE));
  EXPECT_EQ(std::string(path.data()), folder.Path() + "/.config");
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_APPDATA, TRUE));
  struct stat info {};
  EXPECT_EQ(::stat(path.data(), &info), 0);  // made on request

  ::setenv("XDG_CONFIG_HOME", (folder.Path() + "/conf/").c_str(), 1);
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_APPDATA, FALSE));
  EXPECT_EQ(std::string(path.data()), folder.Path() + "/conf");
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_APPDATA, FALSE));
  EXPECT_EQ(std::string(path.data()), folder.Path() + "/.config");
  ASSERT_TRUE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(std::string(path.data()), folder.Path());
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path.data(), 0x7777, FALSE));
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, nullptr, CSIDL_APPDATA, FALSE));
  ::setenv("XDG_CONFIG_HOME", ("/" + std::string(MAX_PATH, 'x')).c_str(), 1);
  EXPECT_FALSE(SHGetSpecialFolderPathA(0, path.data(), CSIDL_APPDATA, FALSE));  // does not fit

  if (home != nullptr) ::setenv("HOME", savedHome.c_str(), 1);
  else ::unsetenv("HOME");
  if (config != nullptr) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
