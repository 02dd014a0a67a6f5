// Trace records mirrored to a remote viewer over a socket thread, when one is connected.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

enum RemoteTraceTag : std::uint8_t {
  kRemoteTraceClear = 0,
  kRemoteTraceText = 1,
  kRemoteTraceFormat = 2,
  kRemoteTraceRemoveDelimiters = 3,
  kRemoteTraceRemoveDelimitedText = 4,
};

constexpr std::uint8_t kRemoteTraceKind = 10;
constexpr std::uint32_t kRemoteTraceHeaderSize = 12;

// The record's bytes; empty for a tag that is not sent.
std::vector<std::uint8_t> BuildRemoteTraceRecord(std::uint8_t tag, std::string_view text, std::uint32_t first,
                                                 std::uint32_t second);

void SendRemoteTraceText(std::string_view text);
void SendRemoteTraceWords(std::uint8_t tag, std::uint32_t first, std::uint32_t second);
void SendRemoteTraceClear();
