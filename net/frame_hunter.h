// Finds frames in the bytes a way receives: hunts the sync word one byte at a
// time, then takes the 8-byte header and the body. Fed whatever each receive
// brought; its state carries over from one receive to the next.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "net/frame_format.h"

// The largest body taken by default: one receive chunk of a way.
inline constexpr std::uint32_t kDefaultMaxFrameBody = 204800;

struct Frame {
  std::uint32_t sync = 0;  // FRAME_SYNC_NETWORK or AddonFrameMagic
  FrameHeader header;
  std::vector<std::uint8_t> body;  // empty when the body was skipped
  bool bodySkipped = false;
  std::uint64_t skippedBefore = 0;  // bytes passed over before this frame's sync word
};

enum class HuntResult {
  NeedMore,  // every byte fed so far is used; feed more
  Frame,     // a whole frame is in the out parameter
  Error,     // a protocol error, see LastError()
};

enum class HuntError {
  None,
  BodyTooLong,  // a header announced more than the maximum body length
};

class FrameHunter {
 public:
  enum class State { Hunting = 100, Header = 90, Body = 80 };
  // Called once a header is read: false skips the body by its length.
  using BodyFilter = std::function<bool(std::uint32_t sync, const FrameHeader& header)>;

  explicit FrameHunter(std::uint32_t maxBodyLength = kDefaultMaxFrameBody)
      : maxBodyLength_(maxBodyLength) {}

  void SetMaxBodyLength(std::uint32_t maxBodyLength) { maxBodyLength_ = maxBodyLength; }
  void SetBodyFilter(BodyFilter filter) { filter_ = std::move(filter); }

  void Feed(std::span<const std::uint8_t> bytes);
  // Runs over the bytes fed until a frame is whole, an error is found, or the
  // bytes are used up. After an error the hunt starts again at the byte behind
  // the refused header; a caller that closes the link calls Reset().
  HuntResult NextFrame(Frame& out);
  // Forgets the bytes fed and any frame begun; the counters stay.
  void Reset();
  // Gives up the frame whose body is awaited: the body bytes taken so far are
  // hunted again for a sync word, ahead of the bytes fed later.
  void AbandonFrame();

  State CurrentState() const { return state_; }
  HuntError LastError() const { return lastError_; }
  // The header that caused the last error.
  const FrameHeader& ErrorHeader() const { return errorHeader_; }
  std::uint64_t FramesFound() const { return framesFound_; }
  std::uint64_t BytesSkipped() const { return totalSkipped_; }
  // Body bytes still awaited for the frame in progress (0 unless in Body).
  std::uint32_t BodyBytesAwaited() const { return state_ == State::Body ? bodyRemaining_ : 0; }
  // Copies up to out.size() of the bytes fed but not yet used (those behind
  // the last header or frame taken); the count copied.
  std::size_t PeekUnused(std::span<std::uint8_t> out) const;

 private:
  void StartHunt();
  HuntResult TakeHeader();
  HuntResult Complete(Frame& out);

  std::uint32_t maxBodyLength_;
  BodyFilter filter_;

  std::vector<std::uint8_t> pending_;
  std::size_t pos_ = 0;

  State state_ = State::Hunting;
  std::uint32_t accumulator_ = 0;
  std::uint64_t scanned_ = 0;  // bytes hunted since the last frame
  std::uint32_t sync_ = 0;
  std::uint64_t skippedBefore_ = 0;
  FrameHeaderBytes headerBytes_{};
  std::size_t headerFill_ = 0;
  FrameHeader header_;
  bool wantBody_ = true;
  std::uint32_t bodyRemaining_ = 0;
  std::vector<std::uint8_t> body_;

  HuntError lastError_ = HuntError::None;
  FrameHeader errorHeader_;
  std::uint64_t framesFound_ = 0;
  std::uint64_t totalSkipped_ = 0;
};
