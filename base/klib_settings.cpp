#include "base/klib_settings.h"

#include "base/klib_locks.h"
#include "base/lz77.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"

namespace {
std::atomic<bool> g_initialised{false};

constexpr KlibLockId kAllLocks[] = {KlibLockId::TraceRing, KlibLockId::LogFile, KlibLockId::Compression,
                                    KlibLockId::Decompression, KlibLockId::TrustedList};

void CopySettings(KlibSettings& to, const KlibSettings& from) {
  to.reserved0 = from.reserved0;
  to.reserved1 = from.reserved1;
  to.logTag = from.logTag;
  to.mainThread.store(from.mainThread.load());
  to.traceOutput.store(from.traceOutput.load());
  to.reserved5 = from.reserved5;
  to.traceMask.store(from.traceMask.load());
  to.exitFlag.store(from.exitFlag.load());
  to.suspendAll.store(from.suspendAll.load());
  to.rxByteCount.store(from.rxByteCount.load());
  to.txByteCount.store(from.txByteCount.load());
  to.trustedListSize = from.trustedListSize;
  to.remoteTraceSocket.store(from.remoteTraceSocket.load());
  to.frameSync = from.frameSync;
  to.autoShowFlag = from.autoShowFlag;
  to.autoShowCountdown = from.autoShowCountdown;
  to.autoShowSeconds = from.autoShowSeconds;
  to.colours = from.colours;
  to.logFileSwitch = from.logFileSwitch;
  to.logFilePath = from.logFilePath;
  to.appTag = from.appTag;
  to.maxZipInput = from.maxZipInput;
}
}  // namespace

KlibSettings* KlibGetSettings() {
  // Never destroyed: threads that are not joined read it until the process ends.
  static auto* settings = new KlibSettings();
  return settings;
}

bool KlibInitialised() { return g_initialised.load(std::memory_order_acquire); }

std::int32_t KlibInit(KlibSettings* settings) {
  if (settings == nullptr) return -1;
  KlibSettings& own = Klib();
  if (settings != &own) CopySettings(own, *settings);
  if (own.mainThread == nullptr) {
    ShowMessage("Warning", "Error Memory alloc COBUAL00.");
    return -503;
  }
  if (own.logTag == nullptr || own.logTag[0] == '\0') own.logTag = "AppNotDefinedYet";
  if (own.trustedListSize == 0) own.trustedListSize = 100;
  for (KlibLockId id : kAllLocks) GetKlibLock(id).Create();
  if (!AllocTrustedAddresses(own.trustedListSize)) return -10;
  if (AllocLzBuffers(own.maxZipInput) == 0) {
    ShowMessage("Warning", "Error Memory alloc COBUAL00.");
    return -504;
  }
  own.rxByteCount.store(0);
  own.txByteCount.store(0);
  g_initialised.store(true, std::memory_order_release);
  return 0;
}

std::int32_t KlibShutdown() {
  if (!g_initialised.exchange(false)) return -1;
  // Exit first, so that every post, pop and trace returns at once from here on.
  Klib().exitFlag.store(1, std::memory_order_release);
  FreeTrustedAddresses();
  FreeLzBuffers();
  for (KlibLockId id : kAllLocks) GetKlibLock(id).Delete();
  return 0;
}
