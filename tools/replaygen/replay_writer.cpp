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

// Appends a few records of `kind`; false for an unknown kind.
bool AppendRecords(ReplayWriter& w, const std::string& kind, std::mt19937& rng) {
  if (kind == "noise") {
    w.Noise(1024);
  } else if (kind == "game") {
    // Mostly other input, and now and then a line of chat.
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";
    w.Noise(500 + rng() % 3000).Start();
    const unsigned length = 1 + rng() % 40;
    for (unsigned i = 0; i < length; ++i) w.Type(std::string(1, kChars[rng() % (sizeof kChars - 1)]));
    w.End();
  } else if (kind == "chat") {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";
    w.Noise(rng() % 20).Start();
    const unsigned length = 1 + rng() % 60;
    for (unsigned i = 0; i < length; ++i) {
      if (rng() % 16 == 0) w.Erase();
      w.Type(std::string(1, kChars[rng() % (sizeof kChars - 1)]));
    }
    if (rng() % 20 != 0) w.End();
  } else if (kind == "worst") {
    for (int i = 0; i < 1024; ++i) {
      const KeyCode& k = kKeyCodes[rng() % kKeyCodes.size()];
      w.Pair(k.first, k.second);
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool SynthesizeReplay(const std::string& kind, uint64_t size, uint32_t seed,
                      const std::function<bool(const std::string& bytes)>& write) {
  if (kind != "noise" && kind != "game" && kind != "chat" && kind != "worst") return false;
  ReplayWriter w(seed);
  std::mt19937 rng(seed);
  for (uint64_t written = 0; written < size;) {
    AppendRecords(w, kind, rng);
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
