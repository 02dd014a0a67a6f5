// The frame reader of every TCP way: a stream cut anywhere gives the same
// frames and errors as the stream taken whole, and the frames written back
// out read again the same.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "net/frame_format.h"
#include "net/frame_hunter.h"

namespace {

constexpr std::uint32_t kMaxBody = 4096;

struct Event {
  char kind = 0;  // 'F' a frame, 'E' an error
  std::uint32_t sync = 0;
  FrameHeader header;
  std::vector<std::uint8_t> body;
  bool bodySkipped = false;
  friend bool operator==(const Event&, const Event&) = default;
};

FrameHunter MakeHunter(bool skipOddTypes) {
  FrameHunter hunter(kMaxBody);
  if (skipOddTypes) hunter.SetBodyFilter([](std::uint32_t, const FrameHeader& header) { return (header.type & 1) == 0; });
  return hunter;
}

void Drain(FrameHunter& hunter, std::vector<Event>& events) {
  for (;;) {
    Frame frame;
    const HuntResult result = hunter.NextFrame(frame);
    if (result == HuntResult::NeedMore) return;
    if (result == HuntResult::Error) {
      FUZZ_CHECK(hunter.LastError() == HuntError::BodyTooLong);
      FUZZ_CHECK(hunter.ErrorHeader().length > kMaxBody);
      events.push_back(Event{'E', 0, hunter.ErrorHeader(), {}, false});
      continue;
    }
    FUZZ_CHECK(IsFrameSync(frame.sync));
    FUZZ_CHECK(frame.header.length <= kMaxBody);
    FUZZ_CHECK(frame.bodySkipped ? frame.body.empty() : frame.body.size() == frame.header.length);
    events.push_back(Event{'F', frame.sync, frame.header, frame.body, frame.bodySkipped});
  }
}

std::vector<Event> HuntInPieces(std::span<const std::uint8_t> bytes, std::size_t piece, bool skipOddTypes) {
  FrameHunter hunter = MakeHunter(skipOddTypes);
  std::vector<Event> events;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    hunter.Feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
    Drain(hunter, events);
  }
  return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool skipOddTypes = (data[0] & 1) != 0;
  const std::size_t piece = 1 + data[1] % 29;
  const auto stream = AsSpan(data + 2, size - 2);

  const std::vector<Event> whole = HuntInPieces(stream, stream.size() + 1, skipOddTypes);
  FUZZ_CHECK(HuntInPieces(stream, piece, skipOddTypes) == whole);
  FUZZ_CHECK(HuntInPieces(stream, 1, skipOddTypes) == whole);

  // The frames read, written out again (their headers as read), read back alike.
  std::vector<std::uint8_t> rewritten;
  std::vector<Event> kept;
  for (const Event& event : whole) {
    if (event.kind != 'F' || event.bodySkipped) continue;
    FUZZ_CHECK(AppendFrame(event.sync, event.header, event.body, rewritten));
    kept.push_back(event);
  }
  FUZZ_CHECK(HuntInPieces(rewritten, rewritten.size() + 1, false) == kept);
  return 0;
}
