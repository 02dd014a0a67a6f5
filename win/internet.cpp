#include "win/internet.h"

#include <curl/curl.h>
#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "win/winsock.h"

namespace {

std::atomic<long> g_connectTimeoutMs{kInternetConnectTimeoutMs};
std::atomic<long> g_totalTimeoutMs{kInternetTotalTimeoutMs};

// curl_global_init is not safe to race with itself or with a first easy handle.
bool CurlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using ParsedUrl = std::unique_ptr<CURLU, UrlDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

struct Sink {
  std::span<char> buffer;
  std::size_t used = 0;
  bool truncated = false;
};

// Takes what fits; answering less than offered makes libcurl end the transfer.
std::size_t Collect(char* data, std::size_t size, std::size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const std::size_t offered = size * count;
  const std::size_t room = sink.buffer.size() - sink.used;
  const std::size_t taken = offered < room ? offered : room;
  if (taken != 0) std::memcpy(sink.buffer.data() + sink.used, data, taken);
  sink.used += taken;
  if (taken < offered) sink.truncated = true;
  return taken;
}

// The TK_PORTMAP target of the URL's port as a connect-to entry for any
// host (so an IPv6 literal needs no quoting); empty when the port stays.
std::string ConnectToEntry(const char* url) {
  ParsedUrl parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return {};
  char* portText = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_PORT, &portText, CURLU_DEFAULT_PORT) != CURLUE_OK) return {};
  const long port = std::strtol(portText, nullptr, 10);
  curl_free(portText);
  if (port <= 0 || port > 65535) return {};
  const std::uint16_t mapped = WsRemapPort(static_cast<std::uint16_t>(port));
  if (mapped == port) return {};
  std::string entry = ":";
  entry += std::to_string(port);
  entry += "::";
  entry += std::to_string(mapped);
  return entry;
}

std::string NoProxyList() {
  std::string list = "localhost,127.0.0.1,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') continue;
    if (std::string_view(value) == "*") return "*";
    list.push_back(',');
    list += value;
    break;
  }
  return list;
}

bool IsHttpScheme(const char* scheme) {
  return scheme != nullptr && (strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0);
}

}  // namespace

InternetFetch InternetFetchUrl(const char* url, DWORD flags, std::span<char> buffer, const char* agent) {
  InternetFetch result;
  if (url == nullptr || url[0] == '\0') {
    result.error = CURLE_URL_MALFORMAT;
    return result;
  }
  if (!CurlReady()) {
    result.error = CURLE_FAILED_INIT;
    return result;
  }
  Easy easy(curl_easy_init());
  if (!easy) {
    result.error = CURLE_FAILED_INIT;
    return result;
  }
  CURL* h = easy.get();
  if (const CURLcode set = curl_easy_setopt(h, CURLOPT_URL, url); set != CURLE_OK) {
    result.error = set;
    return result;
  }

  Sink sink{buffer};
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  // Timeouts without signals: this runs on worker threads.
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, g_connectTimeoutMs.load());
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, g_totalTimeoutMs.load());
  const std::string noProxy = NoProxyList();
  curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
  if (agent != nullptr && agent[0] != '\0') curl_easy_setopt(h, CURLOPT_USERAGENT, agent);

  curl_easy_setopt(h, CURLOPT_FTPPORT, (flags & INTERNET_FLAG_PASSIVE) != 0 ? nullptr : "-");
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, (flags & INTERNET_FLAG_TRANSFER_BINARY) != 0 ? 0L : 1L);

  HeaderList headers;
  if ((flags & INTERNET_FLAG_RELOAD) != 0) {
    curl_slist* list = nullptr;
    for (const char* line : {"Pragma: no-cache", "Cache-Control: no-cache"}) {
      // A failed append leaves the list as it was.
      if (curl_slist* grown = curl_slist_append(list, line)) list = grown;
    }
    headers.reset(list);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  }

  HeaderList connectTo;
  const std::string entry = ConnectToEntry(url);
  if (!entry.empty()) {
    connectTo.reset(curl_slist_append(nullptr, entry.c_str()));
    curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get());
  }

  const CURLcode code = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  const char* scheme = nullptr;
  curl_easy_getinfo(h, CURLINFO_SCHEME, &scheme);

  result.status = status;
  result.truncated = sink.truncated;
  // A full buffer ends the transfer on purpose: what fits is the reply.
  const bool transferred = code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.truncated);
  if (!transferred) {
    result.error = code;
    return result;
  }
  if (IsHttpScheme(scheme) && (status < 200 || status > 299)) {
    result.error = CURLE_HTTP_RETURNED_ERROR;
    return result;
  }
  result.ok = true;
  result.bytes = sink.used;
  return result;
}

void SetInternetTimeoutsForTest(long connectMs, long totalMs) {
  if (connectMs >= 1) g_connectTimeoutMs.store(connectMs);
  if (totalMs >= 1) g_totalTimeoutMs.store(totalMs);
}

void ResetInternetTimeoutsForTest() {
  g_connectTimeoutMs.store(kInternetConnectTimeoutMs);
  g_totalTimeoutMs.store(kInternetTotalTimeoutMs);
}
