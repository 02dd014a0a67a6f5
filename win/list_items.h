// The items of a list or combo box, kept in blocks of a few hundred so that
// an item put in its sorted place among 43,000 moves only its block's
// neighbours, never the whole list. Internal to win/; not thread-safe (the
// control's lock guards it).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "win/messages.h"

namespace win::detail {

struct ListItem {
  std::string text;
  DWORD_PTR data = 0;
};

class ListItems {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  ListItem& operator[](std::size_t index) {
    auto [block, offset] = Locate(index);
    return blocks_[block][offset];
  }
  const ListItem& operator[](std::size_t index) const {
    auto [block, offset] = Locate(index);
    return blocks_[block][offset];
  }

  // `index` is at most size().
  void insert(std::size_t index, ListItem item) {
    if (blocks_.empty()) blocks_.emplace_back();
    std::size_t block = 0;
    std::size_t offset = index;
    if (const std::size_t lastStart = size_ - blocks_.back().size(); index >= lastStart) {
      block = blocks_.size() - 1;
      offset = index - lastStart;
    }
    // Past the end goes into the last block.
    while (block + 1 < blocks_.size() && offset > blocks_[block].size()) {
      offset -= blocks_[block].size();
      ++block;
    }
    if (block + 1 < blocks_.size() && offset == blocks_[block].size() && blocks_[block].size() >= kBlock) {
      offset = 0;
      ++block;
    }
    std::vector<ListItem>& into = blocks_[block];
    into.insert(into.begin() + static_cast<std::ptrdiff_t>(offset), std::move(item));
    ++size_;
    if (into.size() >= 2 * kBlock) {
      std::vector<ListItem> tail(std::make_move_iterator(into.begin() + kBlock), std::make_move_iterator(into.end()));
      into.resize(kBlock);
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(tail));
    }
  }

  void erase(std::size_t index) {
    auto [block, offset] = Locate(index);
    blocks_[block].erase(blocks_[block].begin() + static_cast<std::ptrdiff_t>(offset));
    if (blocks_[block].empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
    --size_;
  }

  void clear() {
    blocks_.clear();
    size_ = 0;
  }

  // The first index whose item `before(text, item)` says the text sorts before
  // (size() when none), for items already in that order.
  template <class Before>
  std::size_t UpperBound(const std::string_view text, Before before) const {
    // The first block whose last item the text sorts before, then inside it.
    std::size_t low = 0;
    std::size_t high = blocks_.size();
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (before(text, blocks_[middle].back())) {
        high = middle;
      } else {
        low = middle + 1;
      }
    }
    if (low == blocks_.size()) return size_;
    std::size_t passed = 0;
    for (std::size_t b = 0; b < low; ++b) passed += blocks_[b].size();
    const std::vector<ListItem>& block = blocks_[low];
    std::size_t first = 0;
    std::size_t last = block.size();
    while (first < last) {
      const std::size_t middle = (first + last) / 2;
      if (before(text, block[middle])) {
        last = middle;
      } else {
        first = middle + 1;
      }
    }
    return passed + first;
  }

  template <class Visit>
  void ForEach(Visit visit) const {
    for (const std::vector<ListItem>& block : blocks_) {
      for (const ListItem& item : block) visit(item);
    }
  }

 private:
  static constexpr std::size_t kBlock = 128;

  std::pair<std::size_t, std::size_t> Locate(std::size_t index) const {
    // A fill appends and then sets the new item's data: the last block at once.
    const std::size_t lastStart = size_ - blocks_.back().size();
    if (index >= lastStart) return {blocks_.size() - 1, index - lastStart};
    std::size_t block = 0;
    while (index >= blocks_[block].size()) {
      index -= blocks_[block].size();
      ++block;
    }
    return {block, index};
  }

  std::vector<std::vector<ListItem>> blocks_;
  std::size_t size_ = 0;
};

}  // namespace win::detail
