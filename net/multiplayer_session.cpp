#include "net/multiplayer_session.h"

#include <array>
#include <atomic>
#include <cstdio>

#include "base/base_thread.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "core/ui_hooks.h"
#include "net/orv_sok.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "win/clock.h"

namespace {

constexpr int kSessionTraceBit = 6;

struct StoredCounts {
  std::atomic<int> older{0};
  std::atomic<int> family2006{0};
  std::atomic<int> xplane{0};
  std::atomic<int> invisible{0};
  std::atomic<int> total{0};
};

StoredCounts& Counts() {
  static StoredCounts counts;
  return counts;
}

void Store(const SessionPeerCounts& counts) {
  StoredCounts& stored = Counts();
  stored.older = counts.older;
  stored.family2006 = counts.family2006;
  stored.xplane = counts.xplane;
  stored.invisible = counts.invisible;
  stored.total = counts.total;
}

std::atomic<std::uint32_t> g_recordSequence{0};

std::uint32_t DefaultClock() { return GetTickCount(); }
std::atomic<SessionClock> g_sessionClock{&DefaultClock};

bool LoggedIn(const WayRecord& record) {
  return record.way != nullptr && (record.way->LoggedInBits() & kWayLoggedIn) != 0;
}

}  // namespace

SessionPeerCounts CountSessionPeers() {
  SessionPeerCounts counts;
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      if ((record.stateFlags & kWayInvisible) != 0) {
        ++counts.invisible;
        continue;
      }
      if (record.peerKind != 'P' || !LoggedIn(record)) continue;
      const std::int32_t code = record.simulatorCode;
      if (code < kOlderFamilyBelow) {
        ++counts.older;
      } else if (code <= kFamily2006Last) {
        ++counts.family2006;
      } else if (code >= kXPlaneFamilyFrom) {
        ++counts.xplane;
      }
    }
  }
  counts.total = counts.older + counts.family2006 + counts.xplane;
  Store(counts);
  return counts;
}

SessionPeerCounts SessionPeers() {
  const StoredCounts& stored = Counts();
  SessionPeerCounts counts;
  counts.older = stored.older.load();
  counts.family2006 = stored.family2006.load();
  counts.xplane = stored.xplane.load();
  counts.invisible = stored.invisible.load();
  counts.total = stored.total.load();
  return counts;
}

void PrintSessionInitializing() {
  CMainThread* main = Klib().mainThread;
  if (main == nullptr || Klib().Exiting()) return;
  main->SetTraceColour(Klib().Colour(kColourNormal));
  main->Trace("%c Initializing Multiplayer Session ...%c", '{', '}');
}

int AnnounceSessionJoin(bool simLinkConnected) {
  CMainThread* main = Klib().mainThread;
  if (main != nullptr) {
    main->TraceRemoveDelimitedText('{', '}');
    main->TraceRemoveDelimiters('{', '}');
  }
  if (!simLinkConnected) return 0;
  const char* you = "You";
  const char* joined = " have joined your session.";
  switch (Language.load()) {
    case 0:
      break;
    case 1:
      you = "Vous";
      joined = " avez rejoint votre session.";
      break;
    case 2:
      you = "Usted";
      joined = " se ha unido a la sesi\xF3n.";  // code page 1252
      break;
    default:
      Language = 0;
      break;
  }
  std::array<char, 64> line{};
  std::snprintf(line.data(), line.size(), "%s%s", you, joined);
  KlibMainTraceLine(Klib().Colour(kColourEmphasis), "%s", line.data());
  g_sessionOpen = true;
  return 1;
}

int CloseMultiplayerSession(const char* callerTag, CBaseThread* connectedSimLink) {
  if (Klib().TraceBit(kSessionTraceBit) && callerTag != nullptr) {
    KlibMainTraceLine(Klib().Colour(kColourNormal), "MltpSession closed by %s", callerTag);
  }
  if (connectedSimLink != nullptr) {
    CBaseThread::Post(Klib().mainThread, connectedSimLink, kSimLinkCloseSession, 0, 0, "CMPS");
  }
  if (g_sessionOpen.load()) ui_hook::MultiplayerSessionClosed();
  // Without the main dialog nobody else clears it, and a closed session must not
  // stay open in the flag.
  g_sessionOpen = false;
  Counts().total = 0;
  return 1;
}

int SendMyIdentityToSessionPeers() {
  if (!CountSessionPeers().Any()) return 0;
  std::array<COrvSok*, kPeerWayCount> targets{};
  std::size_t count = 0;
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      if ((record.stateFlags & kWayAllocated) != 0 && LoggedIn(record)) targets[count++] = record.way;
    }
  }
  // Posted after the lock is left: a post may wait for room in a way's
  // queue, and that way may be waiting for the lock.
  for (std::size_t i = 0; i < count; ++i) {
    CBaseThread::Post(Klib().mainThread, targets[i], THRDMSG_SIMPILOT, kSimPilotSendIdentity, 0, "PZGN1055");
  }
  return static_cast<int>(count);
}

std::uint32_t NextRecordSequence() { return g_recordSequence.fetch_add(1) + 1; }

void SetSessionClock(SessionClock clock) { g_sessionClock = clock != nullptr ? clock : &DefaultClock; }

std::uint32_t SessionMilliseconds() { return g_sessionClock.load()(); }
