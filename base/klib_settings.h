// The library settings block, filled by the application before the library starts,
// and the start and stop of the library.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "win/types.h"

class CMainThread;
class CPrintDlg;
class CSoketK;

constexpr std::uint32_t FRAME_SYNC_NETWORK = 0xA1B2C317;
constexpr std::uint32_t KLIB_MAX_ZIP_INPUT = 0xF00000;

// Indices of the trace colours (fields 17 to 29 of the block).
enum KlibColour : int {
  kColourNormal = 17,
  kColour18 = 18,
  kColourEmphasis = 19,
  kColourError = 20,
  kColour21 = 21,
  kColour22 = 22,
  kColour23 = 23,
  kColour24 = 24,
  kColour25 = 25,
  kColour26 = 26,
  kColour27 = 27,
  kColour28 = 28,
  kColour29 = 29,
};

// Fields in the order of the block. Words that other threads read while the
// program runs are atomic; pointers are full-width.
struct KlibSettings {
  std::uint32_t reserved0 = 0;
  std::uint32_t reserved1 = 0;
  const char* logTag = nullptr;
  // Set by the UI thread while workers already trace.
  std::atomic<CMainThread*> mainThread{nullptr};
  std::atomic<CPrintDlg*> traceOutput{nullptr};
  std::uint32_t reserved5 = 0;
  std::atomic<std::uint32_t> traceMask{0};
  std::atomic<std::uint32_t> exitFlag{0};
  std::atomic<std::uint32_t> suspendAll{0};
  std::atomic<std::uint32_t> rxByteCount{0};
  std::atomic<std::uint32_t> txByteCount{0};
  std::uint32_t trustedListSize = 0;
  std::atomic<CSoketK*> remoteTraceSocket{nullptr};
  std::uint32_t frameSync = 0;
  std::atomic<std::uint32_t>* autoShowFlag = nullptr;
  std::atomic<std::int32_t>* autoShowCountdown = nullptr;
  std::uint32_t autoShowSeconds = 0;
  std::array<COLORREF, 13> colours{};  // fields 17..29
  std::atomic<std::uint32_t>* logFileSwitch = nullptr;
  const char* const* logFilePath = nullptr;
  std::uint32_t appTag = 0;
  std::uint32_t maxZipInput = 0;

  COLORREF Colour(int field) const { return field >= 17 && field <= 29 ? colours[field - 17] : 0; }
  void SetColour(int field, COLORREF value) {
    if (field >= 17 && field <= 29) colours[field - 17] = value;
  }
  bool TraceBit(int bit) const { return (traceMask.load(std::memory_order_relaxed) >> bit) & 1u; }
  bool Exiting() const { return exitFlag.load(std::memory_order_acquire) != 0; }
};

// The library's own block; the application fills it in place and hands it to KlibInit.
KlibSettings* KlibGetSettings();
// Short form used throughout the library.
inline KlibSettings& Klib() { return *KlibGetSettings(); }

std::int32_t KlibInit(KlibSettings* settings);
std::int32_t KlibShutdown();
bool KlibInitialised();

