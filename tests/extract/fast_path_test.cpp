// The fast read paths (groups of four positions, stretches read by two
// threads, sent messages handed over early) against a plain scan written
// here: one position at a time, the rules applied as they read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "extract/extract.h"
#include "extract/keycodes.h"
#include "extract/scanner.h"
#include "message_testing.h"
#include "temp_dir_test.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;

const KeyCode* PlainLookUp(uint8_t first, uint8_t second) {
  for (const KeyCode& k : kKeyCodes)
    if (k.first == first && k.second == second) return &k;
  return nullptr;
}

// The chat of `bytes`, read one position at a time.
std::vector<Message> ReferenceScan(const std::string& bytes) {
  std::vector<Message> messages;
  bool open = false;
  for (size_t p = 273; p + 1 < bytes.size(); p += 12) {
    const KeyCode* k = PlainLookUp(static_cast<uint8_t>(bytes[p]), static_cast<uint8_t>(bytes[p + 1]));
    if (k == nullptr) continue;
    if (k->action == KeyAction::kStart && !open) {
      messages.push_back({"", p, false});
      open = true;
    } else if (k->action == KeyAction::kEnd && open) {
      messages.back().sent = true;
      open = false;
    } else if (k->action == KeyAction::kErase && open && !messages.back().text.empty()) {
      messages.back().text.pop_back();
    } else if (k->action == KeyAction::kChar && open) {
      messages.back().text += k->ch;
    }
  }
  return messages;
}

// Random bytes in which a share `code_share` of the pair positions holds a
// table code, starts and ends made common enough for many short messages.
std::string RandomReplay(size_t size, double code_share, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  std::bernoulli_distribution is_code(code_share);
  for (size_t p = 273; p + 1 < size; p += 12) {
    if (!is_code(rng)) continue;
    const unsigned pick = rng() % (kKeyCodes.size() + 8);
    const KeyCode& k = kKeyCodes[pick < kKeyCodes.size() ? pick : pick % 3];  // start, end, erase
    bytes[p] = static_cast<char>(k.first);
    bytes[p + 1] = static_cast<char>(k.second);
  }
  return bytes;
}

// Each test writes its replays to one file, "r.rep".
class FastPathTest : public testing::TempDirTest {
 protected:
  std::string Write(const std::string& bytes) { return TempDirTest::Write("r.rep", bytes); }
};

// Options that read with two threads from the first byte, in stretches of
// `stretch` bytes read `chunk` bytes at a time.
ExtractOptions TwoThreads(uint64_t stretch, size_t chunk) {
  ExtractOptions o;
  o.parallel_from = 0;
  o.stretch_size = stretch;
  o.chunk_size = chunk;
  return o;
}

TEST(ForEachKey, FindsEveryCodeWhosePairLiesInTheWindow) {
  // Every window [begin, end) of a replay, so that the groups of four start
  // at every alignment and end at every remainder.
  const std::string bytes = RandomReplay(273 + 12 * 24 + 5, 0.5, 11);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t begin = 260; begin <= bytes.size(); ++begin) {
    for (size_t end = begin; end <= bytes.size(); ++end) {
      std::vector<std::pair<uint64_t, int>> expected, found;
      for (size_t p = 273; p + 1 < end; p += 12)
        if (p >= begin)
          if (const KeyCode* k = PlainLookUp(data[p], data[p + 1])) expected.push_back({p, k - kKeyCodes.data()});
      ForEachKey(data + begin, end - begin, begin, [&](uint64_t offset, uint8_t key) {
        found.push_back({offset, key});
      });
      ASSERT_EQ(found, expected) << "window " << begin << ".." << end;
    }
  }
}

