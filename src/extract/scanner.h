// Where a replay's key pairs are and how they are read: the scan positions,
// the table look-up at each, and an incremental scanner that builds the chat
// from chunks of any size.
#ifndef MURVIK_EXTRACT_SCANNER_H_
#define MURVIK_EXTRACT_SCANNER_H_

#ifndef MURVIK_EXTRACT_INTERNAL
#error "extract/scanner.h is the core's own: outside it, include extract/extract.h"
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

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
// starting at byte `data_offset`. Writes to `row`, for each scan position
// whose pair (the bytes at it and the next) lies wholly within `data`, in
// order, what the pair types (kPairTypes), and returns how many it wrote,
// the first being the position FirstPairAtOrAfter(data_offset). A pair cut
// by either end of `data` is not read. `row` has room for size / 12 + 1.
inline size_t TypePositions(const unsigned char* data, size_t size, uint64_t data_offset, uint8_t* row) {
  if (size < 2) return 0;
  const uint64_t p = FirstPairAtOrAfter(data_offset);
  const uint64_t last = data_offset + size - 1;  // a pair must start before it
  if (p >= last) return 0;
  const unsigned char* q = data + (p - data_offset);
  const unsigned char* const end = data + (last - data_offset);
  const auto type = [](const unsigned char* pair) {
    return chat_internal::kPairTypes[uint32_t{pair[0]} | uint32_t{pair[1]} << 8];
  };
  uint8_t* out = row;
  // Four positions at a time, all four read before any is stored, so that
  // the stores do not make the bytes be read again. No test rules positions
  // out: the look-up is about as cheap, and a test that may go either way is
  // dearer than both where codes are frequent.
  constexpr uint64_t kGroup = 4 * kRecordStride;
  for (; end - q > static_cast<ptrdiff_t>(kGroup - kRecordStride); q += kGroup, out += 4) {
    const uint8_t t0 = type(q), t1 = type(q + kRecordStride), t2 = type(q + 2 * kRecordStride);
    const uint8_t t3 = type(q + 3 * kRecordStride);
    out[0] = t0, out[1] = t1, out[2] = t2, out[3] = t3;
  }
  for (; q < end; q += kRecordStride) *out++ = type(q);
  return static_cast<size_t>(out - row);
}

// Applies to `builder` the key codes in `data`, as TypePositions finds
// them, some 87,000 positions at a time.
inline void ApplyKeys(const unsigned char* data, size_t size, uint64_t data_offset, ChatBuilder& builder) {
  // Each part takes one byte of the next, so that every pair lies wholly
  // within one part.
  constexpr size_t kPart = size_t{1} << 20;
  for (size_t at = 0; at < size; at += kPart) {
    const size_t n = std::min(size - at, kPart + 1);
    const size_t keys = TypePositions(data + at, n, data_offset + at, builder.Row(n / kRecordStride + 1));
    builder.ApplyRow(keys, FirstPairAtOrAfter(data_offset + at), kRecordStride);
  }
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
  MessageList TakeMessages() { return builder_.TakeMessages(); }

 private:
  uint64_t fed_ = 0;               // bytes fed so far
  unsigned char split_first_ = 0;  // first byte of a pair cut by a chunk end
  bool split_ = false;             // split_first_ holds a byte
  ChatBuilder builder_;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_SCANNER_H_
