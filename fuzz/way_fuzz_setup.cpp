#include "fuzz/way_fuzz_setup.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "base/klib_locks.h"
#include "base/klib_settings.h"
#include "base/lz77.h"
#include "base/trusted_addresses.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"

namespace {
void NoPause(DWORD) {}
}  // namespace

void SetUpWayLibrary() {
  KlibSettings& k = Klib();
  k.logTag = "app_TK";
  k.trustedListSize = 1000;
  k.frameSync = FRAME_SYNC_NETWORK;
  k.maxZipInput = 1 << 20;
  for (int id = 0; id < static_cast<int>(KlibLockId::Count); ++id) GetKlibLock(static_cast<KlibLockId>(id)).Create();
  AllocTrustedAddresses(k.trustedListSize);
  AllocLzBuffers(64 * 1024);
  if (!WayTableLock().Initialised()) WayTableLock().Init();
  COrvSok::SetPauseFunction(&NoPause);
}

WaySocketPair::WaySocketPair() {
  std::array<int, 2> ends{};
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends.data()) != 0) {
    std::perror("socketpair");
    std::abort();
  }
  wayEnd = ends[0];
  farEnd = ends[1];
  fcntl(farEnd, F_SETFL, fcntl(farEnd, F_GETFL) | O_NONBLOCK);
}

WaySocketPair::~WaySocketPair() {
  if (!adopted) close(wayEnd);
  close(farEnd);
}

void WaySocketPair::DrainFarEnd() const {
  std::array<char, 4096> sink{};
  while (read(farEnd, sink.data(), sink.size()) > 0) {
  }
}
