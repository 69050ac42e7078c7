// An incremental scanner: fed a replay's bytes in chunks of any size, it reads
// the key pair at each scan position and builds the chat.
#ifndef MURVIK_EXTRACT_SCANNER_H_
#define MURVIK_EXTRACT_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "extract/chat.h"

namespace murvik {

// Byte offset of the first scan position, and the distance between two.
inline constexpr uint64_t kFirstPairOffset = 273;
inline constexpr uint64_t kRecordStride = 12;

// Reads the two bytes at offsets 273, 285, 297, ... of everything fed to it.
// A pair split between two chunks is joined; a last pair missing its second
// byte is never read. Keeps no pointer to the bytes it is given.
class ChatScanner {
 public:
  // Scans the next `size` bytes of the replay, in file order.
  void Feed(const unsigned char* data, size_t size);
  void Feed(std::string_view bytes) {
    Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  }

  // Bytes fed so far.
  uint64_t bytes_fed() const { return fed_; }
  // Messages found so far; the last may still be open.
  const std::vector<Message>& messages() const { return builder_.messages(); }
  // Hands the messages over; the scanner is spent afterwards.
  std::vector<Message> TakeMessages() { return builder_.TakeMessages(); }

 private:
  uint64_t fed_ = 0;                 // bytes fed so far
  uint64_t next_ = kFirstPairOffset;  // offset of the next pair to read
  unsigned char split_first_ = 0;    // first byte of a pair cut by a chunk end
  bool split_ = false;               // split_first_ holds a byte
  ChatBuilder builder_;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_SCANNER_H_
