// The one HTTP/1.1 request the web-task way sends to the network's web page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/main_dialog_state.h"

constexpr std::uint16_t kWebPagePort = 80;
constexpr std::size_t kWebHostMaxChars = 255;
inline constexpr char kWebVersionKey[] = "TAVELKORVERSION";
inline constexpr char kWebTaskGetHubsList[] = "WEBTASK_GET_HUBS_LIST";
inline constexpr char kWebSendTag[] = "ONIDLWEB";
inline constexpr char kWebTrustedTag[] = "phxp";

struct WebClientVersion {
  int major = kVersionMajor;
  int minor = kVersionMinor;
  int build = kVersionBuild;
};

// "GET <page>?TAVELKORVERSION=<major>.<minor>.<build> HTTP/1.1\r\nHost: <host>\r\n
// Connection: close\r\n\r\n". Nothing for an empty host or page, a host over
// 255 characters, or a host or page holding a blank or a control byte (a CR or
// LF there would end the request line early and let the settings inject headers).
std::optional<std::string> BuildWebRequest(std::string_view host, std::string_view page,
                                           WebClientVersion version = {});
