#include "core/settings.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/app_paths.h"
#include "core/own_callsign.h"
#include "base/trusted_addresses.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"

namespace {

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <std::size_t N>
std::string Text(const std::array<char, N>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), N));
}

template <std::size_t N>
bool Terminated(const std::array<char, N>& buffer) {
  return std::memchr(buffer.data(), '\0', N) != nullptr;
}

std::uint32_t Address(const char* dotted) {
  in_addr address{};
  EXPECT_EQ(inet_pton(AF_INET, dotted, &address), 1) << dotted;
  return address.s_addr;
}

class SettingsFile : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }
  void Load(const std::string& bytes) {
    PutFile(path_, bytes);
    EXPECT_EQ(LoadSetup(path_.c_str()), 1);
  }

  TempFolder folder_;
  std::string path_ = folder_.Path() + "/Tavelkor.ini";
};

struct IntKey {
  const char* section;
  const char* key;
  std::int64_t fallback;
  std::int64_t sample;  // a value other than the default that the file can hold
  std::function<std::int64_t()> loaded;
};

const IntKey kIntKeys[] = {
    {"SETUP", "FlightPlanType", 0, 1, [] { return g_setupSettings.flightPlanType.load(); }},
    {"SETUP", "DefaultVFRSquawk", 1200, 7000, [] { return g_setupSettings.defaultVfrSquawk.load(); }},
    {"SETUP", "EnableWeather", 1, 0, [] { return g_setupSettings.enableWeather.load(); }},
    {"SETUP", "WeatherFromNoaa", 0, 1, [] { return g_setupSettings.weatherFromNoaa.load(); }},
    {"SETUP", "EnableSceneryAdjustHeight", 1, 0, [] { return g_setupSettings.enableSceneryAdjustHeight.load(); }},
    {"SETUP", "EnableMltpChatTextMessages", 1, 0, [] { return g_setupSettings.enableMltpChatTextMessages.load(); }},
    {"SETUP", "EnableAutomaticSyncDateTime", 0, 1, [] { return g_setupSettings.enableAutomaticSyncDateTime.load(); }},
    {"SETUP", "EnableMultiplayerOnStartUp", 1, 0, [] { return g_setupSettings.enableMultiplayerOnStartUp.load(); }},
    {"SETUP", "EnableSoundOnPrivateMsg", 1, 0, [] { return g_setupSettings.enableSoundOnPrivateMsg.load(); }},
    {"SETUP", "Language", 0, 2, [] { return Language.load(); }},
    {"SETUP", "UploadBandWidth", 65536, 8000, [] { return g_setupSettings.uploadBandWidth.load(); }},
    {"SETUP", "TextureFollowCallsign", 0, 1, [] { return g_setupSettings.textureFollowCallsign.load(); }},
    {"SETUP", "UseFsuipc", 0, 1, [] { return g_setupSettings.useFsuipc.load(); }},
    {"SETUP", "AIQuality", 18, 25, [] { return g_setupSettings.aiQuality.load(); }},
    {"NETWORK", "FsPortNumber", 23456, 1234, [] { return g_networkSettings.fsPort.load(); }},
    {"NETWORK", "OrvenaPortNumber", 55009, 40001, [] { return g_networkSettings.orvenaPort.load(); }},
    {"NETWORK", "XplaneDllPortNumber", 55007, 40002, [] { return g_networkSettings.xplaneDllPort.load(); }},
    {"WEATHER", "offset", 17, 3, [] { return g_weatherSettings.offset.load(); }},
};

struct TextKey {
  const char* section;
  const char* key;
  const char* fallback;
  const char* sample;
  std::function<std::string()> loaded;
};

