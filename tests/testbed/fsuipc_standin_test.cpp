// The FSUIPC server mode's options of tk_standins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "testbed/fsuipc_standin.h"

namespace {

TEST(FsuipcStandinOptions, EachOptionIsTakenOrRefused) {
  struct Case {
    const char* name;
    const char* value;
    StandinOption result;
  };
  const Case cases[] = {
      {"--fsuipc", "UIPCMAIN", StandinOption::Taken},
      {"--fsuipc", "FS98MAIN", StandinOption::Taken},
      {"--fsuipc", "OTHER", StandinOption::Bad},
      {"--fsuipc-version", "0x19980004", StandinOption::Taken},
      {"--fsuipc-version", "0x1FFFFFFFF", StandinOption::Bad},
      {"--fsuipc-sim-version", "4276944908", StandinOption::Taken},
      {"--fsuipc-slots", "2", StandinOption::Taken},
      {"--fsuipc-slots", "65536", StandinOption::Bad},
      {"--fsuipc-slot-size", "4x", StandinOption::Bad},
      {"--fsuipc-fault", "silent", StandinOption::Taken},
      {"--fsuipc-fault", "answer:0", StandinOption::Taken},
      {"--fsuipc-fault", "answer:", StandinOption::Bad},
      {"--fsuipc-fault", "read-size:-2", StandinOption::Taken},
      {"--fsuipc-fault", "loud", StandinOption::Bad},
      {"--own-ip", "1.2.3.4", StandinOption::NotMine},
  };
  for (const Case& c : cases) {
    FsuipcStandinOptions options;
    EXPECT_EQ(ParseFsuipcOption(c.name, c.value, options), c.result) << c.name << " " << c.value;
  }
  FsuipcStandinOptions options;
  ASSERT_EQ(ParseFsuipcOption("--fsuipc-version", "0x19980004", options), StandinOption::Taken);
  ASSERT_EQ(ParseFsuipcOption("--fsuipc-fault", "read-size:-2", options), StandinOption::Taken);
  ASSERT_EQ(ParseFsuipcOption("--fsuipc-slots", "3", options), StandinOption::Taken);
  EXPECT_EQ(options.serverVersion, 0x19980004u);
  EXPECT_EQ(options.readSizeChange, -2);
  EXPECT_EQ(options.slotCount, 3);
}

TEST(FsuipcStandinOptions, TheServerNeedsTheWindowsFolder) {
  FsuipcStandinOptions options;
  std::string error;
  EXPECT_EQ(StartFsuipcStandin(options, nullptr, error), nullptr) << "none asked for";
  EXPECT_TRUE(error.empty());
  options.window = "UIPCMAIN";
  const char* folder = std::getenv("TK_WINDOWS");
  if (folder == nullptr) {
    EXPECT_EQ(StartFsuipcStandin(options, nullptr, error), nullptr);
    EXPECT_EQ(error, "could not publish UIPCMAIN (is TK_WINDOWS set?)");
  }
}

}  // namespace
