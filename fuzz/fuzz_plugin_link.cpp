// The plug-in link's records: the link's own receive pass on any stream (the
// frame reader, then each record by its code), and each record reader on a
// body of its size. The first byte picks the session (bit 0) and the size of
// the pieces the stream arrives in.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/big_tables.h"
#include "core/main_dialog_state.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/way_fuzz_setup.h"
#include "sim/plugin_link.h"
#include "sim/plugin_link_records.h"

namespace {

using LinkWay = FuzzWay<CXPlaneLink>;

template <std::size_t N>
RecordBytes<N> Body(std::span<const std::uint8_t> bytes) {
  RecordBytes<N> body{};
  std::copy_n(bytes.begin(), std::min(N, bytes.size()), body.begin());
  return body;
}

void ReadEveryRecord(std::span<const std::uint8_t> bytes) {
  ReadDllInfosRecord(Body<kDllInfosSize>(bytes));
  ReadAddPeerCallback(Body<kAddPeerCallbackSize>(bytes));
  ReadRemovePeerCallback(Body<kRemovePeerCallbackSize>(bytes));
  const AcfTableRecord table = ReadAcfTable(Body<kAcfTableSize>(bytes));
  FUZZ_CHECK(table.slotCount <= kAcfSlotCount);
  for (const std::string& title : table.titles) FUZZ_CHECK(title.size() <= kAcfTitleSize);
  FUZZ_CHECK(ReadLoadedTitle(bytes).size() <= kOwnTitleLength);
  FUZZ_CHECK(ReadHeadingEntries(bytes).size() == bytes.size() / kHeadingEntrySize);
  ReadDataSet1(Body<kDataSet1Size>(bytes));
  ApplyDataSet2(ReadDataSet2(Body<kDataSet2Size>(bytes)), OwnRadioData{});
  ReadDataSet3(Body<kDataSet3Size>(bytes));
  ReadDataSet4(Body<kDataSet4Size>(bytes));
  // The saturating conversions, on every double the bytes hold.
  for (std::size_t at = 0; at + 8 <= bytes.size(); at += 8) {
    double value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    const std::int32_t i32 = TruncatedI32(value);
    TruncatedI16(value);
    if (std::isnan(value)) FUZZ_CHECK(i32 == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  SetUpWayLibrary();
  return AllocateTables() == 1 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  QuietLibrary();
  const bool sessionOpen = (data[0] & 1) != 0;
  g_sessionOpen.store(sessionOpen);
  const std::size_t piece = 1 + (data[0] >> 1) * 8;
  const auto stream = AsSpan(data + 1, size - 1);

  ReadEveryRecord(stream);

  WaySocketPair sockets;
  LinkWay link(sessionOpen, nullptr);
  if (!link.Link(sockets)) return 0;
  FeedWay(link, stream, piece, sockets);
  if (link.IsConnected()) link.OneSecond();
  sockets.DrainFarEnd();
  return 0;
}