const TextKey kTextKeys[] = {
    {"SETUP", "Base", "", "LFPG", [] { return Text(g_setupSettings.base); }},
    {"SETUP", "PackageOrder", "GLOBS PAI AIA CFSO", "AIA GLOBS", [] { return Text(g_setupSettings.packageOrder); }},
    {"SETUP", "ExcludedPlanes", "PMDG PSS", "XYZ", [] { return Text(g_setupSettings.excludedPlanes); }},
    {"WEATHER", "url", "ftp://metar.example.net/data/observations/metar/stations", "ftp://127.0.0.1/m",
     [] { return Text(g_weatherSettings.url); }},
    {"NETWORK", "LanIpAddress", "", "192.168.1.5", [] { return Text(g_networkSettings.lanIpAddress); }},
    {"NETWORK", "NCSSLanIpAddress", "", "192.168.1.6", [] { return Text(g_networkSettings.ncssLanIpAddress); }},
    {"NETWORK.0", "Website", " ", "net.example.org", [] { return Text(g_networkSettings.slots[0].website); }},
    {"NETWORK.0", "PagePath", " ", "/hubs.php", [] { return Text(g_networkSettings.slots[0].pagePath); }},
    {"NETWORK.0", "PilotID", "", "pilot0", [] { return Text(g_networkSettings.slots[0].pilotId); }},
    {"NETWORK.5", "Website", " ", "five.example.org", [] { return Text(g_networkSettings.slots[5].website); }},
    {"NETWORK.5", "PilotID", "", "pilot5", [] { return Text(g_networkSettings.slots[5].pilotId); }},
    {"FLIGHT PLAN", "CallSign", "", "DEMO01", [] { return OwnCallsign(); }},
};

// One section each, as the program's own writes leave the file.
std::string FileWithSamples() {
  std::vector<std::pair<std::string, std::string>> sections;
  const auto add = [&](const char* section, const char* key, const std::string& value) {
    auto found = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == section; });
    if (found == sections.end()) found = sections.insert(sections.end(), {section, ""});
    found->second += std::string(key) + "=" + value + "\r\n";
  };
  for (const IntKey& k : kIntKeys) add(k.section, k.key, std::to_string(k.sample));
  for (const TextKey& k : kTextKeys) add(k.section, k.key, k.sample);
  add("NETWORK.0", "PilotPW", "secret0");
  add("NETWORK.5", "PilotPW", "secret5");
  std::string file;
  for (const auto& [name, lines] : sections) file += "[" + name + "]\r\n" + lines;
  return file;
}

}  // namespace

TEST_F(SettingsFile, EveryKeyReadsItsValue) {
  Load(FileWithSamples());
  for (const IntKey& k : kIntKeys) EXPECT_EQ(k.loaded(), k.sample) << k.section << " " << k.key;
  for (const TextKey& k : kTextKeys) EXPECT_EQ(k.loaded(), k.sample) << k.section << " " << k.key;
  EXPECT_DOUBLE_EQ(g_setupSettings.aiQualityTenth.load(), 2.5);
  // Compared without printing: a password never reaches any output.
  EXPECT_TRUE(Text(g_networkSettings.slots[0].pilotPassword) == "secret0");
  EXPECT_TRUE(Text(g_networkSettings.slots[5].pilotPassword) == "secret5");
}

TEST_F(SettingsFile, NoFileGivesEveryDefault) {
  Load(FileWithSamples());
  EXPECT_EQ(LoadSetup((folder_.Path() + "/missing.ini").c_str()), 1);
  for (const IntKey& k : kIntKeys) EXPECT_EQ(k.loaded(), k.fallback) << k.section << " " << k.key;
  for (const TextKey& k : kTextKeys) EXPECT_EQ(k.loaded(), k.fallback) << k.section << " " << k.key;
  EXPECT_DOUBLE_EQ(g_setupSettings.aiQualityTenth.load(), 1.8);
  for (const NetworkSlot& slot : g_networkSettings.slots) {
    EXPECT_EQ(Text(slot.website), " ");
    EXPECT_EQ(Text(slot.pagePath), " ");
    EXPECT_EQ(Text(slot.pilotId), "");
    EXPECT_TRUE(Text(slot.pilotPassword).empty());
  }
}

