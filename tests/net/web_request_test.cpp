#include <gtest/gtest.h>

#include <string>

#include "net/web_request.h"

namespace {

TEST(WebRequest, ExactBytesForPageAndHost) {
  const auto request = BuildWebRequest("localhost", "/h.php");
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(*request, "GET /h.php?TAVELKORVERSION=11.0.4 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
}

TEST(WebRequest, VersionNumbersAreDecimalInOrder) {
  const auto request = BuildWebRequest("www.example.net", "/net/hubs.php", WebClientVersion{12, 3, 255});
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(*request,
            "GET /net/hubs.php?TAVELKORVERSION=12.3.255 HTTP/1.1\r\nHost: www.example.net\r\nConnection: close\r\n\r\n");
}

TEST(WebRequest, RefusesTextsThatCannotFormARequest) {
  struct Case {
    const char* name;
    std::string host;
    std::string page;
  };
  const Case cases[] = {
      {"empty host", "", "/h.php"},
      {"empty page", "localhost", ""},
      {"CR LF in page", "localhost", "/h.php\r\nX-Injected: 1"},
      {"LF in host", "local\nhost", "/h.php"},
      {"blank in page", "localhost", "/h .php"},
      {"tab in host", "local\thost", "/h.php"},
      {"host over 255", std::string(256, 'a'), "/h.php"},
  };
  for (const Case& c : cases) EXPECT_FALSE(BuildWebRequest(c.host, c.page).has_value()) << c.name;
  EXPECT_TRUE(BuildWebRequest(std::string(255, 'a'), "/h.php").has_value());
}

}  // namespace
