#include "net/peer_ways.h"

#include <array>
#include <cstdio>
#include <new>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "base/thread_messages.h"
#include "net/listener.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

Listener* g_pListener = nullptr;

namespace {
constexpr DWORD kPeerWayFlags = 1;
constexpr DWORD kListenerKind = 0x406;

void ChatError(const char* format, int a, int b = 0) {
  std::array<char, 128> text{};
  std::snprintf(text.data(), text.size(), format, a, b);
  KlibMainTraceLine(Klib().Colour(kColourError), "%s", text.data());
}

// The typed objects while they are created; the table links them at the end.
std::array<COrvSok*, kPeerWayCount>& CreatedWays() {
  static auto* ways = new std::array<COrvSok*, kPeerWayCount>{};
  return *ways;
}

void LinkRecords() {
  const auto& ways = CreatedWays();
  const bool locked = WayTableLock().Initialised();
  if (locked) WayTableLock().Enter();
  for (std::size_t i = 0; i < ways.size(); ++i) WayTable()[i].way = ways[i];
  if (locked) WayTableLock().Leave();
}
}  // namespace

PeerWayObjects& g_peerWayObjects() {
  // Never destroyed: way threads are not joined at exit.
  static auto* ways = new PeerWayObjects{};
  return *ways;
}

COrvSok* PeerWayObject(std::int32_t wayId) {
  return IsPeerWay(wayId) ? CreatedWays()[static_cast<std::size_t>(wayId)] : nullptr;
}

std::int32_t CreatePeerWays() {
  PeerWayObjects& ways = g_peerWayObjects();
  for (std::int32_t way = 0; way < kPeerWayCount; ++way) {
    const auto index = static_cast<std::size_t>(way);
    CBaseThread*& slot = ways[index];
    if (CreatedWays()[index] != nullptr) continue;
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "[* %d]", static_cast<int>(way));
    auto* object = new (std::nothrow) COrvSok(&slot, way, name.data(), kPeerWayFlags);
    if (object == nullptr) {
      ChatError("System Error SYS0030: Could not create orvsok %d.", way);
      return -10;
    }
    if (object->InitBuffers(&slot, SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) < 0) {
      // Never started, so nothing else refers to it.
      delete object;
      return -20;
    }
    slot = object;
    CreatedWays()[index] = object;
    if (const std::int32_t r = object->StartThread(0, 0); r < 0) {
      ChatError("System Error SYS0020 ( %d ): Could not create orvsok on way %d.", r, way);
      return -30;
    }
  }
  LinkRecords();
  return 1;
}

std::int32_t CreateSocketThreads() {
  if (const std::int32_t r = CreatePeerWays(); r < 0) {
    KlibMainTraceLine(Klib().Colour(kColourError), "%s", "Error creating Socket Threads.");
    return r;
  }
  if (g_pListener != nullptr) return 0;
  g_pListener = new (std::nothrow) Listener(&g_pListener, "n_LSTN", kListenerKind);
  if (g_pListener == nullptr) {
    KlibMainTraceLine(Klib().Colour(kColourError), "Error creating %s.", "n_LSTN");
    return -510;
  }
  g_pListener->StartThread(1, 0);
  return 0;
}

void DisconnectPeerWays() {
  for (COrvSok* way : CreatedWays()) {
    if (way != nullptr && way->IsConnected())
      CBaseThread::Post(Klib().mainThread, way, THRDMSG_DISCONNECT, 0, 0, "PZGN1037");
  }
}

void DestroySocketThreads() {
  delete g_pListener;
  g_pListener = nullptr;
  for (std::size_t i = 0; i < CreatedWays().size(); ++i) {
    COrvSok* way = CreatedWays()[i];
    g_peerWayObjects()[i] = nullptr;
    CreatedWays()[i] = nullptr;
    LinkRecords();
    delete way;
  }
}