TEST_F(SettingsFile, LanguageOutsideTheThreeBecomesEnglish) {
  const struct {
    const char* value;
    std::int32_t index;
    const char* picked;
  } cases[] = {{"0", 0, "en"}, {"1", 1, "fr"},  {"2", 2, "es"},  {"7", 0, "en"},
               {"3", 0, "en"}, {"-1", 0, "en"}, {"abc", 0, "en"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Load(std::string("[SETUP]\r\nLanguage=") + c.value + "\r\n");
    EXPECT_EQ(Language.load(), c.index);
    EXPECT_STREQ(PickLanguage("en", "fr", "es"), c.picked);
  }
  Language = 5;
  EXPECT_STREQ(PickLanguage("en", "fr", "es"), "en");
  ResetUnknownLanguage();
  EXPECT_EQ(Language.load(), 0);
  Language = 2;
  ResetUnknownLanguage();
  EXPECT_EQ(Language.load(), 2);
  Language = 0;
}

TEST_F(SettingsFile, EmptyWebsiteDiffersFromMissing) {
  Load("[NETWORK.0]\r\nWebsite=\r\nPagePath=\r\n[NETWORK.1]\r\nPagePath=/p\r\n");
  EXPECT_EQ(Text(g_networkSettings.slots[0].website), "");
  EXPECT_EQ(Text(g_networkSettings.slots[0].pagePath), "");
  EXPECT_EQ(Text(g_networkSettings.current.website), "");
  EXPECT_EQ(Text(g_networkSettings.slots[1].website), " ");
  EXPECT_EQ(Text(g_networkSettings.slots[1].pagePath), "/p");
}

TEST_F(SettingsFile, UnparsableNumbersReadAsWindowsDoes) {
  const struct {
    const char* value;
    std::int32_t bandwidth;
  } cases[] = {{"abc", 0}, {"12x", 12}, {" 4096 ", 4096}, {"", 65536}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Load(std::string("[SETUP]\r\nUploadBandWidth=") + c.value + "\r\n");
    EXPECT_EQ(g_setupSettings.uploadBandWidth.load(), c.bandwidth);
  }
}

TEST_F(SettingsFile, SectionsAndKeysWithoutCase) {
  Load("[setup]\nlanguage=1\ndefaultvfrsquawk=7000\n[network.0]\nWEBSITE=net.example.org\n[Weather]\nURL=ftp://x/\n");
  EXPECT_EQ(Language.load(), 1);
  EXPECT_EQ(g_setupSettings.defaultVfrSquawk.load(), 7000);
  EXPECT_EQ(Text(g_networkSettings.slots[0].website), "net.example.org");
  EXPECT_EQ(Text(g_weatherSettings.url), "ftp://x/");
  Language = 0;
}

TEST_F(SettingsFile, LongStringsAreCutAndTerminated) {
  Load("[SETUP]\r\nBase=ABCDEFG\r\nPackageOrder=" + std::string(3000, 'P') +
       "\r\nExcludedPlanes=" + std::string(1020, 'E') + "\r\n[NETWORK.0]\r\nWebsite=" + std::string(400, 'w') +
       "\r\nPilotID=" + std::string(40, 'i') + "\r\nPilotPW=" + std::string(40, 'p') +
       "\r\n[WEATHER]\r\nurl=" + std::string(2000, 'u') + "\r\n[FLIGHT PLAN]\r\nCallSign=" + std::string(20, 'c') +
       "\r\n");
  EXPECT_EQ(Text(g_setupSettings.base), "ABCD");
  EXPECT_EQ(Text(g_setupSettings.packageOrder), std::string(1019, 'P'));
  EXPECT_EQ(g_setupSettings.packageOrder[1019], '\0');
  EXPECT_EQ(Text(g_setupSettings.excludedPlanes), std::string(1019, 'E'));
  EXPECT_EQ(g_setupSettings.excludedPlanes[1019], '\0');
  EXPECT_EQ(Text(g_weatherSettings.url), std::string(1019, 'u'));
  EXPECT_EQ(Text(g_networkSettings.slots[0].website), std::string(255, 'w'));
  EXPECT_EQ(Text(g_networkSettings.slots[0].pilotId), std::string(15, 'i'));
  EXPECT_EQ(Text(g_networkSettings.slots[0].pilotPassword).size(), 15u);
  EXPECT_TRUE(Terminated(g_networkSettings.current.pilotPassword));
  EXPECT_EQ(OwnCallsign(), std::string(15, 'c'));
}

TEST_F(SettingsFile, SlotZeroBecomesTheActiveSite) {
  const struct {
    const char* website;
    bool direct;
  } cases[] = {{"192.0.2.10", true}, {"net.example.org", false}, {"", false}, {" 1.2.3.4", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.website);
    Load(std::string("[NETWORK.0]\r\nWebsite=\"") + c.website + "\"\r\nPagePath=/hubs\r\nPilotID=me\r\n");
    const NetworkSlot active = CurrentNetworkSlot();
    EXPECT_EQ(Text(active.website), c.website);
    EXPECT_EQ(Text(active.pagePath), "/hubs");
    EXPECT_EQ(Text(active.pilotId), "me");
    EXPECT_EQ(g_networkSettings.directAddress.load(), c.direct);
    if (c.direct) {
      EXPECT_EQ(Text(g_networkSettings.hubText), c.website);
    }
  }
  Load("[NETWORK.0]\r\nWebsite=zero.example.org\r\n[NETWORK.3]\r\nWebsite=10.0.0.9\r\nPilotID=three\r\n");
  ActivateNetworkSlot(3);
  EXPECT_EQ(Text(g_networkSettings.current.website), "10.0.0.9");
  EXPECT_EQ(Text(g_networkSettings.current.pilotId), "three");
  EXPECT_TRUE(g_networkSettings.directAddress.load());
  ActivateNetworkSlot(6);
  ActivateNetworkSlot(-1);
  EXPECT_EQ(Text(g_networkSettings.current.website), "10.0.0.9");
  // A website slot after the numeric one keeps nothing of its node.
  ActivateNetworkSlot(0);
  EXPECT_FALSE(g_networkSettings.directAddress.load());
  EXPECT_EQ(Text(g_networkSettings.hubText), "") << "no hub list is known for the new site";
}

TEST_F(SettingsFile, PositionOfTenThousandCountsAsMissing) {
  const struct {
    const char* name;
    std::string file;
    std::optional<WindowPosition> expected;
  } cases[] = {
      {"all four",
       "[POSITIONS]\nMainPositionLeft=-8\nMainPositionTop=20\nMainPositionRight=800\nMainPositionBottom=600\n",
       WindowPosition{-8, 20, 800, 600}},
      {"one holds 10000",
       "[POSITIONS]\nMainPositionLeft=10000\nMainPositionTop=20\nMainPositionRight=800\nMainPositionBottom=600\n",
       std::nullopt},
      {"one missing", "[POSITIONS]\nMainPositionLeft=1\nMainPositionTop=20\nMainPositionRight=800\n", std::nullopt},
      {"other window only",
       "[POSITIONS]\nChatPositionLeft=1\nChatPositionTop=2\nChatPositionRight=3\nChatPositionBottom=4\n", std::nullopt},
      {"no file", "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PutFile(path_, c.file);
    EXPECT_EQ(ReadWindowPosition("Main", path_.c_str()), c.expected);
  }
  ASSERT_TRUE(WriteWindowPosition("Locate", WindowPosition{-4, 5, 60, 70}, path_.c_str()));
  EXPECT_EQ(ReadWindowPosition("locate", path_.c_str()), (WindowPosition{-4, 5, 60, 70}));
  EXPECT_NE(FileBytes(path_).find("LocatePositionBottom=70\r\n"), std::string::npos);
}

TEST_F(SettingsFile, WriteKeepsOtherLines) {
  PutFile(path_, "; my settings\n[SETUP]\nLanguage=0\nMyOwnKey = kept\n\n[NETWORK.0]\nWebsite=net.example.org\n");
  ASSERT_TRUE(WriteSettingInt("SETUP", "Language", 2, path_.c_str()));
  ASSERT_TRUE(WriteSettingString("SETUP", "Base", "EGLL", path_.c_str()));
  ASSERT_TRUE(WriteSettingInt("SETUP", "UploadBandWidth", -1, path_.c_str()));
  EXPECT_EQ(FileBytes(path_),
            "; my settings\n[SETUP]\nLanguage=2\r\nMyOwnKey = kept\nBase=EGLL\r\nUploadBandWidth=-1\r\n\n[NETWORK.0]\n"
            "Website=net.example.org\n");
  EXPECT_EQ(LoadSetup(path_.c_str()), 1);
  EXPECT_EQ(Language.load(), 2);
  EXPECT_EQ(Text(g_setupSettings.base), "EGLL");
  EXPECT_EQ(g_setupSettings.uploadBandWidth.load(), -1);
  ASSERT_TRUE(WriteSettingString("SETUP", "Base", nullptr, path_.c_str()));
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(ReadSettingString("SETUP", "Base", "none", buffer, path_.c_str()), 4u);
  EXPECT_STREQ(buffer, "none");
  EXPECT_EQ(ReadSettingInt("SETUP", "UploadBandWidth", 0, path_.c_str()), -1);
  Language = 0;
}

TEST_F(SettingsFile, ProgramSettingsFileIsTheDefault) {
  const std::string previous = g_appPaths().settingsFile;
  g_appPaths().settingsFile = path_;
  PutFile(path_, "[SETUP]\r\nDefaultVFRSquawk=2000\r\n");
  EXPECT_EQ(LoadSetup(), 1);
  EXPECT_EQ(g_setupSettings.defaultVfrSquawk.load(), 2000);
  EXPECT_TRUE(WriteSettingInt("SETUP", "DefaultVFRSquawk", 1234));
  EXPECT_EQ(ReadSettingInt("SETUP", "DefaultVFRSquawk", 0), 1234);
  g_appPaths().settingsFile = previous;
}

class TrustedSettings : public KlibFixture {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.Path() + "/Tavelkor.ini";
};

TEST_F(TrustedSettings, EntriesReachTheTrustedList) {
  PutFile(path_,
          "[TRUSTED]\r\nIP0=203.0.113.7\r\nIP1=\r\nIP2=not an address\r\nip3=198.51.100.2\r\nIP9=192.0.2.1\r\n"
          "IP10=192.0.2.99\r\n");
  EXPECT_EQ(IsTrustedAddress(Address("203.0.113.7"), 0), 0);
  EXPECT_EQ(LoadSetup(path_.c_str()), 1);
  EXPECT_EQ(IsTrustedAddress(Address("203.0.113.7"), 0), 1);
  EXPECT_EQ(IsTrustedAddress(Address("198.51.100.2"), 0), 1);
  EXPECT_EQ(IsTrustedAddress(Address("192.0.2.1"), 0), 1);
  EXPECT_EQ(IsTrustedAddress(Address("192.0.2.99"), 0), 0);
  std::size_t stored = 0;
  for (const auto& slot : TrustedAddressSlots()) stored += slot.first != 0 ? 1 : 0;
  EXPECT_EQ(stored, 3u);
}

TEST_F(TrustedSettings, OverlongEntriesAreCutAndNeverTrusted) {
  // Each is cut to the address field (63 characters); what is left is no address,
  // even where its first characters are one.
  PutFile(path_, "[TRUSTED]\r\nIP0=" + std::string(500, '1') + "\r\nIP1=203.0.113.7" + std::string(489, 'x') +
                     "\r\nIP2=198.51.100.2" + std::string(488, '0') + "\r\nIP3=192.0.2.1\r\n");
  EXPECT_EQ(LoadSetup(path_.c_str()), 1);
  EXPECT_EQ(IsTrustedAddress(Address("203.0.113.7"), 0), 0);
  EXPECT_EQ(IsTrustedAddress(Address("198.51.100.2"), 0), 0);
  EXPECT_EQ(IsTrustedAddress(Address("192.0.2.1"), 0), 1);  // the short entry beside them counts
  std::vector<std::uint32_t> stored;
  for (const auto& slot : TrustedAddressSlots())
    if (slot.first != 0) stored.push_back(slot.first);
  EXPECT_EQ(stored, std::vector<std::uint32_t>{Address("192.0.2.1")});
}
