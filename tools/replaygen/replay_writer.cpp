#include "replay_writer.h"

#include <cctype>
#include <stdexcept>

#include "extract/keycodes.h"
#include "extract/scanner.h"

namespace murvik {

ReplayWriter::ReplayWriter(uint32_t seed) : rng_(seed) { Filler(kFirstPairOffset); }

ReplayWriter& ReplayWriter::Pair(uint8_t first, uint8_t second) {
  bytes_.push_back(static_cast<char>(first));
  bytes_.push_back(static_cast<char>(second));
  return Filler(kRecordStride - 2);
}

static ReplayWriter& PairOf(ReplayWriter& w, const KeyCode& k) { return w.Pair(k.first, k.second); }

ReplayWriter& ReplayWriter::Start() { return PairOf(*this, kKeyCodes[0]); }
ReplayWriter& ReplayWriter::End() { return PairOf(*this, kKeyCodes[1]); }
ReplayWriter& ReplayWriter::Erase() { return PairOf(*this, kKeyCodes[2]); }

ReplayWriter& ReplayWriter::Type(std::string_view text) {
  for (char c : text) {
    const KeyCode* k = KeyCodeForChar(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (k == nullptr) throw std::invalid_argument(std::string("no key types '") + c + "'");
    PairOf(*this, *k);
  }
  return *this;
}

ReplayWriter& ReplayWriter::Noise(uint64_t records) {
  for (uint64_t i = 0; i < records; ++i) {
    uint8_t a, b;
    do {
      a = RandomByte();
      b = RandomByte();
    } while (LookUpKeyCode(a, b) != nullptr);
    Pair(a, b);
  }
  return *this;
}

ReplayWriter& ReplayWriter::Filler(uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) bytes_.push_back(static_cast<char>(RandomByte()));
  return *this;
}

std::string ReplayWriter::Take() {
  taken_ += bytes_.size();
  std::string out;
  out.swap(bytes_);
  return out;
}

}  // namespace murvik
