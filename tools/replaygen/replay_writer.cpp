#include "replay_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "extract/keycodes.h"
#include "extract/scanner.h"

namespace murvik {
namespace {

// The entry for the pair (first, second), or nullptr when it is no chat key.
const KeyCode* LookUpKeyCode(uint8_t first, uint8_t second) {
  for (const KeyCode& k : kKeyCodes)
    if (k.first == first && k.second == second) return &k;
  return nullptr;
}

// The pair that types `ch`, or nullptr when no key types it.
const KeyCode* KeyCodeForChar(char ch) {
  for (const KeyCode& k : kKeyCodes)
    if (k.action == KeyAction::kChar && k.ch == ch) return &k;
  return nullptr;
}

}  // namespace

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

ReplayWriter& ReplayWriter::Keys(std::string_view keys) {
  for (char k : keys) {
    switch (k) {
      case '[':
        Start();
        break;
      case ']':
        End();
        break;
      case '<':
        Erase();
        break;
      case '~':
        Noise(1);
        break;
      default:
        Type(std::string_view(&k, 1));
    }
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

namespace {

const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";

// Writes the records of one kind of replay, a few at a time, knowing how
// many records the whole replay holds (some kinds are shaped by it).
class Shape {
 public:
  Shape(const std::string& kind, uint64_t records, uint32_t seed) : kind_(kind), records_(records), rng_(seed) {}

  // Whether the kind is known.
  bool Known() const {
    for (const char* k :
         {"noise", "game", "chat", "worst", "open", "erased", "empty", "long", "erasures", "mix", "typos", "jumble"})
      if (kind_ == k) return true;
    return false;
  }

  // Appends a few records; `done` records were written before.
  void Append(ReplayWriter& w, uint64_t done) {
    left_ = records_ > done ? records_ - done : 1;
    if (kind_ == "noise") {
      w.Noise(1024);
    } else if (kind_ == "game") {
      // Mostly other input, and now and then a line of chat.
      w.Noise(500 + rng_() % 3000).Start();
      TypeRandom(w, 1 + rng_() % 40);
      w.End();
    } else if (kind_ == "chat") {
      w.Noise(rng_() % 20).Start();
      const unsigned length = 1 + rng_() % 60;
      for (unsigned i = 0; i < length; ++i) {
        if (rng_() % 16 == 0) w.Erase();
        TypeRandom(w, 1);
      }
      if (rng_() % 20 != 0) w.End();
    } else if (kind_ == "worst") {
      for (int i = 0; i < 1024; ++i) {
        const KeyCode& k = kKeyCodes[rng_() % kKeyCodes.size()];
        w.Pair(k.first, k.second);
      }
    } else if (kind_ == "open") {
      // One message opened at the start and never sent: a character every
      // other record.
      if (done == 0) w.Start();
      for (int i = 0; i < 512; ++i) TypeRandom(w, 1).Noise(1);
    } else if (kind_ == "erased") {
      // One message typed through the first half and erased back to nothing
      // through the second, then sent by the last record.
      for (uint64_t i = done; i < done + 1024; ++i) {
        if (i == 0)
          w.Start();
        else if (i + 1 == records_)
          w.End();
        else
          i < records_ / 2 ? TypeRandom(w, 1) : w.Erase();
      }
    } else if (kind_ == "empty") {
      for (int i = 0; i < 512; ++i) w.Start().End();
    } else if (kind_ == "long") {
      // Messages of a million characters.
      w.Start();
      TypeRandom(w, 1000000).End();
    } else if (kind_ == "erasures") {
      // Long messages corrected now and then by a burst of erasures that
      // reaches back through much of what was typed.
      w.Start();
      uint64_t length = 0;
      for (int burst = 0; burst < 8; ++burst) {
        const uint64_t typed = 1 + rng_() % 200000;
        TypeRandom(w, typed);
        length += typed;
        const uint64_t erased = rng_() % (length + 1);
        Erase(w, erased);
        length -= erased;
      }
      w.End();
    } else if (kind_ == "mix") {
      AppendMix(w);
    } else if (kind_ == "typos") {
      // One message typed with a correction everywhere: two characters,
      // then one erasure, over and over; never sent.
      for (uint64_t i = done; i < done + 1023; ++i) {
        if (i == 0)
          w.Start();
        else
          i % 3 == 0 ? w.Erase() : TypeRandom(w, 1);
      }
    } else if (kind_ == "jumble") {
      AppendJumble(w);
    }
  }

 private:
  // Types `n` random characters, but no more than the replay has room for.
  ReplayWriter& TypeRandom(ReplayWriter& w, uint64_t n) {
    n = std::min(n, left_);
    for (uint64_t i = 0; i < n; ++i) w.Type(std::string_view(&kChars[rng_() % (sizeof kChars - 1)], 1));
    return w;
  }

  void Erase(ReplayWriter& w, uint64_t n) {
    for (uint64_t i = 0, e = std::min(n, left_); i < e; ++i) w.Erase();
  }

  // A length from a heavy-tailed (Pareto) distribution: mostly a few
  // characters, now and then millions.
  uint64_t HeavyTailed() {
    const double u = (rng_() + 1.0) / 4294967297.0;
    return static_cast<uint64_t>(std::min(4.0 / std::pow(u, 1 / 0.8), 2e7));
  }

  // A stretch of one of the other shapes, picked at random.
  void AppendMix(ReplayWriter& w) {
    switch (rng_() % 7) {
      case 0:
        w.Noise(rng_() % 2000);
        break;
      case 1:  // a message of heavy-tailed length, perhaps left open
        w.Start();
        TypeRandom(w, HeavyTailed());
        if (rng_() % 8 != 0) w.End();
        break;
      case 2:  // empty messages
        for (uint64_t i = 0, n = rng_() % 5000; i < n; ++i) w.Start().End();
        break;
      case 3:  // erasures, reaching back into earlier messages' text
        Erase(w, HeavyTailed());
        break;
      case 4:  // keys typed outside a message
        w.End();
        TypeRandom(w, rng_() % 3000);
        break;
      case 5:  // a message typed and corrected
        w.Start();
        for (int burst = 0, n = static_cast<int>(rng_() % 6); burst < n; ++burst) {
          TypeRandom(w, HeavyTailed());
          Erase(w, HeavyTailed());
        }
        w.End();
        break;
      default:  // every record a key code
        for (int i = 0; i < 1024; ++i) {
          const KeyCode& k = kKeyCodes[rng_() % kKeyCodes.size()];
          w.Pair(k.first, k.second);
        }
    }
  }

  // A message of heavy-tailed length, its keys 15% erasures and 2% start
  // keys that find it open, a few records of noise after one key in four;
  // one message in eight is left open, so that the next start finds it so.
  void AppendJumble(ReplayWriter& w) {
    w.Start();
    for (uint64_t i = 0, n = std::min(HeavyTailed(), left_); i < n; ++i) {
      const uint32_t key = rng_() % 100;
      key < 15 ? w.Erase() : key < 17 ? w.Start() : TypeRandom(w, 1);
      if (rng_() % 4 == 0) w.Noise(1 + rng_() % 3);
    }
    if (rng_() % 8 != 0) w.End();
  }

  const std::string kind_;
  const uint64_t records_;
  uint64_t left_ = 0;  // records the replay has room for after those written
  std::mt19937 rng_;
};

}  // namespace

bool SynthesizeReplay(const std::string& kind, uint64_t size, uint32_t seed,
                      const std::function<bool(const std::string& bytes)>& write) {
  const uint64_t records = size > kFirstPairOffset ? (size - kFirstPairOffset) / kRecordStride : 0;
  Shape shape(kind, records, seed);
  if (!shape.Known()) return false;
  ReplayWriter w(seed);
  for (uint64_t written = 0; written < size;) {
    shape.Append(w, (w.size() - kFirstPairOffset) / kRecordStride);
    std::string bytes = w.Take();
    if (bytes.size() > size - written) bytes.resize(static_cast<size_t>(size - written));
    if (!write(bytes)) return false;
    written += bytes.size();
  }
  return true;
}

std::string SynthesizedReplay(const std::string& kind, uint64_t size, uint32_t seed) {
  std::string bytes;
  SynthesizeReplay(kind, size, seed, [&bytes](const std::string& piece) {
    bytes += piece;
    return true;
  });
  return bytes;
}

}  // namespace murvik
