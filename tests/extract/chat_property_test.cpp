// The fuzz property (fuzz/chat_property.cpp), run in every build over
// generated replays and the inputs once saved from the fuzzer; it aborts,
// saying what differs, when it breaks. The stretches of a read by two threads
// are so small that messages, erasures, start and end keys straddle every
// boundary, and long enough that a piece finishes its first message and more;
// one case reads in stretches of hundreds of records, for long runs of a key.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "replay_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace murvik {
namespace {

void Holds(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Every pair of bytes, in a message and out of one: a pair that is no code
// must leave the chat alone, however much it looks like one.
std::string EveryPairOfBytes() {
  ReplayWriter w;
  for (int pair = 0; pair < 0x10000; ++pair) {
    w.End().Pair(pair >> 8, pair & 0xFF).Type("A");
    w.Start().Type("B").Pair(pair >> 8, pair & 0xFF).Type("C").End();
  }
  return w.Take();
}

// Each size around the first positions (a last pair whole or missing its
// second byte), then larger: chat between noise, and every record a code
// (any order of starts, ends, erases and characters), which ends with a
// message open or not, as its seed falls; each read as its first bytes say.
TEST(ChatProperty, HoldsForGeneratedReplays) {
  for (uint32_t seed = 1; seed <= 110; ++seed)
    Holds(SynthesizedReplay(seed % 2 ? "worst" : "chat", seed <= 60 ? 262 + seed / 2 : seed * 1511 % 40000, seed));
}

// Every shape of chat, each read in chunks and stretches so small that one
// message spans thousands of them (down to one record), by one thread and
// two, from a file and a pipe, and fed to a ChatReader in pieces of up to 13
// bytes and up to 256, handing over early or not (the first four bytes say
// how).
TEST(ChatProperty, HoldsForEveryShapeInSmallPieces) {
  for (const char* kind : {"open", "erased", "empty", "long", "erasures", "mix", "typos", "jumble"}) {
    for (uint32_t seed = 1; seed <= 2; ++seed) {
      std::string bytes = SynthesizedReplay(kind, 60000 + 4099 * seed, seed);
      for (const char* how : {"\x00\x17\x00\x02", "\x10\x0B\x00\x00", "\x40\x3F\xFF\x02", "\xFF\x05\xFF\x03",
                              "\x0C\x00\x00\x06", "\xFF\x00\x00\x04"})
        Holds(bytes.replace(0, 4, how, 4));
    }
  }
}

// A message open at a stretch's start runs on into the stretch's first
// message (a start key while it is open) and is sent; the next message's run
// of 70 erasures, blocks of nothing else, reaches back past that message's
// own start and stops there, never in the message open before. Read by two
// threads in stretches of 682 records and of 256 (in chunks of 85, handing
// over early); the noise grows from one pattern to the next, so stretch
// boundaries fall at many places in it.
TEST(ChatProperty, HoldsWhenALaterMessagesErasuresReachPastItsStart) {
  ReplayWriter w;
  for (int i = 0; i < 40; ++i) w.Keys("[OPEN").Noise(150 + 7 * i).Keys("[A][B" + std::string(70, '<') + "]");
  std::string bytes = w.Take();
  for (const char* how : {"\xFF\x1F\x00\xF8", "\x03\x0B\x00\xFA"}) Holds(bytes.replace(0, 4, how, 4));
}

// Read from a file by two threads in stretches of one record and of one and
// a byte, in chunks of 200, handing over early or not; from a pipe in
// chunks of 256; and fed to a ChatReader in pieces of up to 256 bytes.
TEST(ChatProperty, HoldsForEveryPairOfBytes) {
  std::string bytes = EveryPairOfBytes();
  for (const char* how : {"\xC7\x0B\x00\x02", "\xC7\x0C\x00\x00", "\xFF\x00\x00\x01", "\xFF\x00\x00\x06"})
    Holds(bytes.replace(0, 4, how, 4));
}

// Each breaks the property should a fault it caught, or was made to catch,
// come back (see the folder's README). Finding fewer than the three kept
// there fails: a test over none would check nothing.
TEST(ChatProperty, HoldsForTheSavedRegressions) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MURVIK_FUZZ_REGRESSIONS)) {
    if (entry.path().extension() == ".md") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    Holds(std::string(std::istreambuf_iterator<char>(in), {}));
    ++inputs;
  }
  EXPECT_GE(inputs, 3u);
}

}  // namespace
}  // namespace murvik
