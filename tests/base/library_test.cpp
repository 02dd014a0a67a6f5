#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/file_utils.h"
#include "base/klib_locks.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"
#include "support/klib_fixture.h"
#include "win/msgbox.h"

namespace {
std::uint32_t Ip(const char* text) { return inet_addr(text); }

class LibraryTest : public KlibFixture {};
}  // namespace

TEST(MessageBoxIcons, TitleWordsPickTheIcon) {
  const struct {
    const char* title;
    UINT icon;
  } cases[] = {
      {"Tavelkor Error", MB_ICONERROR},     {"Attention", MB_ICONWARNING},
      {"Error Information", MB_ICONINFORMATION}, {"Warning Error", MB_ICONERROR},
      {"Hello", MB_ICONERROR},              {"Tavelkor Warning", MB_ICONWARNING},
      {"Informations", MB_ICONINFORMATION}, {"Erreur", MB_ICONERROR},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageIconForTitle(c.title), c.icon) << c.title;
}

TEST(MessageBoxes, ShowMessageIsBoundedAndFlagged) {
  ClearShownMessageBoxes();
  SetMessageBoxEcho(false);
  const std::string longText(20'000, 'y');
  ShowMessage("Attention", "%s", longText.c_str());
  ShowMessage("Tavelkor", "X-Plane.exe file not found !");
  SetMessageBoxEcho(true);
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text.size(), kMessageTextSize - 1);
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONWARNING);
  EXPECT_NE(boxes[0].type & MB_SYSTEMMODAL, 0u);
  EXPECT_NE(boxes[0].type & MB_TOPMOST, 0u);
  EXPECT_EQ(boxes[1].type & MB_ICONMASK, MB_ICONERROR);
}

TEST(MessageBoxes, QuestionWithoutAnyWindowShowsNothing) {
  ClearShownMessageBoxes();
  SetMessageBoxMainWindow(0);
  EXPECT_EQ(ShowMessageWnd(MB_YESNO, MB_DEFBUTTON2, 0, "Question", "Quit ?"), 0);
  EXPECT_TRUE(ShownMessageBoxes().empty());
  SetMessageBoxEcho(false);
  EXPECT_EQ(ShowMessageWnd(MB_YESNO, MB_DEFBUTTON2, 42, "Question", "Quit ?"), IDNO);
  EXPECT_EQ(ShowMessageWnd(MB_YESNO, 0x300, 42, "Question", "Quit ?"), IDYES);  // odd default ignored
  SetMessageBoxEcho(true);
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONQUESTION);
}

