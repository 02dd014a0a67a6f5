// The fixed-size body of a received record, for the link's record handlers.
#pragma once

#include <algorithm>

#include "base/klib_settings.h"
#include "sim/plugin_link.h"

template <std::size_t N>
bool CXPlaneLink::TakeBody(const Frame& frame, RecordBytes<N>& out, const char* tag) {
  if (frame.body.size() < N) {
    if (Klib().TraceBit(kLinkErrorTraceBit)) {
      TraceLine("%s %s Error %s : record %d of %u bytes, %u expected", Klib().logTag != nullptr ? Klib().logTag : "", Name(), tag,
                static_cast<int>(frame.header.subCode), static_cast<unsigned>(frame.body.size()),
                static_cast<unsigned>(N));
    }
    return false;
  }
  std::copy_n(frame.body.begin(), N, out.begin());
  return true;
}

