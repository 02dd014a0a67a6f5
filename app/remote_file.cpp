#include "app/remote_file.h"

#include <algorithm>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "win/internet.h"

namespace {

constexpr DWORD kFetchFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY;

void TraceBufferFull(const char* url, std::size_t limit, std::size_t total) {
  if (!Klib().TraceBit(0)) return;
  CMainThread* main = Klib().mainThread;
  if (main == nullptr) return;
  main->SetTraceColour(Klib().Colour(kColourError));
  main->Trace("WARNING GetRemoteFile reached maximum (Max allowed %d / Total read %d / index %d) : ",
              static_cast<int>(limit), static_cast<int>(total), static_cast<int>(limit - total));
  main->SetTraceColour(Klib().Colour(kColourEmphasis));
  main->Trace("For URL %s\r\n", url);
}

}  // namespace

int GetRemoteFile(const char* url, std::span<char> buffer, std::size_t* received) {
  if (received != nullptr) *received = 0;
  if (url == nullptr) return 0;
  const std::span<char> room = buffer.first(std::min(buffer.size(), kRemoteFileMaxBytes));
  const InternetFetch fetch = InternetFetchUrl(url, kFetchFlags, room, "");
  if (!fetch.ok) return 0;
  if (fetch.bytes == room.size()) TraceBufferFull(url, room.size(), fetch.bytes);
  if (received != nullptr) *received = fetch.bytes;
  return 1;
}
