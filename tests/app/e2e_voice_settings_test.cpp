// The real program on the scripted sound device: the voice settings dialog,
// opened from the main setup's voice button, lists both microphones and both
// speakers; another device saved restarts voice on it and writes its label,
// and a Save that changes no device restarts nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "support/child_process.h"
#include "voice/script_audio_library.h"

namespace {

class E2eVoiceSettings : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ClientEndToEnd::SetUp();
    environment_.push_back(std::string(kAudioScriptVariable) + "=" + audio_.Path());
  }

  std::string Settings() const {
    std::ifstream in(program_ + "/Tavelkor.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Chat() { return JoinedLines(automation_.Request("text 7057 7005")); }
  // How often voice opened its devices, as its lines in the chat output tell: each
  // opening's last line, printed after both devices' names.
  int VoiceOpenings() {
    static constexpr char kLastLine[] = "To change Voice Device : ";
    const std::string chat = Chat();
    int count = 0;
    for (std::size_t at = chat.find(kLastLine); at != std::string::npos; at = chat.find(kLastLine, at + 1)) {
      ++count;
    }
    return count;
  }
  bool WaitForOpenings(int count) {
    return WaitUntil(kWaitMs, [&] { return VoiceOpenings() >= count; });
  }
  // The main setup's voice button shows the dialog.
  bool OpenVoiceSettings() {
    Ask("click 7005 7242");
    return Shows("window 7060 visible=1");
  }
  // A main setup without its voice button yet (an earlier stage of the program) cannot open it.
  void Save() {
    Ask("click 7060 7089");
    EXPECT_TRUE(Shows("window 7060 visible=0"));
  }

  TempFolder audio_;
};

TEST_F(E2eVoiceSettings, AnotherDeviceRestartsVoiceOnItAndAnUnchangedSaveRestartsNothing) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  ASSERT_TRUE(WaitForOpenings(1)) << Chat();
  // The label and the name are two prints: another thread's line may come between them.
  const std::string first = Chat();
  const std::size_t label = first.find("Voice Input on ");
  ASSERT_NE(label, std::string::npos) << first;
  EXPECT_NE(first.find(kScriptMicrophoneName, label), std::string::npos) << first;
  ASSERT_TRUE(OpenVoiceSettings());

  const std::string dump = Dump();
  EXPECT_NE(dump.find("window 7060 visible=1 text=Integrated Voice System"), std::string::npos);
  EXPECT_NE(dump.find("control 7060 1108 kind=combo visible=1 enabled=1 text=Script Microphone [ Default Input ]"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("item 1 Script Microphone 2"), std::string::npos);
  EXPECT_NE(dump.find("item 1 Script Speaker 2"), std::string::npos);
  EXPECT_NE(dump.find("control 7060 7243 kind=static visible=1 enabled=1 text=0.00 dB"), std::string::npos);

  // The second microphone: voice stops and opens it.
  Ask("select 7060 1108 1");
  Save();
  ASSERT_TRUE(WaitForOpenings(2)) << Chat();
  EXPECT_NE(Chat().find(std::string("Voice Input on ") + kScriptSecondMicrophoneName), std::string::npos);
  EXPECT_NE(Settings().find("VoiceInputDevice=Script Microphone 2"), std::string::npos) << Settings();
  EXPECT_NE(Settings().find("VoiceOutputDevice=Script Speaker [ Default Output ]"), std::string::npos);

  // Shown and saved as it is: no restart. The next change's opening comes
  // after any that an unchanged Save would have caused.
  ASSERT_TRUE(OpenVoiceSettings());
  EXPECT_NE(Dump().find("text=Script Microphone 2\n"), std::string::npos) << "the saved label selected";
  Save();
  ASSERT_TRUE(OpenVoiceSettings());
  Ask("select 7060 1109 1");
  Save();
  ASSERT_TRUE(WaitForOpenings(3)) << Chat();
  EXPECT_EQ(VoiceOpenings(), 3) << Chat();
  EXPECT_NE(Chat().find(std::string("Voice Output on ") + kScriptSecondSpeakerName), std::string::npos);
  EXPECT_NE(Settings().find("VoiceOutputDevice=Script Speaker 2"), std::string::npos);
  Quit();
}

}  // namespace
