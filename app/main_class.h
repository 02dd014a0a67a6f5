// The main worker thread "n_MNCL": the library's main thread. It drains the
// trace ring, collects the ends of threads and relays a few messages to the
// controller ways.
#pragma once

#include "base/main_thread.h"
#include "core/thread_end_hooks.h"

constexpr DWORD kMainClassShutdownExitCode = 37118;

class MainClass : public CMainThread {
 public:
  explicit MainClass(void* ownerSlot);

  DWORD ProcessMessage(const DMessage& message) override;
  DWORD VTFX(DWORD argument) override;

  // Clears the global that referred to an ended thread (and deletes the node way).
  void OnThreadEnded(void* ownerSlot);
  // The trace line of a collected thread end (trace bit 30).
  void TraceThreadEnd(CBaseThread* thread);

 private:
  DWORD ProcessLockedMessage(const DMessage& message);
};

// The owner slot of the main worker.
extern MainClass* g_pMainThread;

// The weather-worker global may already hold a newer worker when an older one's
// end arrives: its owner registers the handler that clears it only when the worker
// it holds has ended, instead of the clearing every other slot gets.
using WeatherWorkerEndHandler = void (*)(MainClass& collector);
void SetWeatherWorkerEndHandler(void* ownerSlot, WeatherWorkerEndHandler handler);
