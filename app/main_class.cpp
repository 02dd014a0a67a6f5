#include "app/main_class.h"

#include <atomic>

#include "core/ui_messages.h"
#include "base/klib_settings.h"
#include "net/owner_slot.h"
#include "net/way_table_lock.h"
#include "win/clock.h"

MainClass* g_pMainThread = nullptr;

namespace {
std::atomic<void*> g_weatherOwnerSlot{nullptr};
std::atomic<WeatherWorkerEndHandler> g_weatherEndHandler{nullptr};
}  // namespace

void SetWeatherWorkerEndHandler(void* ownerSlot, WeatherWorkerEndHandler handler) {
  g_weatherEndHandler = handler;
  g_weatherOwnerSlot = ownerSlot;
}

MainClass::MainClass(void* ownerSlot) : CMainThread(ownerSlot, "n_MNCL") {}

DWORD MainClass::VTFX(DWORD) {
  while (!StopRequested() && !Klib().Exiting()) {
    DMessage message;
    bool any = false;
    while (PopMessage(message) != 0) {
      any = true;
      ProcessMessage(message);
      DropPendingPayload();
    }
    // Waits for the next message (a stop and the exit wake it too), never polls.
    if (!any) WaitForMessage(-1);
  }
  return 0;
}

DWORD MainClass::ProcessMessage(const DMessage& message) {
  if (CMainThread::ProcessMessage(message) != 0) return 1;
  switch (message.id) {
    case THRDMSG_THREAD_ENDED:
      OnThreadEnded(PopOwnerSlot());
      return 1;
    case THRDMSG_MAIN_TEST:
      TraceLine("\tMainClass : Test OK.");
      return 1;
    case UIMSG_SIMULATOR_CLOSING:
      // The relay posts to the controller ways, and a post waits while a way's
      // queue is full: it takes the table for its scan alone, never around a post.
      if (ControllerRelay relay = CurrentControllerRelay()) relay(this, UIMSG_SIMULATOR_CLOSING);
      return 1;
    default:
      break;
  }
  WayTableGuard guard;
  try {
    return ProcessLockedMessage(message);
  } catch (...) {
    return 0;
  }
}

DWORD MainClass::ProcessLockedMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_SHUTDOWN:
      if (!Started()) return 1;
      RequestStop(kMainClassShutdownExitCode);
      Resume(0);
      return 1;
    default:
      SetTraceColour(Klib().Colour(kColourEmphasis));
      TraceLine("\tError PM on MainClass, message %u.", message.id - THRDMSG_BASE);
      return 0;
  }
}

void MainClass::TraceThreadEnd(CBaseThread* thread) {
  if (thread == nullptr || !Klib().TraceBit(30)) return;
  SetTraceColour(Klib().Colour(kColour24));
  TraceLine(" <   Ending thread %s, exit values 0x%X vs %d.  > ", thread->Name(), thread->ExitCode(),
            static_cast<int>(thread->ExitCode()));
}

void MainClass::OnThreadEnded(void* ownerSlot) {
  if (ownerSlot == nullptr) return;
  if (ownerSlot == g_weatherOwnerSlot.load()) {
    if (WeatherWorkerEndHandler handler = g_weatherEndHandler.load()) {
      handler(*this);
      return;
    }
  }
  auto** slot = static_cast<CBaseThread**>(ownerSlot);
  CBaseThread* thread = LoadOwnerSlot(*slot);
  if (thread == nullptr) return;
  TraceThreadEnd(thread);
  if (ownerSlot == NodeWayOwnerSlot()) {
    // The node way is created anew at the next connect: its object goes with its thread.
    StoreOwnerSlot(*slot, nullptr);
    if (NodeWayDeleter deleter = NodeWayEndDeleter()) deleter(thread);
    return;
  }
  StoreOwnerSlot(*slot, nullptr);
}
