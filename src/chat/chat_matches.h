// Find's matches in a chat without a list of every one: their count, and
// where every 1024th starts, the rest found by scanning from the nearest
// kept one. A letter that matches tens of millions of times costs a few
// hundred kilobytes rather than eight bytes a match.
#ifndef MURVIK_CHAT_CHAT_MATCHES_H_
#define MURVIK_CHAT_CHAT_MATCHES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chat/chat_lines.h"

namespace murvik {

// How far apart ChatMatches keeps the places its scans start from.
struct MatchSpacing {
  uint64_t every = 1024;      // matches
  uint64_t chunk = 4u << 20;  // characters
};

// The matches of a term in a chat, exactly those ChatLines::FindAll finds
// (the case of A-Z ignored, each after the end of the one before), numbered
// from 0. The chat must outlive them and not change while they are used.
//
// A scan from a kept place never goes past the next one: places are kept
// at every `every`-th match and at every `chunk` characters, so that each
// question scans at most `every` matches and about `chunk` characters.
class ChatMatches {
 public:
  using Spacing = MatchSpacing;
  // At most this many positions from InRange.
  static constexpr size_t kMostInRange = 10000;

  // No matches.
  ChatMatches() = default;
  // Counts the matches of `term` in `chat` in one scan. `keep_going` is
  // asked before every `spacing.chunk` characters scanned; once it returns
  // false the scan stops and there is nothing.
  static std::optional<ChatMatches> Find(const ChatLines& chat, std::string_view term,
                                         const std::function<bool()>& keep_going = {}, Spacing spacing = {});

  uint64_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Where match `i` (< size()) starts.
  uint64_t At(uint64_t i) const;
  // The first match that starts at or after `pos`, or size().
  uint64_t IndexAtOrAfter(uint64_t pos) const;
  // Where the matches that start in [begin, end) start, in order: the first
  // kMostInRange of them, as many as a screen can show and more.
  std::vector<uint64_t> InRange(uint64_t begin, uint64_t end) const;

 private:
  // A place a scan may start from: `index` matches start before `pos`.
  struct Place {
    uint64_t pos;
    uint64_t index;
  };
  // The kept places around the place `pos` or match `index` (the one at or
  // before it, and where the next begins: its position, or the chat's end).
  const Place& PlaceBefore(uint64_t value, uint64_t Place::*key, uint64_t* next_pos) const;

  const ChatLines* chat_ = nullptr;
  std::string term_;
  uint64_t size_ = 0;
  std::vector<Place> places_;  // by position and index alike, the first at 0
};

}  // namespace murvik

#endif  // MURVIK_CHAT_CHAT_MATCHES_H_
