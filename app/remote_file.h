// The fetch of a small remote file (a station's METAR) into a fixed buffer.
#pragma once

#include <cstddef>
#include <span>

constexpr std::size_t kRemoteFileMaxBytes = 10'240;

// 1 fetched, 0 failed (null URL, no connection, an HTTP status other than
// 2xx, a timeout). An empty reply counts as fetched. At most the smaller of
// buffer.size() and 10,240 bytes are kept; a longer reply keeps its start.
// A full buffer is traced (trace bit 0) as having reached the maximum.
// The reply is not terminated: *received gets its length (0 on failure), and
// the caller terminates there, so keep one byte more than the span, e.g.
//   std::array<char, kRemoteFileMaxBytes + 1> text{};
//   GetRemoteFile(url, std::span(text).first(kRemoteFileMaxBytes), &n); text[n] = '\0';
int GetRemoteFile(const char* url, std::span<char> buffer, std::size_t* received = nullptr);
