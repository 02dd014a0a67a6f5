// The trace writers of every thread: straight into the trace output when there
// is one, otherwise as records in the main thread's trace ring.
#include <algorithm>

#include "base/byte_order.h"
#include <array>
#include <cstdio>
#include <string>

#include "base/base_thread.h"
#include "base/klib_locks.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/print_dlg.h"
#include "base/trace_output.h"

namespace {
constexpr DWORD kRingRoomWaitMs = 100;
constexpr DWORD kRingRoomLimitMs = 10'000;


// Writes one record whole or not at all. The room test and the copy happen under
// the trace-ring lock; the wait for room happens outside it.
bool WriteTraceRecord(CMainThread& main, std::uint8_t tag, const std::uint8_t* data, std::uint32_t length) {
  const std::uint32_t total = 1 + length;
  for (DWORD waited = 0;; waited += kRingRoomWaitMs) {
    if (Klib().Exiting()) return false;
    {
      ByteRing& ring = main.LockTraceRing();
      const bool fits = total <= RingFree(ring);
      if (fits) {
        RingWriteNoWait(ring, &tag, 1);
        if (length != 0) RingWriteNoWait(ring, data, length);
      }
      main.UnlockTraceRing();
      if (fits) return true;
      if (total > ring.capacity) return false;
    }
    if (waited >= kRingRoomLimitMs) return false;
    main.TraceRingWaiter().Wait(kRingRoomWaitMs);
  }
}

void NotifyTrace(CBaseThread& writer, CMainThread& main) {
  if (Klib().Exiting()) return;
  const std::uint32_t id = writer.Marker() == 'G' ? THRDMSG_TRACE_LOCAL : THRDMSG_TRACE;
  CBaseThread::Post(&writer, &main, id, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&writer)), 0,
                    writer.Name());
}

bool WriteWordsRecord(std::uint8_t tag, std::initializer_list<std::uint32_t> words) {
  CMainThread* main = Klib().mainThread;
  if (main == nullptr) return false;
  std::array<std::uint8_t, 8> body{};
  std::uint32_t length = 0;
  for (std::uint32_t word : words) {
    PutU32(body.data() + length, word);
    length += 4;
  }
  return WriteTraceRecord(*main, tag, body.data(), length);
}
}  // namespace

void RemoveBellCharacters(std::string& text) { std::erase(text, '\a'); }

void CBaseThread::TraceEmptyFormat(bool notify) {
  if (Klib().Exiting()) return;
  CMainThread* main = Klib().mainThread;
  if (!WithTraceOutput([](CPrintDlg& output) { output.Clear(); }) && main != nullptr)
    WriteTraceRecord(*main, kTraceClear, nullptr, 0);
  if (notify && main != nullptr) NotifyTrace(*this, *main);
}

void CBaseThread::TraceText(std::string_view text, bool notify) {
  // Only an empty format clears; an empty text (say a peer's empty comment) prints nothing.
  if (text.empty() || Klib().Exiting()) return;
  CMainThread* main = Klib().mainThread;
  if (WithTraceOutput([&](CPrintDlg& output) { output.PrintText(text); })) return;
  if (main == nullptr) {
    if (TraceConsole()) std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  std::string record(text);
  record.push_back('\0');
  if (!WriteTraceRecord(*main, kTraceText, reinterpret_cast<const std::uint8_t*>(record.data()),
                        static_cast<std::uint32_t>(record.size())))
    return;
  if (notify) NotifyTrace(*this, *main);
}

void CBaseThread::TraceFormatted(bool notify, bool lineBreak, const char* format, va_list args) {
  if (Klib().Exiting()) return;
  const bool emptyFormat = format == nullptr || format[0] == '\0';
  if (emptyFormat && !lineBreak) {
    TraceEmptyFormat(notify);
    return;
  }
  std::string text;
  {
    std::lock_guard lock(traceBufferLock_);
    if (traceBuffer_ == nullptr) traceBuffer_ = std::make_unique<char[]>(kTraceBufferSize);
    traceBuffer_[0] = '\0';
    if (!emptyFormat) std::vsnprintf(traceBuffer_.get(), kTraceBufferSize, format, args);
    text = traceBuffer_.get();
  }
  RemoveBellCharacters(text);
  if (lineBreak) text.insert(0, "\r\n");
  TraceText(text, notify);
}

void CBaseThread::Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceFormatted(true, false, format, args);
  va_end(args);
}

void CBaseThread::TraceQuiet(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceFormatted(false, false, format, args);
  va_end(args);
}

void CBaseThread::TraceLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceFormatted(true, true, format, args);
  va_end(args);
}

void CBaseThread::TraceLineQuiet(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceFormatted(false, true, format, args);
  va_end(args);
}

void CBaseThread::SetTraceFormat(DWORD effects, COLORREF colour) {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.SetFormat(effects, colour); })) {
    WriteWordsRecord(kTraceFormat, {effects, colour});
  }
}

void CBaseThread::SetTraceEffects(DWORD effects) {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.SetEffects(effects); })) {
    WriteWordsRecord(kTraceEffects, {effects});
  }
}

void CBaseThread::SetTraceColour(COLORREF colour) {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.SetFormat(output.Effects(), colour); })) {
    WriteWordsRecord(kTraceColour, {colour});
  }
}

void CBaseThread::TraceRemoveDelimiters(char start, char end) {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.RemoveDelimiters(start, end); })) {
    WriteWordsRecord(kTraceRemoveDelimiters, {});
  }
}

void CBaseThread::TraceRemoveDelimitedText(char start, char end) {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.RemoveDelimitedText(start, end); })) {
    WriteWordsRecord(kTraceRemoveDelimitedText, {});
  }
}

void CBaseThread::TraceClear() {
  if (Klib().Exiting()) return;
  if (!WithTraceOutput([&](CPrintDlg& output) { output.Clear(); })) {
    WriteWordsRecord(kTraceClear, {});
  }
}
