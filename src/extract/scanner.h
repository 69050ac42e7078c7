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

// The one loop that reads pairs: `data` holds `size` bytes of the replay
// starting at byte `data_offset`. For the scan positions p whose pair (the
// bytes at p and p + 1) lies wholly within `data`, in order, calls
// on_key(p, cell), cell being the pair's PairCell: for every position that
// holds a code, and for some that do not, as positions are ruled out four at
// a time. A pair cut by either end of `data` is not read.
template <typename OnKey>
[[gnu::always_inline]] inline void ForEachKey(const unsigned char* data, size_t size, uint64_t data_offset,
                                              OnKey&& on_key) {
  if (size < 2) return;
  uint64_t p = FirstPairAtOrAfter(data_offset);
  const uint64_t last = data_offset + size - 1;  // a pair must start before it
  if (p >= last) return;
  const unsigned char* q = data + (p - data_offset);
  const unsigned char* const end = data + (last - data_offset);
  const auto at = [data, data_offset](const unsigned char* pair) { return data_offset + uint64_t(pair - data); };
  // Four positions at a time: one test of their second bytes rules out
  // nearly every group of four that holds no code. A group that may hold one
  // is looked up whole, without a branch per position (nearly every position
  // may be a code), all four before on_key sees any, so that what on_key
  // stores does not make the bytes be read again.
  constexpr uint64_t kGroup = 4 * kRecordStride;
  for (; end - q > static_cast<ptrdiff_t>(kGroup - kRecordStride); q += kGroup) {
    const unsigned char *q1 = q + kRecordStride, *q2 = q1 + kRecordStride, *q3 = q2 + kRecordStride;
    const uint32_t b0 = CellBase(q[1]), b1 = CellBase(q1[1]), b2 = CellBase(q2[1]), b3 = CellBase(q3[1]);
    if ((b0 & b1 & b2 & b3) != kNoCellBase) [[unlikely]] {
      const uint32_t c0 = b0 | q[0], c1 = b1 | q1[0], c2 = b2 | q2[0], c3 = b3 | q3[0];
      on_key(at(q), c0);
      on_key(at(q1), c1);
      on_key(at(q2), c2);
      on_key(at(q3), c3);
    }
  }
  for (; q < end; q += kRecordStride) on_key(at(q), PairCell(q[0], q[1]));
}

// Applies to `builder` the key codes that ForEachKey finds in `data`.
inline void ApplyKeys(const unsigned char* data, size_t size, uint64_t data_offset, ChatBuilder& builder) {
  ChatBuilder::Run run(builder, size / kRecordStride + 1);
  ForEachKey(data, size, data_offset, [&run](uint64_t offset, uint32_t cell) { run.Apply(cell, offset); });
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
