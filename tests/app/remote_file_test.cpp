#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>

#include "app/remote_file.h"
#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "support/klib_fixture.h"
#include "testbed/metar_server.h"
#include "win/internet.h"
#include "win/richedit.h"
#include "win/winsock.h"

namespace {

constexpr const char* kReport = "2026/12/10 09:00\nLFPG 100900Z 24010KT 9999 FEW030 08/03 Q1015\n";

// A loopback port with nobody behind it.
std::uint16_t ClosedPort() {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in bound{};
  EXPECT_EQ(WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)), 0);
  EXPECT_EQ(WsGetSockName(s, &bound), 0);
  closesocket(s);
  return ntohs(bound.sin_port);
}

// A full-size buffer plus the caller's terminator byte, preset to a marker
// so a write past the span shows.
struct Reply {
  std::array<char, kRemoteFileMaxBytes + 1> bytes;
  std::size_t received = 12345;
  Reply() { bytes.fill('~'); }
  int Fetch(const std::string& url) {
    return GetRemoteFile(url.c_str(), std::span(bytes).first(kRemoteFileMaxBytes), &received);
  }
  std::string Text() const { return std::string(bytes.data(), std::min(received, kRemoteFileMaxBytes)); }
};

class RemoteFile : public KlibFixture {
 protected:
  void SetUp() override {
    KlibFixture::SetUp();
    edit_.Create(0, nullptr, 1);
    print_.AttachRichEdit(&edit_, nullptr);
    Klib().traceOutput = &print_;
    ASSERT_TRUE(server_.Ok());
    server_.SetStation("LFPG", kReport);
  }
  void TearDown() override {
    Klib().traceOutput = nullptr;
    ResetInternetTimeoutsForTest();
    KlibFixture::TearDown();
  }
  std::string Url(const char* station) const { return server_.BaseUrl() + "/" + station + ".TXT"; }
  std::string Traced() const { return edit_.Text(); }

  CRichEditCtrl edit_;
  CPrintDlg print_;
  MetarServer server_;
};

}  // namespace

TEST_F(RemoteFile, FetchesAStationReportWithoutCaching) {
  Reply reply;
  ASSERT_EQ(reply.Fetch(Url("LFPG")), 1);
  EXPECT_EQ(reply.Text(), kReport);
  EXPECT_EQ(reply.received, std::string(kReport).size());
  EXPECT_EQ(reply.bytes[reply.received], '~');  // not terminated by the fetch
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].line, "GET /metar/LFPG.TXT HTTP/1.1");
  EXPECT_NE(std::find(requests[0].headers.begin(), requests[0].headers.end(), "Pragma: no-cache"),
            requests[0].headers.end());
  EXPECT_EQ(Traced(), "");
}

TEST_F(RemoteFile, AStationWithoutReportIsStillAFetch) {
  Reply reply;
  ASSERT_EQ(reply.Fetch(Url("EGLL")), 1);
  EXPECT_EQ(reply.Text(), "NO METAR FOR EGLL\n");
  server_.SetStation("EMPT", "");
  ASSERT_EQ(reply.Fetch(Url("EMPT")), 1);
  EXPECT_EQ(reply.received, 0u);
}

TEST_F(RemoteFile, AReplyOfExactlyTheMaximumFillsTheBufferAndIsTraced) {
  Klib().traceMask = 1;
  std::string body(kRemoteFileMaxBytes, 'm');
  body.front() = 'A';
  body.back() = 'Z';
  server_.SetStation("FULL", body);
  Reply reply;
  ASSERT_EQ(reply.Fetch(Url("FULL")), 1);
  EXPECT_EQ(reply.received, kRemoteFileMaxBytes);
  EXPECT_EQ(reply.Text(), body);
  EXPECT_EQ(reply.bytes[kRemoteFileMaxBytes], '~');
  EXPECT_EQ(Traced(),
            "WARNING GetRemoteFile reached maximum (Max allowed 10240 / Total read 10240 / index 0) : For URL " +
                Url("FULL") + "\r\n");
  EXPECT_EQ(edit_.Runs().back().colour, Klib().Colour(kColourEmphasis));
}

