#include "base/remote_trace.h"

#include "base/byte_order.h"

#include <algorithm>
#include <ctime>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/socket_thread.h"

namespace {

void ReportUnknownTag(std::uint8_t tag) {
  CMainThread* main = Klib().mainThread;
  if (main == nullptr) return;
  char stamp[32] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%d%m%Y %H%M%S", &local);
  main->SetTraceColour(Klib().Colour(kColour23));
  main->Trace("%s ", stamp);
  main->SetTraceColour(Klib().Colour(kColourError));
  main->Trace("%s %s SYSERR_14000 : %d / %d ", Klib().logTag, main->Name(), kRemoteTraceKind, tag);
}

void Send(std::uint8_t tag, std::string_view text, std::uint32_t first, std::uint32_t second) {
  CSoketK* socket = Klib().remoteTraceSocket;
  CMainThread* main = Klib().mainThread;
  if (socket == nullptr || !socket->IsConnected() || Klib().Exiting()) return;
  const std::vector<std::uint8_t> record = BuildRemoteTraceRecord(tag, text, first, second);
  if (record.empty()) {
    ReportUnknownTag(tag);
    return;
  }
  const char* callerTag = tag == kRemoteTraceClear ? "KLCAL100" : tag == kRemoteTraceText ? "KLCAL110" : "KLCAL120";
  CBaseThread::PostData(main, socket, THRDMSG_SEND, 0, static_cast<std::uint32_t>(record.size()), record.data(),
                        callerTag);
}
}  // namespace

std::vector<std::uint8_t> BuildRemoteTraceRecord(std::uint8_t tag, std::string_view text, std::uint32_t first,
                                                 std::uint32_t second) {
  if (tag > kRemoteTraceRemoveDelimitedText) return {};
  std::vector<std::uint8_t> record;
  const std::uint32_t sync = Klib().frameSync;
  for (int shift = 24; shift >= 0; shift -= 8) record.push_back(static_cast<std::uint8_t>(sync >> shift));
  record.push_back(kRemoteTraceKind);
  record.push_back(tag);
  record.push_back(0);
  record.push_back(0);
  if (tag == kRemoteTraceClear) {
    PutU32(record, 0);
  } else if (tag == kRemoteTraceText) {
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
    PutU32(record, length + 2u);
    record.push_back(static_cast<std::uint8_t>(length));
    record.push_back(static_cast<std::uint8_t>(length >> 8));
    record.insert(record.end(), text.begin(), text.begin() + length);
  } else {
    PutU32(record, 8);
    PutU32(record, first);
    PutU32(record, second);
  }
  return record;
}

void SendRemoteTraceText(std::string_view text) { Send(kRemoteTraceText, text, 0, 0); }
void SendRemoteTraceWords(std::uint8_t tag, std::uint32_t first, std::uint32_t second) { Send(tag, {}, first, second); }
void SendRemoteTraceClear() { Send(kRemoteTraceClear, {}, 0, 0); }
