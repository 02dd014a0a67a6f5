// The real program's main setup, opened from the main menu: French chosen in
// its language list changes its texts, Save stores the language in the
// settings file, and the main dialog's context menu then speaks French; the
// login shows the pilot's names the node gave.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MainSetupEndToEnd : public ClientEndToEnd {
 protected:
  std::string Text(int control) {
    const auto answer = automation_.Request("text 7005 " + std::to_string(control));
    if (answer.size() == 2 && answer.back() == "ok") return answer.front();
    return "<" + JoinedLines(answer) + ">";
  }
};

TEST_F(MainSetupEndToEnd, FrenchChosenAndSavedIsStoredAndSpokenByTheContextMenu) {
  AppendSettings("[SETUP]\r\nLanguage=0\r\nDefaultVFRSquawk=4321\r\n");
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_TRUE(Shows("window 7005 visible=0")) << client_->Stderr();

  Ask("command 7055 32801");
  const std::string shown = DumpUntil("window 7005 visible=1");
  ASSERT_NE(shown.find("window 7005 visible=1 text=Main setup\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("control 7005 7102 kind=combo visible=1 enabled=1 text=English\n"
                       "item 0 English\nitem 1 Fran\xC3\xA7" "ais\nitem 2 Espa\xC3\xB1ol\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("control 7005 7577 kind=radio"), std::string::npos);
  EXPECT_NE(shown.find("control 7005 7249 kind=trackbar"), std::string::npos);
  EXPECT_EQ(Text(7200), "1.8");
  Ask("setpos 7005 7249 25");
  EXPECT_EQ(Text(7200), "2.5");

  Ask("select 7005 7102 1");
  EXPECT_TRUE(Shows("window 7005 visible=1 text=R\xC3\xA9glages g\xC3\xA9n\xC3\xA9raux\n"));
  EXPECT_EQ(Text(7089), "Enregistrer");
  EXPECT_EQ(Text(7092), "Squawk VFR par d\xC3\xA9" "faut");

  Ask("click 7005 7089");
  EXPECT_TRUE(Shows("window 7005 visible=0"));
  const std::string settings = program_ + "/Tavelkor.ini";
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return FileBytes(settings).find("Language=1\r\n") != std::string::npos; }))
      << FileBytes(settings);
  EXPECT_NE(FileBytes(settings).find("DefaultVFRSquawk=1200\r\n"), std::string::npos);
  EXPECT_NE(FileBytes(settings).find("AIQuality=25\r\n"), std::string::npos);

  // Not connected: the context menu's connect item, in the saved language.
  const std::vector<std::string> menu = automation_.Request("menu 7055");
  std::string connect;
  for (const std::string& line : menu) {
    if (line.find(" 32795 ") != std::string::npos) connect = line;
  }
  EXPECT_EQ(connect.substr(connect.find("text=") == std::string::npos ? 0 : connect.find("text=")), "text=&Connecter")
      << JoinedLines(menu);
  Quit();
}

TEST_F(MainSetupEndToEnd, TheLoginShowsThePilotsNamesInTheSetup) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_TRUE(Shows("You have joined your session.")) << client_->Stderr();
  EXPECT_EQ(Text(7008), "");
  PressConnect();
  ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return Text(7008) == "Test" && Text(7009) == "Pilot"; }))
      << Text(7008) << " " << Text(7009);
  Quit();
}

}  // namespace
