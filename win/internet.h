// URL fetch (HTTP, HTTPS and FTP) on libcurl, into a caller's fixed buffer.
// Any thread may fetch at the same time as another.
#pragma once

#include <cstddef>
#include <span>

#include "win/types.h"

constexpr DWORD INTERNET_FLAG_TRANSFER_BINARY = 0x00000002;  // FTP image mode; without it ASCII mode
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;   // there is no cache here: nothing to do
constexpr DWORD INTERNET_FLAG_PASSIVE = 0x08000000;          // passive FTP; without it active
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;           // asks caches on the way not to answer

// Bounds that keep a dead server from holding a worker for ever.
constexpr long kInternetConnectTimeoutMs = 15'000;
constexpr long kInternetTotalTimeoutMs = 30'000;

struct InternetFetch {
  bool ok = false;         // the reply, or the start of it that fits, is in the buffer
  std::size_t bytes = 0;   // bytes written to the buffer; never terminated by the fetch
  bool truncated = false;  // the reply went on past the buffer's end and the transfer was cut
  long status = 0;         // the last HTTP status or FTP reply code; 0 when none came
  int error = 0;           // the libcurl code of a failed fetch, 0 otherwise
};

// Fetches `url` into `buffer`, at most buffer.size() bytes. An HTTP status
// other than 2xx is a failure (the error body is not kept). Redirects are
// followed (5 at most, HTTP, HTTPS and FTP only). The URL's port goes through
// the TK_PORTMAP remap, as every connect does. `agent` null or empty sends no
// User-Agent. Proxies come from the environment; loopback never uses one.
InternetFetch InternetFetchUrl(const char* url, DWORD flags, std::span<char> buffer, const char* agent = "");

// Tests shorten the bounds (milliseconds, 1 or more) instead of waiting them out.
void SetInternetTimeoutsForTest(long connectMs, long totalMs);
void ResetInternetTimeoutsForTest();
