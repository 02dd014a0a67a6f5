// The real program starts with a good, a broken or no Splash.bmp in its
// folder: the start-up completes each time and leaves no splash behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"

namespace {

enum class SplashFile { kGood, kTruncated, kNotABitmap, kNone };

class SplashEndToEnd : public ClientEndToEnd, public ::testing::WithParamInterface<SplashFile> {
 protected:
  void WriteSplash(SplashFile kind) {
    const std::string path = program_ + "/Splash.bmp";
    std::ifstream in(std::string(TK_SOURCE_DIR) + "/res/bitmaps/7095.bmp", std::ios::binary);
    std::vector<char> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(good.size(), 100u);
    std::ofstream out(path, std::ios::binary);
    switch (kind) {
      case SplashFile::kGood: out.write(good.data(), static_cast<std::streamsize>(good.size())); break;
      case SplashFile::kTruncated: out.write(good.data(), static_cast<std::streamsize>(good.size() / 2)); break;
      case SplashFile::kNotABitmap: out << "BM not a bitmap at all"; break;
      case SplashFile::kNone: out.close(); std::filesystem::remove(path); break;
    }
  }
};

std::string SplashFileName(const ::testing::TestParamInfo<SplashFile>& info) {
  switch (info.param) {
    case SplashFile::kGood: return "Good";
    case SplashFile::kTruncated: return "Truncated";
    case SplashFile::kNotABitmap: return "NotABitmap";
    case SplashFile::kNone: return "None";
  }
  return "Unknown";
}

TEST_P(SplashEndToEnd, TheStartupCompletesAndLeavesNoSplash) {
  ASSERT_NO_FATAL_FAILURE(WriteSplash(GetParam()));
  ASSERT_NO_FATAL_FAILURE(StartClient());
  const std::string dump = DumpUntil("No METAR available yet.");
  ASSERT_NE(dump.find("No METAR available yet."), std::string::npos) << dump << client_->Stderr();
  EXPECT_NE(dump.find("window 7055 visible=1"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("classwindow SPLASH"), std::string::npos) << dump;
  Quit();
}

INSTANTIATE_TEST_SUITE_P(Files, SplashEndToEnd,
                         ::testing::Values(SplashFile::kGood, SplashFile::kTruncated, SplashFile::kNotABitmap,
                                           SplashFile::kNone),
                         SplashFileName);

}  // namespace