TEST(PrivateAddresses, Ranges) {
  const struct {
    const char* address;
    int kind;
  } cases[] = {
      {"127.0.0.1", 1},      {"127.0.0.2", 0},       {"10.0.0.0", 2},       {"10.255.255.254", 2},
      {"10.255.255.255", 0}, {"172.16.0.0", 3},      {"172.31.255.254", 3}, {"172.31.255.255", 0},
      {"172.32.0.1", 0},     {"192.168.1.20", 4},    {"192.168.255.255", 0}, {"8.8.8.8", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyPrivateAddress(Ip(c.address)), c.kind) << c.address;
}

TEST_F(LibraryTest, TrustedListRules) {
  ClearTrustedAddresses();
  EXPECT_EQ(IsTrustedAddress(Ip("192.168.1.20"), 0), 1);
  EXPECT_EQ(IsTrustedAddress(Ip("192.168.255.255"), 0), 0);
  EXPECT_EQ(IsTrustedAddress(0, 0), 0);

  AddTrustedAddressText("81.2.3.4");
  AddTrustedAddressText("81.2.3.4");
  AddTrustedAddressText("10.1.2.3");
  auto slots = TrustedAddressSlots();
  EXPECT_EQ(slots[0].first, Ip("81.2.3.4"));
  EXPECT_EQ(slots[1].first, 0u);
  EXPECT_EQ(IsTrustedAddress(Ip("81.2.3.4"), 0), 1);
  EXPECT_EQ(IsTrustedAddress(Ip("81.2.3.4"), 1), 0);  // the second word must match too
}

TEST_F(LibraryTest, MalformedAddressTextIsNeverTrusted) {
  ClearTrustedAddresses();
  for (const char* text : {"", "garbage", "1.2.3", "256.1.1.1", "1.2.3.4.5", " 81.2.3.4", "81.2.3.4x"})
    AddTrustedAddressText(text);
  EXPECT_EQ(TrustedAddressSlots()[0].first, 0u);
  EXPECT_EQ(IsTrustedAddress(Ip("255.255.255.255"), 0), 0);
}

TEST_F(LibraryTest, FullListDropsOldestAndRemoveEmptiesLastSlot) {
  ClearTrustedAddresses();
  const std::uint32_t size = static_cast<std::uint32_t>(TrustedAddressSlots().size());
  ASSERT_EQ(size, 1000u);
  for (std::uint32_t i = 0; i < size + 1; ++i) AddTrustedAddress(htonl(0x51000000u + i), 0);
  auto slots = TrustedAddressSlots();
  EXPECT_EQ(slots.front().first, htonl(0x51000000u + size));
  EXPECT_EQ(IsTrustedAddress(htonl(0x51000000u), 0), 0);  // the oldest fell off
  EXPECT_EQ(RemoveTrustedAddress(htonl(0x51000000u + 500), 0), 1);
  EXPECT_EQ(RemoveTrustedAddress(htonl(0x51000000u + 500), 0), 0);
  slots = TrustedAddressSlots();
  EXPECT_EQ(slots.back(), (std::pair<std::uint32_t, std::uint32_t>{0, 0}));
  EXPECT_EQ(RemoveTrustedAddress(0, 0), 0);
  EXPECT_EQ(RemoveTrustedAddress(Ip("10.1.1.1"), 0), 0);
}

TEST(FileUtils, WrappersOnRealFiles) {
  char dir[] = "/tmp/tk_files_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/a.bin";
  EXPECT_EQ(FileExists(path.c_str()), 0);
  std::FILE* f = FileOpen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(FileWrite(f, "abcdef", 6), 1);
  const std::uint8_t byte = 'g';
  EXPECT_EQ(FileWriteByte(f, &byte), 1);
  EXPECT_EQ(FileClose(f), 0);
  EXPECT_EQ(f, nullptr);
  EXPECT_EQ(FileClose(f), -1);
  EXPECT_EQ(FileExists(path.c_str()), 1);

  f = FileOpen(path.c_str(), "rb");
  std::array<char, 7> out{};
  std::fseek(f, 2, SEEK_SET);
  EXPECT_EQ(FileSize(f), 7);
  EXPECT_EQ(std::ftell(f), 2);  // position restored
  std::fseek(f, 0, SEEK_SET);
  EXPECT_EQ(FileRead(f, out.data(), 7), 1);
  EXPECT_EQ(FileRead(f, out.data(), 1), 0);
  FileClose(f);
  EXPECT_EQ(FileSize(nullptr), 0);
  EXPECT_EQ(FileRead(nullptr, out.data(), 1), 0);

  const std::string log = std::string(dir) + "/log.txt";
  GetKlibLock(KlibLockId::LogFile).Create();
  AppendToFile(log.c_str(), "one ");
  AppendToFile(log.c_str(), "two");
  AppendToFile(log.c_str(), "");
  std::ifstream in(log);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(all, "one two");
  std::filesystem::remove_all(dir);
}

TEST(LibraryStart, RefusesWithoutMainThread) {
  ResetKlibForTest();
  ClearShownMessageBoxes();
  SetMessageBoxEcho(false);
  EXPECT_EQ(KlibInit(nullptr), -1);
  EXPECT_EQ(KlibInit(KlibGetSettings()), -503);
  SetMessageBoxEcho(true);
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Warning");
  EXPECT_EQ(boxes[0].text, "Error Memory alloc COBUAL00.");
  EXPECT_EQ(KlibShutdown(), -1);
}

TEST_F(LibraryTest, ShutdownSetsExitFirstAndDefaultsAreFilled) {
  EXPECT_STREQ(Klib().logTag, "app_TK");
  EXPECT_TRUE(GetKlibLock(KlibLockId::Compression).Usable());
  main_->RequestStop(0);
  main_->WaitForEnd(5000);
  EXPECT_EQ(KlibShutdown(), 0);
  EXPECT_TRUE(Klib().Exiting());
  EXPECT_FALSE(GetKlibLock(KlibLockId::TrustedList).Usable());
  EXPECT_EQ(IsTrustedAddress(Ip("81.2.3.4"), 0), 0);  // a late user finds an empty list, never freed memory
  AddTrustedAddressText("81.2.3.4");
  EXPECT_EQ(KlibShutdown(), -1);
}
