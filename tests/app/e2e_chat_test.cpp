// The real program in a demo tree, logged in to the stand-in network, its
// plug-in stand-in flying with COM1 on 122.80 selected, and a scripted pilot
// peer linked to it: the peer's texts on air and in private reach the chat
// window by the radios, in their colours, and the chat's own lines reach the
// peer.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/text_records.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_codes.h"

namespace {

class ChatEndToEnd : public ClientEndToEnd {
 protected:
  // The chat output's runs, as automation shows them.
  std::vector<std::string> Runs() { return automation_.Request("runs 7057 7005"); }

  // A run of that colour and effects whose text holds `text` (line breaks are written \r\n).
  bool HasRun(const std::vector<std::string>& runs, const char* colour, int effects, const std::string& text) {
    const std::string head = std::string("run ") + colour + " " + std::to_string(effects) + " ";
    for (const std::string& run : runs) {
      if (run.rfind(head, 0) == 0 && run.find(text, head.size()) != std::string::npos) return true;
    }
    return false;
  }

  // The same for a run that ends with `text`.
  bool HasRunEnding(const std::vector<std::string>& runs, const char* colour, int effects, const std::string& text) {
    const std::string head = std::string("run ") + colour + " " + std::to_string(effects) + " ";
    for (const std::string& run : runs) {
      if (run.rfind(head, 0) == 0 && run.size() >= head.size() + text.size() &&
          run.compare(run.size() - text.size(), text.size(), text) == 0) {
        return true;
      }
    }
    return false;
  }

  bool WaitForRun(const char* colour, int effects, const std::string& text) {
    return WaitUntil(kWaitMs, [&] { return HasRun(Runs(), colour, effects, text); });
  }

  template <typename Record, std::size_t N>
  static std::vector<Record> TextsOf(const PilotPeer& peer, std::uint8_t type, Record (*read)(std::span<const std::uint8_t, N>)) {
    std::vector<Record> texts;
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.type != type) continue;
      std::array<std::uint8_t, N> bytes{};
      if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) texts.push_back(read(bytes));
    }
    return texts;
  }
};

