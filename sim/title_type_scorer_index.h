// The aircraft type table arranged for the title scorer: upper-cased fields
// and lookups from a title word to the only records that can give it points,
// so that a title costs a few hash lookups instead of a pass over the whole
// table per word. Built once per table; it copies what it needs and does not
// refer to the table afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/aircraft_type_db.h"

// Points of one title word against one type record.
inline constexpr int kTitleMakerPoints = 40;           // the word is the maker
inline constexpr int kTitleModelContainsPoints = 30;   // the model holds the word
inline constexpr int kTitleMakerAndModelPoints = 100;  // the word is the maker and the model
inline constexpr int kTitleShortTypePoints = 1;        // a 3-character type begins the word
inline constexpr int kTitleTypeTailPoints = 50;        // a 3-character word is the type's characters 2-4
inline constexpr int kTitleTypeHeadPoints = 40;        // ... or its first 3
inline constexpr int kTitleTypeFourPoints = 50;        // a longer word begins with the type's first 4

class TitleTypeIndex {
 public:
  explicit TitleTypeIndex(const AircraftTypeDb& db);
  TitleTypeIndex(const TitleTypeIndex&) = delete;
  TitleTypeIndex& operator=(const TitleTypeIndex&) = delete;

  // False when the table was not loaded or not allocated: the scorer then answers 0.
  bool Usable() const { return usable_; }

  struct Best {
    int points = 0;
    int record = -1;  // the first record reaching `points`; -1 when none scores
  };
  // The highest points of one word (upper-cased, not empty) over every record
  // and the first record reaching them: what a pass of ScoreTitleWord over the
  // table in order would find.
  Best BestForWord(std::string_view upperWord) const;
  // The type of a record, upper-cased.
  std::string_view Type(int record) const { return types_[static_cast<std::size_t>(record)]; }

 private:
  using Records = std::vector<int>;  // record numbers, ascending

  int Points(std::string_view upperWord, int record) const;
  int FirstModelContaining(std::string_view upperWord) const;
  static void Consider(Best& best, int points, int record);

  bool usable_ = false;
  std::size_t longestModel_ = 0;
  std::vector<std::string> makers_;
  std::vector<std::string> models_;
  std::vector<std::string> types_;
  // Words equal to a maker: what that maker's records score, computed at build.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, Best, TextHash, std::equal_to<>> makerBest_;
  // Records by the parts of their type that the type points compare.
  std::unordered_map<std::uint32_t, Records> shortTypes_;  // 3-character types
  std::unordered_map<std::uint32_t, Records> typeHeads3_;  // first 3 of longer types
  std::unordered_map<std::uint32_t, Records> typeTails3_;  // characters 2-4 of longer types
  std::unordered_map<std::uint32_t, Records> typeHeads4_;  // first 4 of longer types
  // Records by every 1-, 2- and 3-character piece of their model.
  std::unordered_map<std::uint32_t, Records> modelPieces_;
};
