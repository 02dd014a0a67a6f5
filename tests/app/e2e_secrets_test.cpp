// The pilot's password on the real program: it reaches the node in the login
// and stays in the settings file and the network setup's field; no trace
// line, chat line, automation answer, frame to a peer, record to the plug-in,
// web request or other file the program writes holds it, through a login, a
// peer's admission and the quit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/node_records.h"
#include "testbed/pilot_peer.h"

namespace {

// Long enough that no other text of the program holds it by chance.
constexpr char kPassword[] = "Qz7vPw0rdKx";

class SecretsEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ClientEndToEnd::SetUp();
    std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary | std::ios::trunc);
    ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=" << kPassword
        << "\r\n[FLIGHT PLAN]\r\nCallSign=TEST01\r\n";
  }

  // Every answer is kept for the scan.
  std::string Answer(const std::string& line) {
    std::string joined = JoinedLines(Ask(line));
    answers_ += joined;
    return joined;
  }
  bool Answers(const std::string& line, const std::string& text) {
    return WaitUntil(kWaitMs, [&] { return Answer(line).find(text) != std::string::npos; });
  }

  // The files under the tree, but the settings file, each with its bytes.
  std::vector<std::pair<std::string, std::string>> WrittenFiles() const {
    std::vector<std::pair<std::string, std::string>> files;
    const std::filesystem::path settings = std::filesystem::path(program_) / "Tavelkor.ini";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree_.Path())) {
      if (!entry.is_regular_file() || entry.path() == settings) continue;
      std::ifstream file(entry.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << file.rdbuf();
      files.emplace_back(entry.path().string(), bytes.str());
    }
    return files;
  }

  std::string answers_;
};

TEST_F(SecretsEndToEnd, ThePasswordReachesTheNodeAndNothingTheProgramShowsOrWritesHoldsIt) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  // The network setup's field holds it, shown as stars.
  Answer("command 7055 32838");
  ASSERT_TRUE(Answers("dump", "window 134 visible=1")) << client_->Stderr();
  const std::string stars(sizeof kPassword - 1, '*');
  EXPECT_EQ(Answer("text 134 7004"), stars + "\nok\n");
  EXPECT_NE(Answer("dump").find("control 134 7004 kind=edit visible=1 enabled=1 text=" + stars + "\n"),
            std::string::npos);
  Answer("command 134 2");

  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  LoginRecord login;
  ASSERT_EQ(ReadLoginRecord(node_.Frames().front().body, login), kNodeRecordOk);
  EXPECT_EQ(login.identity.passwordOrServer, kPassword) << "the node is given it";
  ASSERT_TRUE(Answers("dump", "image 7096")) << client_->Stderr();

  // A session: a pilot peer is admitted and talks to the client.
  PilotPeer peer(NearbyPilot());
  ASSERT_NO_FATAL_FAILURE(Admit(peer));
  ASSERT_TRUE(peer.SendPrivateText("TEST01", "hello from DEMO02"));
  ASSERT_TRUE(Answers("dump", "hello from DEMO02")) << client_->Stderr();
  for (const char* line : {"boxes", "text 7055 7107", "text 7055 7106", "text 7055 7111"}) Answer(line);
  Quit();

  EXPECT_EQ(answers_.find(kPassword), std::string::npos) << "an automation answer or chat line holds it";
  EXPECT_EQ(client_->Stdout().find(kPassword), std::string::npos) << "a trace line holds it";
  EXPECT_EQ(client_->Stderr().find(kPassword), std::string::npos) << "a trace line holds it";
  for (const Frame& frame : peer.Frames()) {
    const std::string body(frame.body.begin(), frame.body.end());
    EXPECT_EQ(body.find(kPassword), std::string::npos) << "a frame to the peer holds it";
  }
  for (const PluginServer::Record& record : plugin_.Records()) {
    const std::string body(record.body.begin(), record.body.end());
    EXPECT_EQ(body.find(kPassword), std::string::npos) << "a record to the plug-in holds it";
  }
  for (const std::string& request : web_.Requests()) {
    EXPECT_EQ(request.find(kPassword), std::string::npos) << "the web page is asked with it";
  }
  const auto files = WrittenFiles();
  EXPECT_FALSE(files.empty());
  for (const auto& [path, bytes] : files) EXPECT_EQ(bytes.find(kPassword), std::string::npos) << path;
  std::ifstream settings(program_ + "/Tavelkor.ini", std::ios::binary);
  std::ostringstream kept;
  kept << settings.rdbuf();
  EXPECT_NE(kept.str().find(std::string("PilotPW=") + kPassword + "\r\n"), std::string::npos) << "still saved";
}

}  // namespace
