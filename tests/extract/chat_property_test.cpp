// The fuzz property (fuzz/chat_property.cpp), run in every build over
// generated replays and the inputs once saved from the fuzzer; it aborts,
// saying what differs, when it breaks. And the join of pieces against the
// rules applied in file order, at stretches the property does not take: so
// small that messages, erasures, start and end keys straddle every boundary,
// and so long that a piece finishes its first message and more.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "chat_text.h"
#include "replay_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
murvik::MessageList JoinedPieces(const uint8_t* data, size_t size, uint64_t stretch);

namespace murvik {
namespace {

void Holds(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// The messages of pieces of each of `stretches` bytes joined, against one scan.
void JoinsAsTheRulesSay(const std::string& bytes, std::initializer_list<uint64_t> stretches) {
  const MessageList expected = ChatOf(bytes);
  for (const uint64_t stretch : stretches)
    ASSERT_EQ(JoinedPieces(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), stretch), expected)
        << "stretch " << stretch << ", replay of " << bytes.size();
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

// Sizes around the first positions, then larger: chat between noise, and
// every record a code (any order of starts, ends, erases and characters),
// which ends with a message open or not, as its seed falls. Joined in pieces
// of 1 byte (most hold no code), of 5, and of 100 and 4096.
TEST(ChatProperty, HoldsForGeneratedReplays) {
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    const std::string bytes =
        SynthesizedReplay(seed % 2 ? "worst" : "chat", seed <= 30 ? 262 + seed : seed * 1511 % 40000, seed);
    Holds(bytes);
    JoinsAsTheRulesSay(bytes, {1, 5, 100, 4096});
  }
}

// Every shape of chat, each read in chunks and stretches so small that one
// message spans thousands of them, by one thread and two, from a file and a
// pipe, handing over early or not (the first four bytes say how).
TEST(ChatProperty, HoldsForEveryShapeInSmallPieces) {
  for (const char* kind : {"open", "erased", "empty", "long", "erasures", "mix"}) {
    for (uint32_t seed = 1; seed <= 2; ++seed) {
      std::string bytes = SynthesizedReplay(kind, 60000 + 4099 * seed, seed);
      for (const char* how : {"\x00\x17\x00\x02", "\x10\x0B\x00\x00", "\x40\x3F\xFF\x02", "\xFF\x05\xFF\x03"})
        Holds(bytes.replace(0, 4, how, 4));
    }
  }
}

// Read from a file by two threads in stretches of 24 bytes, chunks of 200,
// handing over early; and from a pipe in chunks of 256. Too large for the
// property to join in pieces: joined here, in stretches of one record, of one
// and a byte, of two and a byte, and longer.
TEST(ChatProperty, HoldsForEveryPairOfBytes) {
  std::string bytes = EveryPairOfBytes();
  Holds(bytes.replace(0, 4, "\xC7\x17\x00\x02", 4));
  Holds(bytes.replace(0, 4, "\xFF\x00\x00\x01", 4));
  JoinsAsTheRulesSay(bytes, {12, 13, 25, 100, 4096});
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
