#include "chat/chat_matches.h"

#include <algorithm>
#include <span>

namespace murvik {

std::optional<ChatMatches> ChatMatches::Find(const ChatLines& chat, std::string_view term,
                                             const std::function<bool()>& keep_going, Spacing spacing) {
  ChatMatches matches;
  matches.chat_ = &chat;
  matches.term_ = term;
  matches.places_.push_back({0, 0});
  uint64_t to_place = 0;  // matches before the next kept one
  const auto count = [&](std::span<const uint64_t> batch) {
    while (to_place < batch.size()) {
      matches.places_.push_back({batch[to_place], matches.size_ + to_place});
      to_place += spacing.every;
    }
    to_place -= batch.size();
    matches.size_ += batch.size();
    return true;
  };
  // Each stretch of the scan ends where the next may start: a place too.
  for (uint64_t at = 0; at < chat.size();) {
    if (keep_going && !keep_going()) return std::nullopt;
    at = chat.ForEachMatch(term, at, at + spacing.chunk, count);
    matches.places_.push_back({at, matches.size_});
  }
  return matches;
}

const ChatMatches::Place& ChatMatches::PlaceBefore(uint64_t value, uint64_t Place::*key, uint64_t* next_pos) const {
  const auto after = std::upper_bound(places_.begin(), places_.end(), value,
                                      [key](uint64_t v, const Place& place) { return v < place.*key; });
  *next_pos = after == places_.end() ? chat_->size() : after->pos;
  return *(after - 1);
}

uint64_t ChatMatches::At(uint64_t i) const {
  uint64_t next_pos;
  const Place& place = PlaceBefore(i, &Place::index, &next_pos);
  uint64_t index = place.index, found = 0;
  chat_->ForEachMatch(term_, place.pos, next_pos, [&](std::span<const uint64_t> batch) {
    if (i - index >= batch.size()) {
      index += batch.size();
      return true;
    }
    found = batch[i - index];
    return false;
  });
  return found;
}

uint64_t ChatMatches::IndexAtOrAfter(uint64_t pos) const {
  if (places_.empty()) return 0;
  uint64_t next_pos;
  const Place& place = PlaceBefore(pos, &Place::pos, &next_pos);
  uint64_t index = place.index;
  chat_->ForEachMatch(term_, place.pos, next_pos, [&](std::span<const uint64_t> batch) {
    const auto at = std::lower_bound(batch.begin(), batch.end(), pos);
    index += uint64_t(at - batch.begin());
    return at == batch.end();
  });
  return index;
}

std::vector<uint64_t> ChatMatches::InRange(uint64_t begin, uint64_t end) const {
  std::vector<uint64_t> found;
  if (places_.empty() || begin >= end) return found;
  uint64_t next_pos;
  const Place& place = PlaceBefore(begin, &Place::pos, &next_pos);
  chat_->ForEachMatch(term_, place.pos, end, [&](std::span<const uint64_t> batch) {
    for (auto at = std::lower_bound(batch.begin(), batch.end(), begin); at != batch.end(); ++at) {
      if (found.size() == kMostInRange) return false;
      found.push_back(*at);
    }
    return true;
  });
  return found;
}

}  // namespace murvik
