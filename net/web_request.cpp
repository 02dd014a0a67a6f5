#include "net/web_request.h"

#include <algorithm>

namespace {

bool UsableInRequest(std::string_view text) {
  return !text.empty() &&
         std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; });
}

}  // namespace

std::optional<std::string> BuildWebRequest(std::string_view host, std::string_view page, WebClientVersion version) {
  if (!UsableInRequest(host) || !UsableInRequest(page) || host.size() > kWebHostMaxChars) return std::nullopt;
  std::string request;
  request.reserve(host.size() + page.size() + 96);
  request.append("GET ").append(page).append("?").append(kWebVersionKey).append("=");
  request.append(std::to_string(version.major)).append(".");
  request.append(std::to_string(version.minor)).append(".");
  request.append(std::to_string(version.build));
  request.append(" HTTP/1.1\r\nHost: ").append(host).append("\r\nConnection: close\r\n\r\n");
  return request;
}
