#include "net/web_task_way.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "test_way.h"
#include "testbed/tcp_listener.h"
#include "testbed/web_page_server.h"
#include "win/msgbox.h"
#include "win/winsock.h"

namespace {

constexpr int kWaitMs = 5000;

class RecordingWebWay : public CWebTaskWay {
 public:
  RecordingWebWay() : CWebTaskWay(nullptr) {}
  ~RecordingWebWay() override {
    // Stop before the recorder goes: the thread may still be tracing.
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }

  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool Traced(const std::string& part) {
    for (const std::string& line : Lines()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

 protected:
  void WebTrace(WebTraceStyle style, bool lineBreak, std::string_view text) override {
    {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(text);
    }
    CWebTaskWay::WebTrace(style, lineBreak, text);
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

class WebTaskWayTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    if (const char* text = std::getenv("TK_PORTMAP")) savedPortMap_ = text;
    {
      std::lock_guard guard(SettingsTextLock());
      savedSlot_ = g_networkSettings.current;
    }
    SetOwnPublicAddress("");
    SetHubListText("");
    SetWebTaskCallback([this](WebTaskReport report) {
      std::lock_guard lock(mutex_);
      reports_.push_back(report);
    });
  }
  void TearDown() override {
    SetWebTaskCallback({});
    {
      std::lock_guard guard(SettingsTextLock());
      g_networkSettings.current = savedSlot_;
    }
    SetOwnPublicAddress("");
    SetHubListText("");
    if (savedPortMap_) {
      setenv("TK_PORTMAP", savedPortMap_->c_str(), 1);
    } else {
      unsetenv("TK_PORTMAP");
    }
    ReloadPortMapForTest();
    WayTest::TearDown();
  }

  static void UseSite(std::string_view host, std::string_view page) {
    std::lock_guard guard(SettingsTextLock());
    g_networkSettings.current.website = SettingText<kWebTextSize>(host);
    g_networkSettings.current.pagePath = SettingText<kWebTextSize>(page);
  }
  static void MapPort80To(std::uint16_t port) {
    setenv("TK_PORTMAP", ("80=" + std::to_string(port)).c_str(), 1);
    ReloadPortMapForTest();
  }
  void UseServer(const WebPageServer& server) {
    ASSERT_TRUE(server.Ok());
    MapPort80To(server.Port());
    UseSite("localhost", server.Page());
  }

  std::vector<WebTaskReport> Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }
  bool WaitForReport(WebTaskReport report) {
    return TestWay::WaitFor(kWaitMs, [&] {
      for (const WebTaskReport r : Reports()) {
        if (r == report) return true;
      }
      return false;
    });
  }

  // Starts the way and posts it the web task.
  void RunTask(RecordingWebWay& way) {
    ASSERT_TRUE(way.StartWay());
    ASSERT_EQ(CBaseThread::Post(nullptr, &way, THRDMSG_WEBTASK, 0, 0, "TEST"), 1);
  }

  std::mutex mutex_;
  std::vector<WebTaskReport> reports_;
  std::optional<std::string> savedPortMap_;
  NetworkSlot savedSlot_;
};

TEST_F(WebTaskWayTest, SendsTheExactRequestAndTakesAddressAndHubFromTheBlock) {
  WebPageServer server("/h.php");
  server.SetLines(WebPageServer::HubListLines("203.0.113.7", "hub.example.net:55010"));
  UseServer(server);
  RecordingWebWay way;
  RunTask(way);

  ASSERT_TRUE(server.WaitForRequests(1, kWaitMs));
  EXPECT_EQ(server.Requests().front(),
            "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  ASSERT_TRUE(WaitForReport(WebTaskReport::kConnectToNode));
  EXPECT_EQ(OwnPublicAddress(), "203.0.113.7");
  EXPECT_EQ(HubListText(), "hub.example.net:55010");
  const std::vector<WebTaskReport> reports = Reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], WebTaskReport::kConnecting);
  EXPECT_EQ(reports[1], WebTaskReport::kConnectToNode);
  // The start pause goes through the replaceable pause, never a real sleep in tests.
  const std::vector<DWORD> pauses = RecordedPauses();
  ASSERT_FALSE(pauses.empty());
  EXPECT_EQ(pauses.front(), kWebTaskStartPauseMs);
}

TEST_F(WebTaskWayTest, KeywordsOutsideTheBlockAreIgnoredAndUnknownOnesInsideAreFlood) {
  WebPageServer server;
  server.SetLines({"FROMWEBSITE_HUBS_LIST:outside.example.net:1", "FROMWEBSITE_START", "FROMWEBSITE_UNHEARD:x",
                   "FROMWEBSITE_PRINT:hello pilots", "FROMWEBSITE_END",
                   "FROMWEBSITE_YOUR_IP:198.51.100.1"});
  UseServer(server);
  RecordingWebWay way;
  RunTask(way);

  ASSERT_TRUE(WaitForReport(WebTaskReport::kConnectToNode));
  // Once the page has closed, every line it sent has been read.
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsLost(); }));
  EXPECT_TRUE(way.Traced("hello pilots"));
  EXPECT_EQ(HubListText(), "");
  EXPECT_EQ(OwnPublicAddress(), "");
  EXPECT_TRUE(way.Traced("FLOOD PACKET RECEIVED FROM 127.0.0.1 : FROMWEBSITE_UNHEARD:x"));
  // The status and header lines come before the block: never flood.
  int floods = 0;
  for (const std::string& line : way.Lines()) floods += line.find("FLOOD PACKET") != std::string::npos ? 1 : 0;
  EXPECT_EQ(floods, 1);
}

