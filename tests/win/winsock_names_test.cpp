#include <unistd.h>

#include <array>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "win/winsock.h"

using namespace std::string_view_literals;

TEST(DottedIPv4, StrictParserAcceptsOnlyFourDecimalParts) {
  struct Case {
    std::string_view text;
    bool valid;
    std::uint32_t hostOrder;
  };
  const Case cases[] = {
      {"1.2.3.4", true, 0x01020304},
      {"0.0.0.0", true, 0},
      {"255.255.255.255", true, 0xFFFFFFFF},
      {"127.0.0.1", true, 0x7F000001},
      {"10.0.255.9", true, 0x0A00FF09},
      {"1.2.3", false, 0},
      {"1.2.3.4.5", false, 0},
      {"256.1.1.1", false, 0},
      {"1.2.3.256", false, 0},
      {" 1.2.3.4", false, 0},
      {"1.2.3.4 ", false, 0},
      {"1 .2.3.4", false, 0},
      {"1.2.3.4x", false, 0},
      {"", false, 0},
      {"a.b.c.d", false, 0},
      {"1..2.3", false, 0},
      {".1.2.3", false, 0},
      {"1.2.3.", false, 0},
      {"0x1.2.3.4", false, 0},
      {"01.2.3.4", false, 0},
      {"1.2.3.0004", false, 0},
      {"1.2.3.1000", false, 0},
      {"+1.2.3.4", false, 0},
      {"-1.2.3.4", false, 0},
      {"1.2.3.4\0"sv, false, 0},
      {"16909060", false, 0},
  };
  for (const Case& c : cases) {
    std::uint32_t address = 0xDEADBEEF;
    EXPECT_EQ(ParseDottedIPv4Strict(c.text, &address), c.valid) << '"' << c.text << '"';
    // A refused text leaves the output alone.
    EXPECT_EQ(address, c.valid ? htonl(c.hostOrder) : 0xDEADBEEF) << '"' << c.text << '"';
  }
  EXPECT_FALSE(ParseDottedIPv4Strict("1.2.3.4", nullptr));
}

TEST(DottedIPv4, FormatsInNetworkOrderAndParsesBack) {
  for (const std::uint32_t hostOrder : {0u, 0x7F000001u, 0xC0A80001u, 0xFFFFFFFFu, 0x0A00FF09u}) {
    const std::string text = FormatDottedIPv4(htonl(hostOrder));
    std::uint32_t back = 0;
    ASSERT_TRUE(ParseDottedIPv4Strict(text, &back)) << text;
    EXPECT_EQ(ntohl(back), hostOrder);
  }
  EXPECT_EQ(FormatDottedIPv4(htonl(0xC0A80001)), "192.168.0.1");
}

TEST(Resolve, DottedTextAndLocalhost) {
  in_addr address{};
  ASSERT_EQ(ResolveHostIPv4("127.0.0.1", &address), 0);
  EXPECT_EQ(ntohl(address.s_addr), INADDR_LOOPBACK);
  ASSERT_EQ(ResolveHostIPv4("localhost", &address), 0);
  EXPECT_EQ(ntohl(address.s_addr) >> 24, 127u);
}

TEST(Resolve, EmptyNullAndOwnNameAreThisMachine) {
  in_addr empty{};
  ASSERT_EQ(ResolveHostIPv4("", &empty), 0);
  EXPECT_NE(empty.s_addr, 0u);
  in_addr none{};
  ASSERT_EQ(ResolveHostIPv4(nullptr, &none), 0);
  EXPECT_EQ(none.s_addr, empty.s_addr);
  std::array<char, 256> own{};
  ASSERT_EQ(WsGetHostName(own.data(), own.size()), 0);
  in_addr named{};
  ASSERT_EQ(ResolveHostIPv4(own.data(), &named), 0);
  EXPECT_EQ(named.s_addr, empty.s_addr);
}

TEST(Resolve, UnknownNameIsHostNotFound) {
  // A label over 63 characters cannot be asked of a name server: no network is involved.
  const std::string name = std::string(70, 'x') + ".invalid";
  in_addr address{};
  WSASetLastError(0);
  EXPECT_EQ(ResolveHostIPv4(name.c_str(), &address), WSAHOST_NOT_FOUND);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  EXPECT_EQ(ResolveHostIPv4("127.0.0.1", nullptr), WSAEFAULT);
}

TEST(Service, TcpPortsFromTheServicesDatabase) {
  if (access("/etc/services", R_OK) != 0) GTEST_SKIP() << "no services database";
  std::uint16_t port = 0;
  ASSERT_EQ(LookupTcpServicePort("http", &port), 0);
  EXPECT_EQ(ntohs(port), 80);
  for (const char* unknown : {"no-such-service-here", ""}) {
    WSASetLastError(0);
    EXPECT_EQ(LookupTcpServicePort(unknown, &port), WSANO_DATA) << unknown;
    EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
  }
  EXPECT_EQ(LookupTcpServicePort(nullptr, &port), WSAEFAULT);
}
