// Where a replay's key pairs are and how they are read: the scan positions,
// the table look-up at each, and an incremental scanner that builds the chat
// from chunks of any size.
#ifndef MURVIK_EXTRACT_SCANNER_H_
#define MURVIK_EXTRACT_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "extract/chat.h"
#include "extract/keycodes.h"

namespace murvik {

// Byte offset of the first scan position, and the distance between two.
inline constexpr uint64_t kFirstPairOffset = 273;
inline constexpr uint64_t kRecordStride = 12;

// The first scan position at or after byte `offset`.
constexpr uint64_t FirstPairAtOrAfter(uint64_t offset) {
  if (offset <= kFirstPairOffset) return kFirstPairOffset;
  const uint64_t records = (offset - kFirstPairOffset + kRecordStride - 1) / kRecordStride;
  return kFirstPairOffset + records * kRecordStride;
}

namespace scanner_internal {

// Looks up the pair at `pair`, within `data`, and calls on_key for a code.
template <typename OnKey>
[[gnu::always_inline]] inline void LookUpPair(const unsigned char* data, uint64_t data_offset,
                                              const unsigned char* pair, OnKey& on_key) {
  const uint8_t key = KeyIndex(pair[0], pair[1]);
  if (key != kNoKey) [[unlikely]]
    on_key(data_offset + static_cast<uint64_t>(pair - data), key);
}

}  // namespace scanner_internal

// The one loop that reads pairs: `data` holds `size` bytes of the replay
// starting at byte `data_offset`. For every scan position p whose pair (the
// bytes at p and p + 1) lies wholly within `data`, in order, calls
// on_key(p, index) when the pair is a table code, index being its place in
// kKeyCodes. A pair cut by either end of `data` is not read.
template <typename OnKey>
inline void ForEachKey(const unsigned char* data, size_t size, uint64_t data_offset, OnKey&& on_key) {
  using scanner_internal::LookUpPair;
  if (size < 2) return;
  uint64_t p = FirstPairAtOrAfter(data_offset);
  const uint64_t last = data_offset + size - 1;  // a pair must start before it
  if (p >= last) return;
  const unsigned char* q = data + (p - data_offset);
  const unsigned char* const end = data + (last - data_offset);
  // Four positions at a time: one test of their second bytes rules out
  // nearly every group of four that holds no code, without a branch each.
  constexpr uint64_t kGroup = 4 * kRecordStride;
  for (; end - q > static_cast<ptrdiff_t>(kGroup - kRecordStride); q += kGroup) {
    if (MayEndAKeyCode(q[1]) | MayEndAKeyCode(q[kRecordStride + 1]) | MayEndAKeyCode(q[2 * kRecordStride + 1]) |
        MayEndAKeyCode(q[3 * kRecordStride + 1])) [[unlikely]] {
      LookUpPair(data, data_offset, q, on_key);
      LookUpPair(data, data_offset, q + kRecordStride, on_key);
      LookUpPair(data, data_offset, q + 2 * kRecordStride, on_key);
      LookUpPair(data, data_offset, q + 3 * kRecordStride, on_key);
    }
  }
  for (; q < end; q += kRecordStride) LookUpPair(data, data_offset, q, on_key);
}

// Applies to `builder` the key codes that ForEachKey finds in `data`.
inline void ApplyKeys(const unsigned char* data, size_t size, uint64_t data_offset, ChatBuilder& builder) {
  builder.ApplyAll(size / kRecordStride + 1, [&](auto&& on_key) { ForEachKey(data, size, data_offset, on_key); });
}

// Reads the two bytes at offsets 273, 285, 297, ... of everything fed to it.
// A pair split between two chunks is joined; a last pair missing its second
// byte is never read. Keeps no pointer to the bytes it is given.
class ChatScanner {
 public:
  // Scans the next `size` bytes of the replay, in file order.
  void Feed(const unsigned char* data, size_t size);
  void Feed(std::string_view bytes) { Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()); }

  // Bytes fed so far.
  uint64_t bytes_fed() const { return fed_; }
  // The rules that build the messages, for taking finished ones early.
  ChatBuilder& builder() { return builder_; }
  // Hands the messages over; the scanner is spent afterwards.
  std::vector<Message> TakeMessages() { return builder_.TakeMessages(); }

 private:
  uint64_t fed_ = 0;               // bytes fed so far
  unsigned char split_first_ = 0;  // first byte of a pair cut by a chunk end
  bool split_ = false;             // split_first_ holds a byte
  ChatBuilder builder_;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_SCANNER_H_
