#include <gtest/gtest.h>

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "testbed/metar_server.h"
#include "win/internet.h"

namespace {

constexpr DWORD kAllFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY;

class Internet : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Ok()); }
  std::string Url(const char* station) const { return server_.BaseUrl() + "/" + station + ".TXT"; }
  bool Sent(const std::string& header) const {
    const auto requests = server_.Requests();
    if (requests.empty()) return false;
    const auto& headers = requests.back().headers;
    return std::find(headers.begin(), headers.end(), header) != headers.end();
  }
  bool SentNamed(const std::string& prefix) const {
    const auto requests = server_.Requests();
    if (requests.empty()) return false;
    const auto& headers = requests.back().headers;
    return std::any_of(headers.begin(), headers.end(), [&](const std::string& h) { return h.starts_with(prefix); });
  }

  MetarServer server_;
};

}  // namespace

TEST_F(Internet, ReloadAsksCachesNotToAnswerAndTheAgentIsOptional) {
  server_.SetStation("LFPG", "report");
  std::array<char, 64> buffer{};
  ASSERT_TRUE(InternetFetchUrl(Url("LFPG").c_str(), kAllFlags, buffer).ok);
  EXPECT_TRUE(Sent("Pragma: no-cache"));
  EXPECT_TRUE(Sent("Cache-Control: no-cache"));
  EXPECT_FALSE(SentNamed("User-Agent:"));

  ASSERT_TRUE(InternetFetchUrl(Url("LFPG").c_str(), 0, buffer, "Tavelkor").ok);
  EXPECT_FALSE(SentNamed("Pragma:"));
  EXPECT_FALSE(SentNamed("Cache-Control:"));
  EXPECT_TRUE(Sent("User-Agent: Tavelkor"));
}

TEST_F(Internet, TheBufferBoundsTheReplyAndSaysWhenItWasCut) {
  server_.SetStation("FITS", std::string(100, 'F'));
  server_.SetStation("OVER", std::string(101, 'O'));
  struct Case {
    const char* station;
    std::size_t bufferSize;
    std::size_t bytes;
    bool truncated;
  };
  for (const Case c : {Case{"FITS", 100, 100, false}, Case{"FITS", 200, 100, false}, Case{"OVER", 100, 100, true},
                       Case{"OVER", 0, 0, true}}) {
    std::vector<char> buffer(c.bufferSize + 1, '~');
    const InternetFetch fetch = InternetFetchUrl(Url(c.station).c_str(), kAllFlags, std::span(buffer).first(c.bufferSize));
    EXPECT_TRUE(fetch.ok) << c.station << ' ' << c.bufferSize;
    EXPECT_EQ(fetch.status, 200) << c.station << ' ' << c.bufferSize;
    EXPECT_EQ(fetch.error, 0) << c.station << ' ' << c.bufferSize;
    EXPECT_EQ(fetch.bytes, c.bytes) << c.station << ' ' << c.bufferSize;
    EXPECT_EQ(fetch.truncated, c.truncated) << c.station << ' ' << c.bufferSize;
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + static_cast<long>(c.bytes), c.station[0]),
              static_cast<long>(c.bytes));
    EXPECT_EQ(buffer[c.bufferSize], '~');  // nothing written past the span
  }
}

TEST_F(Internet, AnHttpStatusOtherThan2xxIsAFailure) {
  std::array<char, 256> buffer{};
  const InternetFetch missing = InternetFetchUrl((server_.BaseUrl() + "/LFPG.txt").c_str(), kAllFlags, buffer);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.bytes, 0u);
  EXPECT_NE(missing.error, 0);
  for (const int status : {500, 403, 302}) {
    server_.SetForcedStatus(status);
    const InternetFetch forced = InternetFetchUrl(Url("LFPG").c_str(), kAllFlags, buffer);
    EXPECT_FALSE(forced.ok) << status;
    EXPECT_EQ(forced.status, status);
  }
}

TEST_F(Internet, OnlyWebAndFileTransferSchemesAreFetched) {
  std::array<char, 256> buffer{};
  for (const char* url : {"file:///etc/hostname", "dict://127.0.0.1/x", "gopher://127.0.0.1/", "", "::"}) {
    const InternetFetch fetch = InternetFetchUrl(url, kAllFlags, buffer);
    EXPECT_FALSE(fetch.ok) << url;
    EXPECT_NE(fetch.error, 0) << url;
  }
  EXPECT_EQ(InternetFetchUrl("file:///etc/hostname", kAllFlags, buffer).error, CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_FALSE(InternetFetchUrl(nullptr, kAllFlags, buffer).ok);
}

TEST_F(Internet, ADroppedConnectionIsAFailure) {
  server_.SetDropConnections(true);
  std::array<char, 256> buffer{};
  const InternetFetch fetch = InternetFetchUrl(Url("LFPG").c_str(), kAllFlags, buffer);
  EXPECT_FALSE(fetch.ok);
  EXPECT_EQ(fetch.bytes, 0u);
  EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(Internet, ThreadsFetchAtTheSameTime) {
  server_.SetStation("KSFO", "KSFO 100856Z 28012KT 10SM FEW008 12/09 A3002\n");
  constexpr int kThreads = 8;
  std::array<bool, kThreads> fetched{};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      std::array<char, 128> buffer{};
      const InternetFetch fetch = InternetFetchUrl(Url("KSFO").c_str(), kAllFlags, buffer);
      fetched[static_cast<std::size_t>(i)] =
          fetch.ok && std::string(buffer.data(), fetch.bytes) == "KSFO 100856Z 28012KT 10SM FEW008 12/09 A3002\n";
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_TRUE(fetched[static_cast<std::size_t>(i)]) << i;
  EXPECT_EQ(server_.RequestCount(), static_cast<std::size_t>(kThreads));
}
