// The fuzz property (fuzz/chat_property.cpp), run in every build over
// generated replays and the inputs once saved from the fuzzer; it aborts,
// saying what differs, when it breaks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "replay_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace murvik {
namespace {

void Holds(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Sizes around the first positions, then larger: chat between noise, and
// every record a code (any order of starts, ends, erases and characters).
TEST(ChatProperty, HoldsForGeneratedReplays) {
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    const uint64_t size = seed <= 30 ? 262 + seed : seed * 1511 % 40000;
    Holds(SynthesizedReplay(seed % 2 ? "worst" : "chat", size, seed));
  }
}

// Every pair of bytes, in a message and out of one: a pair that is no code
// must leave the chat alone, however much it looks like one.
TEST(ChatProperty, HoldsForEveryPairOfBytes) {
  ReplayWriter w;
  for (int pair = 0; pair < 0x10000; ++pair) {
    w.End().Pair(pair >> 8, pair & 0xFF).Type("A");
    w.Start().Type("B").Pair(pair >> 8, pair & 0xFF).Type("C").End();
  }
  Holds(w.Take());
}

TEST(ChatProperty, HoldsForTheSavedRegressions) {
  for (const auto& entry : std::filesystem::directory_iterator(MURVIK_FUZZ_REGRESSIONS)) {
    if (entry.path().extension() == ".md") continue;
    std::ostringstream bytes;
    bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    Holds(bytes.str());
  }
}

}  // namespace
}  // namespace murvik