TEST_F(FastPathTest, TwoThreadsGiveThePlainScansMessagesAtEveryBoundary) {
  struct Input {
    const char* name;
    std::string bytes;
  };
  const Input inputs[] = {
      {"chat-free", RandomReplay(1000, 0.0, 1)},
      {"some codes", RandomReplay(1001, 0.2, 2)},
      {"every position a code", RandomReplay(1002, 1.0, 3)},
      {"last pair incomplete", RandomReplay(273 + 12 * 60 + 1, 0.7, 4)},
  };
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    const std::string path = Write(in.bytes);
    const std::vector<Message> expected = ReferenceScan(in.bytes);
    // Stretches of 100 to 400 bytes put a boundary between the threads at
    // every place relative to a pair, on both threads' sides; chunks of 13
    // and 1 byte cut within stretches at every place too. Tiny stretches and
    // one of a quarter of the file (the largest used) as well.
    std::vector<uint64_t> stretches = {1, 11, 12, 13, (in.bytes.size() + 3) / 4};
    for (uint64_t s = 100; s <= 400; ++s) stretches.push_back(s);
    for (uint64_t stretch : stretches) {
      for (size_t chunk : {size_t{1}, size_t{13}, size_t{1} << 20}) {
        if (chunk == 1 && stretch % 5 != 0) continue;  // slow; a sample suffices
        const ChatResult r = ExtractChat(path, TwoThreads(stretch, chunk));
        ASSERT_TRUE(r.status.ok()) << r.status.reason();
        ASSERT_EQ(r.messages, expected) << "stretch " << stretch << ", chunk " << chunk;
      }
    }
  }
}

TEST_F(FastPathTest, LargerRandomFilesMatchThePlainScan) {
  std::mt19937 rng(5);
  for (int round = 0; round < 30; ++round) {
    const size_t size = 1 + rng() % 200000;
    const double share = (rng() % 4) / 3.0;
    const std::string bytes = RandomReplay(size, share, static_cast<uint32_t>(round));
    const std::string path = Write(bytes);
    const std::vector<Message> expected = ReferenceScan(bytes);
    const uint64_t stretch = 1 + rng() % 30000;
    const size_t chunk = 1 + rng() % 5000;
    SCOPED_TRACE(::testing::Message() << "size " << size << ", stretch " << stretch << ", chunk " << chunk);
    EXPECT_EQ(ExtractChat(path, TwoThreads(stretch, chunk)).messages, expected);
    ExtractOptions one;
    one.chunk_size = chunk;
    EXPECT_EQ(ExtractChat(path, one).messages, expected);
    EXPECT_EQ(ExtractChat(path).messages, expected);
  }
}

TEST_F(FastPathTest, SentMessagesHandedOverEarlyCompleteTheResult) {
  std::string bytes = RandomReplay(60000, 0.6, 8);
  bytes[273 + (60000 - 275) / 12 * 12] = '\x40';  // a start code at the last position
  bytes[274 + (60000 - 275) / 12 * 12] = '\x24';
  const std::string path = Write(bytes);
  const std::vector<Message> expected = ReferenceScan(bytes);
  ASSERT_GT(expected.size(), 100u);
  ASSERT_FALSE(expected.back().sent) << "the input should end inside a message";

  for (bool two_threads : {false, true}) {
    SCOPED_TRACE(two_threads ? "two threads" : "one thread");
    ExtractOptions o = two_threads ? TwoThreads(1000, 300) : ExtractOptions{};
    o.chunk_size = 300;
    std::vector<Message> handed;
    int batches = 0;
    o.on_sent = [&](std::vector<Message>& sent) {
      ++batches;
      for (Message& m : sent) {
        EXPECT_TRUE(m.sent);
        handed.push_back(std::move(m));
      }
    };
    ChatResult r = ExtractChat(path, o);
    ASSERT_TRUE(r.status.ok());
    EXPECT_GT(batches, 10);
    EXPECT_EQ(r.messages.size(), 1u) << "only the open last message is left";
    handed.insert(handed.end(), r.messages.begin(), r.messages.end());
    EXPECT_EQ(handed, expected);
  }
}

TEST_F(FastPathTest, AFileShorterThanItsLengthFailsOnEveryPath) {
  // Files under /sys claim a length of a page but hold a few bytes: as if the
  // file shrank after it was opened.
  const std::string path = "/sys/kernel/mm/transparent_hugepage/enabled";
  if (!fs::is_regular_file(path) || fs::file_size(path) < 1000) GTEST_SKIP() << "no such file here";
  for (const ExtractOptions& o : {ExtractOptions{}, TwoThreads(1000, 300), TwoThreads(100, 30)}) {
    const ChatResult r = ExtractChat(path, o);
    EXPECT_FALSE(r.status.ok());
    EXPECT_EQ(r.status.reason(), "file shrank while being read");
    EXPECT_TRUE(r.messages.empty());
  }
}

}  // namespace
}  // namespace murvik
