#include "net/frame_hunter.h"

#include <algorithm>

namespace {
constexpr std::size_t kKeptBodyRoom = 4096;
}  // namespace

void FrameHunter::Feed(std::span<const std::uint8_t> bytes) {
  if (pos_ == pending_.size()) {
    pending_.clear();
    pos_ = 0;
  } else if (pos_ > 0) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

void FrameHunter::Reset() {
  pending_.clear();
  pos_ = 0;
  StartHunt();
}

void FrameHunter::AbandonFrame() {
  if (state_ != State::Body) return;
  const std::vector<std::uint8_t> taken = std::move(body_);
  StartHunt();
  pending_.insert(pending_.begin() + static_cast<std::ptrdiff_t>(pos_), taken.begin(), taken.end());
}

std::size_t FrameHunter::PeekUnused(std::span<std::uint8_t> out) const {
  const std::size_t n = std::min(out.size(), pending_.size() - pos_);
  std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
  return n;
}

void FrameHunter::StartHunt() {
  state_ = State::Hunting;
  accumulator_ = 0;
  scanned_ = 0;
  headerFill_ = 0;
  bodyRemaining_ = 0;
  body_.clear();
}

HuntResult FrameHunter::NextFrame(Frame& out) {
  for (;;) {
    // A body of 0 bytes (or the last byte of one) completes without more input.
    if (state_ == State::Body && bodyRemaining_ == 0) return Complete(out);
    const std::span<const std::uint8_t> avail = std::span(pending_).subspan(pos_);
    if (avail.empty()) break;
    switch (state_) {
      case State::Hunting: {
        std::size_t used = 0;
        bool found = false;
        while (used < avail.size() && !found) {
          accumulator_ = (accumulator_ << 8) | avail[used++];
          found = IsFrameSync(accumulator_);
        }
        pos_ += used;
        scanned_ += used;
        if (found) {
          sync_ = accumulator_;
          skippedBefore_ = scanned_ - kFrameSyncSize;
          totalSkipped_ += skippedBefore_;
          ++framesFound_;
          headerFill_ = 0;
          state_ = State::Header;
        }
        break;
      }
      case State::Header: {
        const std::size_t take = std::min(avail.size(), kFrameHeaderSize - headerFill_);
        std::copy_n(avail.begin(), take,
                    headerBytes_.begin() + static_cast<std::ptrdiff_t>(headerFill_));
        headerFill_ += take;
        pos_ += take;
        if (headerFill_ == kFrameHeaderSize) {
          const HuntResult result = TakeHeader();
          if (result != HuntResult::NeedMore) return result;
        }
        break;
      }
      case State::Body: {
        const std::size_t take = std::min<std::size_t>(avail.size(), bodyRemaining_);
        if (wantBody_)
          body_.insert(body_.end(), avail.begin(),
                       avail.begin() + static_cast<std::ptrdiff_t>(take));
        pos_ += take;
        bodyRemaining_ -= static_cast<std::uint32_t>(take);
        break;
      }
    }
  }
  pending_.clear();
  pos_ = 0;
  return HuntResult::NeedMore;
}

HuntResult FrameHunter::TakeHeader() {
  header_ = ReadFrameHeader(headerBytes_);
  if (header_.length > maxBodyLength_) {
    lastError_ = HuntError::BodyTooLong;
    errorHeader_ = header_;
    StartHunt();
    return HuntResult::Error;
  }
  wantBody_ = !filter_ || filter_(sync_, header_);
  bodyRemaining_ = header_.length;
  body_.clear();
  if (wantBody_) body_.reserve(header_.length);
  state_ = State::Body;
  return HuntResult::NeedMore;  // the loop goes on with the body
}

HuntResult FrameHunter::Complete(Frame& out) {
  out.sync = sync_;
  out.header = header_;
  // Swapped: a caller that keeps its frame gives the body's room back for the
  // next one, unless that room is more than small records need.
  out.body.swap(body_);
  if (body_.capacity() > kKeptBodyRoom) std::vector<std::uint8_t>().swap(body_);
  out.bodySkipped = !wantBody_;
  out.skippedBefore = skippedBefore_;
  lastError_ = HuntError::None;
  StartHunt();
  return HuntResult::Frame;
}