TEST_F(RemoteFile, ALongerReplyIsCutAtTheMaximum) {
  std::string body;
  for (int i = 0; body.size() < 3 * kRemoteFileMaxBytes; ++i) body += std::to_string(i) + ' ';
  server_.SetStation("LONG", body);
  Reply reply;
  ASSERT_EQ(reply.Fetch(Url("LONG")), 1);
  EXPECT_EQ(reply.received, kRemoteFileMaxBytes);
  EXPECT_EQ(reply.Text(), body.substr(0, kRemoteFileMaxBytes));
  EXPECT_EQ(reply.bytes[kRemoteFileMaxBytes], '~');
  EXPECT_EQ(Traced(), "");  // trace bit 0 clear

  // A bigger buffer than the maximum is still filled to the maximum only.
  std::array<char, 2 * kRemoteFileMaxBytes> wide{};
  std::size_t received = 0;
  ASSERT_EQ(GetRemoteFile(Url("LONG").c_str(), wide, &received), 1);
  EXPECT_EQ(received, kRemoteFileMaxBytes);
  EXPECT_EQ(wide[kRemoteFileMaxBytes], '\0');
}

TEST_F(RemoteFile, OneByteShortOfTheMaximumIsNotTraced) {
  Klib().traceMask = 1;
  server_.SetStation("NEAR", std::string(kRemoteFileMaxBytes - 1, 'n'));
  Reply reply;
  ASSERT_EQ(reply.Fetch(Url("NEAR")), 1);
  EXPECT_EQ(reply.received, kRemoteFileMaxBytes - 1);
  EXPECT_EQ(Traced(), "");
}

TEST_F(RemoteFile, FailuresAnswerZeroAndNoBytes) {
  const std::string outside = "http://127.0.0.1:" + std::to_string(server_.Port()) + "/elsewhere/LFPG.TXT";
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/metar/LFPG.TXT";
  for (const std::string& url : {outside, Url("LF.PG"), closed, std::string("not a url"),
                                 std::string("file:///etc/hostname")}) {
    Reply reply;
    EXPECT_EQ(reply.Fetch(url), 0) << url;
    EXPECT_EQ(reply.received, 0u) << url;
  }
  server_.SetForcedStatus(500);
  Reply reply;
  EXPECT_EQ(reply.Fetch(Url("LFPG")), 0);
  server_.SetForcedStatus(0);
  server_.SetDropConnections(true);
  EXPECT_EQ(reply.Fetch(Url("LFPG")), 0);
  EXPECT_EQ(GetRemoteFile(nullptr, reply.bytes), 0);
}

TEST_F(RemoteFile, AnUnreachablePortFailsAtOnce) {
  // Bounds of two minutes: a refused call that waited for either would take far longer
  // than the half of one a loaded machine may need for the call itself.
  SetInternetTimeoutsForTest(120'000, 120'000);
  const auto start = std::chrono::steady_clock::now();
  Reply reply;
  EXPECT_EQ(reply.Fetch("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/metar/LFPG.TXT"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(RemoteFile, AServerThatNeverAnswersIsGivenUpAtTheTotalTimeout) {
  SetInternetTimeoutsForTest(1000, 300);
  server_.SetReplyDelayMs(60'000);  // the server's stop ends the wait
  const auto start = std::chrono::steady_clock::now();
  Reply reply;
  EXPECT_EQ(reply.Fetch(Url("LFPG")), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(250));
  EXPECT_LT(took, std::chrono::seconds(30));  // not the server's minute
}

namespace {
class RemoteFilePortMap : public RemoteFile {
 protected:
  void SetUp() override {
    if (const char* text = std::getenv("TK_PORTMAP")) saved_ = text;
    RemoteFile::SetUp();
  }
  void TearDown() override {
    if (saved_) {
      setenv("TK_PORTMAP", saved_->c_str(), 1);
    } else {
      unsetenv("TK_PORTMAP");
    }
    ReloadPortMapForTest();
    RemoteFile::TearDown();
  }

 private:
  std::optional<std::string> saved_;
};
}  // namespace

TEST_F(RemoteFilePortMap, TheWebPortIsServedThroughTheRemap) {
  setenv("TK_PORTMAP", ("80=" + std::to_string(server_.Port())).c_str(), 1);
  ReloadPortMapForTest();
  for (const char* url : {"http://127.0.0.1/metar/LFPG.TXT", "http://127.0.0.1:80/metar/LFPG.TXT",
                          "http://localhost/metar/LFPG.TXT"}) {
    Reply reply;
    ASSERT_EQ(reply.Fetch(url), 1) << url;
    EXPECT_EQ(reply.Text(), kReport) << url;
  }
  EXPECT_EQ(server_.RequestCount(), 3u);
}
