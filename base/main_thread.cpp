#include "base/main_thread.h"

#include "base/byte_order.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/circ_buf.h"
#include "base/file_utils.h"
#include "base/klib_locks.h"
#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "base/trace_output.h"
#include "base/remote_trace.h"

namespace {
std::atomic<bool> g_traceConsole{false};
constexpr DWORD kMainStopExitCode = 33641;

}  // namespace

void SetTraceConsole(bool enabled) { g_traceConsole.store(enabled); }
bool TraceConsole() { return g_traceConsole.load(); }

CMainThread::CMainThread(void* ownerSlot, const char* name)
    : CBaseThread(ownerSlot, name, 0),
      traceStorage_(new std::uint8_t[kTraceRingSize + 16]),
      text_(new char[kTraceTextLimit + 1]) {
  RingInit(traceRing_, std::span<std::uint8_t>(traceStorage_.get(), kTraceRingSize));
}

CMainThread::~CMainThread() = default;

DWORD CMainThread::VTFX(DWORD argument) {
  TraceLine("CMainThread::VTFX(0x%x), %s.", argument, Name());
  return 0;
}

DWORD CMainThread::ProcessMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_STOP:
      if (!Started()) return 0;
      RequestStop(kMainStopExitCode);
      Resume(0);
      return 1;
    case THRDMSG_TRACE:
    case THRDMSG_TRACE_LOCAL:
      try {
        DrainTrace(message);
      } catch (...) {
        return 0;
      }
      return 1;
    default:
      return 0;
  }
}

ByteRing& CMainThread::LockTraceRing() {
  if (GetKlibLock(KlibLockId::TraceRing).Enter()) traceLockHolder_.Entered();
  return traceRing_;
}

void CMainThread::UnlockTraceRing() {
  if (traceLockHolder_.Leaving()) GetKlibLock(KlibLockId::TraceRing).Leave();
}

void CMainThread::DrainTrace(const DMessage& message) {
  const bool local = message.id == THRDMSG_TRACE_LOCAL;
  const std::uint32_t available = RingUsed(traceRing_);
  std::uint32_t consumed = 0;
  std::string text;
  auto readWords = [&](std::uint8_t* body, std::uint32_t n) {
    if (RingRead(traceRing_, body, n) != RING_OK) return false;
    consumed += n;
    return true;
  };
  while (consumed < available) {
    const DWORD tag = CCircBuf::ReadByte(traceRing_);
    if (tag == RING_EMPTY) return;
    ++consumed;
    std::array<std::uint8_t, 8> body{};
    switch (tag) {
      case kTraceText: {
        text.clear();
        for (;;) {
          const DWORD c = CCircBuf::ReadByte(traceRing_);
          if (c == RING_EMPTY) return;
          ++consumed;
          if (c == 0) break;
          if (text.size() < kTraceTextLimit) text.push_back(static_cast<char>(c));
        }
        if (!text.empty()) OutputText(text.c_str(), !local);
        break;
      }
      case kTraceFormat:
        if (!readWords(body.data(), 8)) return;
        if (local) {
          effects_ = GetU32(body.data());
          colour_ = GetU32(body.data() + 4);
        } else {
          SetFormat(GetU32(body.data()), GetU32(body.data() + 4));
        }
        break;
      case kTraceEffects:
        if (!readWords(body.data(), 4)) return;
        if (local) {
          effects_ = GetU32(body.data());
        } else {
          SetEffects(GetU32(body.data()));
        }
        break;
      case kTraceColour:
        if (!readWords(body.data(), 4)) return;
        if (local) {
          colour_ = GetU32(body.data());
        } else {
          SetColour(GetU32(body.data()));
        }
        break;
      case kTraceRemoveDelimiters:
        if (!local) RemoveDelimiters('{', '}');
        break;
      case kTraceRemoveDelimitedText:
        if (!local) RemoveDelimitedText('{', '}');
        break;
      case kTraceClear:
        if (!local) Clear();
        break;
      default:
        break;  // unknown tags are skipped byte by byte
    }
  }
}

void CMainThread::OutputText(const char* text, bool remote) {
  // Only an empty format clears (OutputFormatted); an empty text prints nothing.
  if (text == nullptr || text[0] == '\0' || Klib().Exiting()) return;
  if (WithTraceOutput([&](CPrintDlg& output) { output.PrintText(text); })) {
  } else if (TraceConsole()) {
    std::fputs(text, stdout);
  }
  if (remote) SendRemoteTraceText(text);
  const auto* logSwitch = Klib().logFileSwitch;
  const char* const* logPath = Klib().logFilePath;
  if (logSwitch != nullptr && logSwitch->load() != 0 && logPath != nullptr && *logPath != nullptr &&
      (*logPath)[0] != '\0')
    AppendToFile(*logPath, text);
}

void CMainThread::OutputFormatted(bool remote, const char* prefix, const char* format, va_list args) {
  if (Klib().Exiting()) return;
  if (format == nullptr || format[0] == '\0') {
    if (prefix[0] == '\0') {
      Clear();
      return;
    }
    OutputText(prefix, remote);
    return;
  }
  std::string text(prefix);
  const std::size_t start = text.size();
  text.resize(start + kTraceTextLimit + 1);
  const int n = std::vsnprintf(text.data() + start, kTraceTextLimit + 1, format, args);
  text.resize(start + (n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), kTraceTextLimit)));
  OutputText(text.c_str(), remote);
}

void CMainThread::Output(const char* format, ...) {
  va_list args;
  va_start(args, format);
  OutputFormatted(true, "", format, args);
  va_end(args);
}

void CMainThread::TraceLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  OutputFormatted(true, "\r\n", format, args);
  va_end(args);
}

void CMainThread::OutputLocal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  OutputFormatted(false, "", format, args);
  va_end(args);
}

void CMainThread::SetFormat(DWORD effects, COLORREF colour) {
  effects_ = effects;
  colour_ = colour;
  WithTraceOutput([&](CPrintDlg& output) { output.SetFormat(effects, colour); });
  SendRemoteTraceWords(kRemoteTraceFormat, effects_, colour_);
}

void CMainThread::SetEffects(DWORD effects) { SetFormat(effects, colour_); }

void CMainThread::SetColour(COLORREF colour) { SetFormat(effects_, colour); }

void CMainThread::RemoveDelimiters(char start, char end) {
  WithTraceOutput([&](CPrintDlg& output) { output.RemoveDelimiters(start, end); });
  SendRemoteTraceWords(kRemoteTraceRemoveDelimiters, static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(end));
}

void CMainThread::RemoveDelimitedText(char start, char end) {
  WithTraceOutput([&](CPrintDlg& output) { output.RemoveDelimitedText(start, end); });
  SendRemoteTraceWords(kRemoteTraceRemoveDelimitedText, static_cast<std::uint8_t>(start),
                       static_cast<std::uint8_t>(end));
}

void CMainThread::Clear() {
  WithTraceOutput([&](CPrintDlg& output) { output.Clear(); });
  SendRemoteTraceClear();
}
