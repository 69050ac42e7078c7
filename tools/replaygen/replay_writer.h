// Synthesizes replay files for tests, benchmarks and the bundled sample: a
// 273-byte header, then 12-byte records whose first two bytes are the key
// pair the scanner reads; every other byte is pseudo-random filler.
#ifndef MURVIK_TOOLS_REPLAYGEN_REPLAY_WRITER_H_
#define MURVIK_TOOLS_REPLAYGEN_REPLAY_WRITER_H_

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace murvik {

class ReplayWriter {
 public:
  // Starts a replay with its header; `seed` fixes the filler bytes.
  explicit ReplayWriter(uint32_t seed = 1);

  // Appends one record carrying the pair (first, second).
  ReplayWriter& Pair(uint8_t first, uint8_t second);
  ReplayWriter& Start();  // F10: opens a message
  ReplayWriter& End();    // Enter: sends it
  ReplayWriter& Erase();  // Backspace
  // One record per character; every character must have a key (A-Z, 0-9,
  // space, "/.-;,"); lower-case letters are typed as upper case.
  ReplayWriter& Type(std::string_view text);
  // Start, Type(text), End.
  ReplayWriter& Say(std::string_view text) { return Start().Type(text).End(); }
  // One record per character of `keys`: '[' Start, ']' End, '<' Erase, '~'
  // Noise(1); any other character is typed.
  ReplayWriter& Keys(std::string_view keys);
  // `records` records whose pairs are no key code.
  ReplayWriter& Noise(uint64_t records);
  // Appends `count` raw filler bytes (a partial record, or a short file).
  ReplayWriter& Filler(uint64_t count);

  // Bytes written so far in total, taken or not.
  uint64_t size() const { return taken_ + bytes_.size(); }
  // Hands over the bytes not yet taken, so a large replay can be streamed.
  std::string Take();

 private:
  uint8_t RandomByte() { return static_cast<uint8_t>(rng_() >> 24); }

  std::mt19937 rng_;
  std::string bytes_;
  uint64_t taken_ = 0;
};

// Synthesizes `size` bytes of a replay of `kind`, handing them to `write` in
// pieces, in order, until done or until `write` returns false:
//   "noise"  records with no key codes at all;
//   "game"   like a typical game: a line of chat every few thousand records;
//   "chat"   messages between short stretches of noise;
//   "worst"  every record a key code, so every position is a hit;
//   "open"   one message opened at the start and never sent, a character
//            every other record;
//   "erased" one message typed through the first half and erased back to
//            nothing through the second;
//   "empty"  nothing but empty messages (start, end, start, end, ...);
//   "long"   messages of a million characters;
//   "erasures" long messages with bursts of erasures reaching far back;
//   "mix"    a seeded mix of all of these, message lengths heavy-tailed;
//   "typos"  one message typed with a correction everywhere: two characters,
//            then one erasure, over and over;
//   "jumble" messages of heavy-tailed length, 15% of their keys erasures,
//            some start keys while one is open, noise between keys.
// Returns false for an unknown kind (before writing anything) or when `write`
// returned false. The same kind, size and seed give the same bytes.
bool SynthesizeReplay(const std::string& kind, uint64_t size, uint32_t seed,
                      const std::function<bool(const std::string& bytes)>& write);

// The same replay whole, in memory; empty for an unknown kind.
std::string SynthesizedReplay(const std::string& kind, uint64_t size, uint32_t seed);

}  // namespace murvik

#endif  // MURVIK_TOOLS_REPLAYGEN_REPLAY_WRITER_H_
