#include "sim/fsuipc_request_block.h"

#include <algorithm>

#include "base/byte_order.h"

void FsuipcRequestBlock::Attach(std::span<std::uint8_t> block) {
  block_ = block;
  Reset();
}

bool FsuipcRequestBlock::Fits(std::size_t requestSize) const {
  // The end word must always fit after the last request.
  return block_.size() >= kFsuipcRequestLimit + 4 && requestSize <= kFsuipcRequestLimit - end_;
}

bool FsuipcRequestBlock::QueueRead(std::uint32_t offset, std::span<std::uint8_t> target) {
  if (!Fits(kFsuipcReadHeaderSize + target.size())) return false;
  std::uint8_t* at = block_.data() + end_;
  PutU32(at, kFsuipcReadTag);
  PutU32(at + 4, offset);
  PutU32(at + 8, static_cast<std::uint32_t>(target.size()));
  PutU32(at + 12, static_cast<std::uint32_t>(reads_.size() + 1));
  std::fill_n(at + kFsuipcReadHeaderSize, target.size(), std::uint8_t{0});
  reads_.push_back({end_, offset, target});
  end_ += kFsuipcReadHeaderSize + target.size();
  return true;
}

bool FsuipcRequestBlock::QueueWrite(std::uint32_t offset, std::span<const std::uint8_t> data) {
  if (!Fits(kFsuipcWriteHeaderSize + data.size())) return false;
  std::uint8_t* at = block_.data() + end_;
  PutU32(at, kFsuipcWriteTag);
  PutU32(at + 4, offset);
  PutU32(at + 8, static_cast<std::uint32_t>(data.size()));
  std::copy(data.begin(), data.end(), at + kFsuipcWriteHeaderSize);
  end_ += kFsuipcWriteHeaderSize + data.size();
  return true;
}

void FsuipcRequestBlock::MarkEnd() {
  if (block_.size() >= end_ + 4) PutU32(block_.data() + end_, 0);
}

bool FsuipcRequestBlock::CopyReadsBack() const {
  for (std::size_t i = 0; i < reads_.size(); ++i) {
    const PendingRead& read = reads_[i];
    const std::uint8_t* at = block_.data() + read.at;
    if (GetU32(at) != kFsuipcReadTag || GetU32(at + 4) != read.offset ||
        GetU32(at + 8) != read.target.size() || GetU32(at + 12) != i + 1) {
      return false;
    }
  }
  for (const PendingRead& read : reads_) {
    const auto data = block_.subspan(read.at + kFsuipcReadHeaderSize, read.target.size());
    std::copy(data.begin(), data.end(), read.target.begin());
  }
  return true;
}

void FsuipcRequestBlock::Reset() {
  end_ = 0;
  reads_.clear();
  MarkEnd();
}
