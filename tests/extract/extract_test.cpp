// ExtractChat on real files, one thread and two: a file that changes while
// it is read, progress and stopping. That every read path finds the right
// messages is the fuzz property's (chat_property_test.cpp).
#include "extract/extract.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "chat_text.h"
#include "replay_writer.h"

namespace murvik {
namespace {

// Writes `bytes` to this process's own file in the temporary folder,
// replacing it, and returns its path. The file goes when the process ends.
std::string Write(const std::string& bytes) {
  static const struct File {
    std::string path = ::testing::TempDir() + "murvik-extract-test-" + std::to_string(getpid()) + ".rep";
    ~File() { std::remove(path.c_str()); }
  } file;
  std::ofstream(file.path, std::ios::binary | std::ios::trunc) << bytes;
  return file.path;
}

// Reads with two threads from the first byte (or one, for a stretch of 0), in
// stretches of `stretch` bytes read `chunk` bytes at a time.
ExtractOptions Reading(uint64_t stretch, size_t chunk) {
  ExtractOptions o;
  o.parallel_from = stretch == 0 ? UINT64_MAX : 0;
  o.stretch_size = stretch;
  o.chunk_size = chunk;
  return o;
}

// What an extraction gives: the messages handed over early, then the rest.
// `on_first` runs when the first messages are handed over.
ChatResult ExtractHandingOver(const std::string& path, ExtractOptions o, const std::function<void()>& on_first = {}) {
  MessageList handed;
  o.on_sent = [&](MessageList& sent) {
    if (handed.empty() && on_first) on_first();
    handed.Append(sent);
  };
  ChatResult r = ExtractChat(path, o);
  handed.Append(r.messages);
  r.messages = std::move(handed);
  return r;
}

// The length is taken when the file is opened: bytes added later are not
// read, and a file cut short meanwhile fails rather than give part of a chat.
TEST(ExtractChat, ReadsTheLengthItOpenedOrFailsWhenItShrinks) {
  const std::string bytes = SynthesizedReplay("chat", 200000, 4);
  const MessageList expected = ChatOf(bytes);
  for (const ExtractOptions& reading : {Reading(0, 300), Reading(1000, 300)}) {
    const std::string path = Write(bytes);
    ChatResult r = ExtractHandingOver(path, reading, [&] { std::ofstream(path, std::ios::app) << bytes; });
    EXPECT_TRUE(r.status.ok()) << r.status.reason();
    EXPECT_EQ(r.messages, expected);
    r = ExtractHandingOver(path, reading, [&] { ASSERT_EQ(truncate(path.c_str(), 1000), 0); });
    EXPECT_EQ(r.status.reason(), "file shrank while being read");
  }
}

// Progress rises to the file's length on both paths; asking to stop fails the
// extraction there, with no messages passed off as the whole chat.
TEST(ExtractChat, ReportsProgressAndStopsWhenAsked) {
  const std::string bytes = SynthesizedReplay("chat", 5000, 5);
  const std::string path = Write(bytes);
  for (ExtractOptions reading : {Reading(0, 300), Reading(1000, 300)}) {
    std::vector<uint64_t> seen;
    reading.on_progress = [&](uint64_t done) { return seen.push_back(done), true; };
    EXPECT_TRUE(ExtractChat(path, reading).status.ok());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) && seen.size() > 3 && seen.back() == bytes.size());
    reading.on_progress = [](uint64_t done) { return done < 2000; };
    const ChatResult r = ExtractChat(path, reading);
    EXPECT_TRUE(r.status.reason() == kCancelled && r.messages.empty());
  }
}

}  // namespace
}  // namespace murvik
