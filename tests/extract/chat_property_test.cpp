// The fuzz property (fuzz/chat_property.cpp), run in every build over
// generated replays and the inputs once saved from the fuzzer; it aborts,
// saying what differs, when it breaks. And the join of pieces against the
// rules applied in file order, with stretches so small that messages,
// erasures, start and end keys straddle every boundary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chat_text.h"
#include "replay_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
murvik::MessageList JoinedPieces(const uint8_t* data, size_t size, uint64_t stretch);

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

// Sizes around the first positions, then larger: chat between noise, and
// every record a code (any order of starts, ends, erases and characters).
TEST(ChatProperty, HoldsForGeneratedReplays) {
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    const uint64_t size = seed <= 30 ? 262 + seed : seed * 1511 % 40000;
    Holds(SynthesizedReplay(seed % 2 ? "worst" : "chat", size, seed));
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
// handing over early; and from a pipe in chunks of 256.
TEST(ChatProperty, HoldsForEveryPairOfBytes) {
  std::string bytes = EveryPairOfBytes();
  Holds(bytes.replace(0, 4, "\xC7\x17\x00\x02", 4));
  Holds(bytes.replace(0, 4, "\xFF\x00\x00\x01", 4));
}

// Each breaks the property should a fault it caught, or was made to catch,
// come back (see the folder's README). Finding fewer than the three kept
// there fails: a test over none would check nothing.
TEST(ChatProperty, HoldsForTheSavedRegressions) {
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MURVIK_FUZZ_REGRESSIONS)) {
    if (entry.path().extension() == ".md") continue;
    std::ostringstream bytes;
    bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    Holds(bytes.str());
    ++inputs;
  }
  EXPECT_GE(inputs, 3u);
}

// Stretches of 1 byte (most hold no code), of one record (a stretch that is
// a single erase, start or end), a little over one, and longer; messages open
// across many of them in the chat replays. The worst case ends with a message
// open or not, as its seed falls.
TEST(ChatJoin, GivesWhatTheRulesGiveInFileOrder) {
  std::vector<std::string> replays = {EveryPairOfBytes()};
  for (uint32_t seed = 1; seed <= 6; ++seed)
    replays.push_back(SynthesizedReplay(seed % 2 ? "worst" : "chat", 3000 + 977 * seed, seed));
  for (const std::string& bytes : replays) {
    const MessageList expected = ChatOf(bytes);
    for (uint64_t stretch : {1, 5, 12, 13, 25, 100, 4096}) {
      if (bytes.size() > 100000 && stretch < 12) continue;  // slow; the small replays cover it
      const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
      ASSERT_EQ(JoinedPieces(data, bytes.size(), stretch), expected)
          << "stretch " << stretch << ", replay of " << bytes.size();
    }
  }
}

}  // namespace
}  // namespace murvik