TEST_F(WebTaskWayTest, ASecondTaskOnTheSameWayAsksAgain) {
  WebPageServer server;
  server.SetLines(WebPageServer::HubListLines("203.0.113.9", "first.example.net:1"));
  UseServer(server);
  RecordingWebWay way;
  RunTask(way);
  ASSERT_TRUE(WaitForReport(WebTaskReport::kConnectToNode));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsLost(); }));

  server.SetLines(WebPageServer::HubListLines("203.0.113.9", "second.example.net:2"));
  ASSERT_EQ(CBaseThread::Post(nullptr, &way, THRDMSG_WEBTASK, 0, 0, "TEST"), 1);
  ASSERT_TRUE(server.WaitForRequests(2, kWaitMs));
  EXPECT_EQ(server.Requests()[1], server.Requests()[0]);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return HubListText() == "second.example.net:2"; }));
}

TEST_F(WebTaskWayTest, StopRunningEndsOfflineWithTheSiteMessage) {
  WebPageServer server;
  server.SetLines({"FROMWEBSITE_START", "FROMWEBSITE_STOP_RUNNING:closed for works", "FROMWEBSITE_END"});
  UseServer(server);
  RecordingWebWay way;
  RunTask(way);

  ASSERT_TRUE(WaitForReport(WebTaskReport::kOffline));
  for (const WebTaskReport r : Reports()) EXPECT_NE(r, WebTaskReport::kConnectToNode);
  bool shown = false;
  for (const auto& box : ShownMessageBoxes()) {
    if (box.text.find("closed for works") != std::string::npos) shown = true;
  }
  EXPECT_TRUE(shown);
}

TEST_F(WebTaskWayTest, ReplySplitIntoSmallChunksStillWorks) {
  WebPageServer server;
  server.SetLines(WebPageServer::HubListLines("192.0.2.44", "node.example.org:6000"));
  server.SetChunkBytes(3, 1);
  UseServer(server);
  RecordingWebWay way;
  RunTask(way);

  ASSERT_TRUE(WaitForReport(WebTaskReport::kConnectToNode));
  EXPECT_EQ(OwnPublicAddress(), "192.0.2.44");
  EXPECT_EQ(HubListText(), "node.example.org:6000");
}

TEST_F(WebTaskWayTest, UnreachableSiteReportsOfflineOnce) {
  std::uint16_t closedPort = 0;
  {
    TcpListener listener;
    ASSERT_TRUE(listener.Ok());
    closedPort = listener.Port();
  }
  MapPort80To(closedPort);
  UseSite("localhost", "/h.php");
  RecordingWebWay way;
  RunTask(way);

  ASSERT_TRUE(WaitForReport(WebTaskReport::kOffline));
  way.RequestStop(0);
  ASSERT_TRUE(way.WaitForEnd(kWaitMs));
  EXPECT_EQ(Reports().size(), 1u);
  EXPECT_EQ(way.SleepCountdown(), kWebTaskSleepSeconds);
  EXPECT_EQ(HubListText(), "");
}

TEST_F(WebTaskWayTest, InvalidSiteSettingsNeverConnect) {
  struct Case {
    const char* host;
    const char* page;
  };
  // The missing-key default is one blank; a CR would inject a header.
  const Case cases[] = {{" ", " "}, {"", "/h.php"}, {"localhost", ""}, {"localhost\r\nX: y", "/h.php"}};
  WebPageServer server;
  ASSERT_TRUE(server.Ok());
  MapPort80To(server.Port());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    {
      std::lock_guard lock(mutex_);
      reports_.clear();
    }
    UseSite(c.host, c.page);
    RecordingWebWay way;
    RunTask(way);
    ASSERT_TRUE(WaitForReport(WebTaskReport::kOffline));
    EXPECT_EQ(Reports().size(), 1u);
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
