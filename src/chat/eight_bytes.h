// Text looked at eight bytes at a time: which of them are a given byte, in
// one word's operations, for the scans over a whole chat (line breaks,
// find's matches) and over a line as it wraps (spaces).
#ifndef MURVIK_CHAT_EIGHT_BYTES_H_
#define MURVIK_CHAT_EIGHT_BYTES_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace murvik {

// `byte` in each of a word's eight bytes.
constexpr uint64_t EveryByte(uint8_t byte) { return byte * uint64_t{0x0101010101010101}; }

// The high bit of each of the eight bytes at `bytes` that, with the bits of
// `bits` set, equals that byte of `want` (both EveryByte values), and no
// other bit: exact for every byte, 0x80 and above included.
inline uint64_t BytesEqual(const char* bytes, uint64_t bits, uint64_t want) {
  constexpr uint64_t kLow7 = EveryByte(0x7F);
  uint64_t v;
  std::memcpy(&v, bytes, sizeof v);
  v = (v | bits) ^ want;
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// How many bytes BytesEqual marked.
inline size_t MarkedCount(uint64_t marks) { return size_t(((marks >> 7) * EveryByte(1)) >> 56); }
// Which of the eight bytes is the first marked, and the last (marks != 0).
inline size_t FirstMarked(uint64_t marks) { return size_t(std::countr_zero(marks) / 8); }
inline size_t LastMarked(uint64_t marks) { return size_t((63 - std::countl_zero(marks)) / 8); }

}  // namespace murvik

#endif  // MURVIK_CHAT_EIGHT_BYTES_H_