TEST_F(ChatEndToEnd, APeersTextsAreShownByTheRadiosInTheirColoursAndTheChatsLinesReachHim) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();
  // The scripted flight's radios: COM1 122.80 selected, COM2 121.50.
  ASSERT_NE(DumpUntil("control 7055 7112 kind=static visible=1 enabled=1 text=122.80").find("text=122.80"),
            std::string::npos);

  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.centreLatitude = 49.02;
  script.centreLongitude = 2.6;
  script.answerLogin = false;
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  // A second pilot nearby, who is never written to in private.
  PilotPeerScript otherScript = script;
  otherScript.callsign = "DEMO03";
  otherScript.login = "demo3";
  PilotPeer other(otherScript);
  ASSERT_TRUE(other.Connect(listeningPort_));
  ASSERT_TRUE(other.SendLogin());
  ASSERT_TRUE(other.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();

  // On air on the selected COM1, on an untuned frequency, on the guard frequency; then in private.
  ASSERT_TRUE(peer.SendTextOnAir("hello on the field", 122.8));
  ASSERT_TRUE(peer.SendTextOnAir("not for you", 119.1));
  ASSERT_TRUE(peer.SendTextOnAir("mayday", 121.5));
  ASSERT_TRUE(peer.SendPrivateText("TEST01", "psst"));
  ASSERT_TRUE(WaitForRun("FA9D52", 1, "[private] DEMO02 : psst")) << JoinedLines(Runs()) << client_->Stderr();
  const std::vector<std::string> runs = Runs();
  EXPECT_TRUE(HasRunEnding(runs, "FA9D52", 1, "DEMO02 ")) << JoinedLines(runs);
  EXPECT_TRUE(HasRun(runs, "8CA48C", 0, "on 122.80 Mhz : hello on the field")) << JoinedLines(runs);
  EXPECT_TRUE(HasRun(runs, "3232FF", 1, "[ON GUARD] ")) << JoinedLines(runs);
  EXPECT_TRUE(HasRun(runs, "3232FF", 0, "DEMO02 : mayday")) << JoinedLines(runs);
  EXPECT_EQ(JoinedLines(runs).find("not for you"), std::string::npos) << "no selected radio is on 119.10";
  // The sender of a private text joins the recipient list.
  EXPECT_NE(DumpUntil("item 1 DEMO02").find("item 1 DEMO02"), std::string::npos);

  // The chat's own lines, typed and sent with ENTER: one to him in private, one on air.
  Ask("settext 7057 7003 .DEMO02 hi there");
  Ask("key RETURN down");
  Ask("key RETURN up");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    return !TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).empty();
  })) << client_->Stderr();
  const PrivateTextRecord toHim = TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).front();
  EXPECT_EQ(toHim.sender, "TEST01");
  EXPECT_EQ(toHim.recipient, "DEMO02");
  EXPECT_EQ(toHim.text, "hi there");
  EXPECT_TRUE(WaitForRun("04F05C", 1, "TEST01 -> DEMO02 : hi there")) << JoinedLines(Runs());

  // To a callsign without a way of its own: the node relays it.
  Ask("settext 7057 7003 .far9 over the hills");
  Ask("key RETURN down");
  Ask("key RETURN up");
  std::optional<PrivateTextRecord> longHaul;
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type != NCSMSG_TEXT_LONGHAUL) continue;
      PrivateTextRecordBytes bytes{};
      if (frame.header.Compressed()) {
        if (UnpackCompressedRecord(frame.body, bytes) != kRecordOk) continue;
      } else if (frame.body.size() == bytes.size()) {
        std::copy(frame.body.begin(), frame.body.end(), bytes.begin());
      } else {
        continue;
      }
      longHaul = ReadPrivateTextRecord(bytes);
    }
    return longHaul.has_value();
  })) << client_->Stderr();
  EXPECT_EQ(longHaul->recipient, "far9");
  EXPECT_EQ(longHaul->text, "over the hills");
  EXPECT_TRUE(WaitForRun("04F05C", 1, "TEST01 -> FAR9 : over the hills")) << JoinedLines(Runs());

  Ask("settext 7057 7003 radio check");
  Ask("key RETURN down");
  Ask("key RETURN up");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    return !TextsOf(peer, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).empty();
  })) << client_->Stderr();
  const TextOnAirRecord onAir = TextsOf(peer, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).front();
  EXPECT_EQ(onAir.sender, "TEST01");
  EXPECT_EQ(onAir.text, "radio check");
  EXPECT_DOUBLE_EQ(onAir.frequencyMhz, 122.8);
  EXPECT_TRUE(WaitForRun("04F05C", 0, "122.80 Mhz : radio check")) << JoinedLines(Runs());
  // On air reaches every linked pilot; the private text reached only its recipient.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    return !TextsOf(other, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).empty();
  })) << client_->Stderr();
  EXPECT_EQ(TextsOf(other, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).front().text, "radio check");
  EXPECT_TRUE(TextsOf(other, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).empty());
  EXPECT_EQ(TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).size(), 1u);

  // The transponder command goes to the plug-in as command 122 and echoes nothing;
  // a code above 7777 goes nowhere.
  const std::size_t squawks = plugin_.RecordCount(plugin_link::XTK_CMD_SET_SQUAWK);
  for (const char* line : {".X 7778", ".X 7000"}) {
    Ask(std::string("settext 7057 7003 ") + line);
    Ask("key RETURN down");
    Ask("key RETURN up");
  }
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_SET_SQUAWK, squawks + 1, kWaitMs)) << client_->Stderr();
  std::vector<std::uint8_t> code;
  for (const PluginServer::Record& record : plugin_.Records()) {
    if (record.code == plugin_link::XTK_CMD_SET_SQUAWK) code = record.body;
  }
  EXPECT_EQ(code, (std::vector<std::uint8_t>{0x58, 0x1B})) << "7000, little-endian";
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_SET_SQUAWK), squawks + 1);
  const std::string shown = JoinedLines(Runs());
  EXPECT_EQ(shown.find("7778"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("X 7000"), std::string::npos) << shown;

  Quit();
}

}  // namespace
