// ExtractChat on real files, one thread and two: a file that changes while
// it is read, progress and stopping, and no path out that leaves the file
// open. That every read path finds the right messages is the fuzz property's
// (chat_property_test.cpp); murvik-chat's tests pin the reasons' words.
#include "extract/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

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

// The length is taken when the file is opened: bytes added later are not
// read, and progress rises to that length.
TEST(ExtractChat, ReadsTheLengthItOpened) {
  const std::string bytes = SynthesizedReplay("chat", 200000, 4);
  const MessageList expected = ExtractChat(Write(bytes)).messages;
  for (const uint64_t parallel_from : {uint64_t{0}, UINT64_MAX}) {
    SCOPED_TRACE(parallel_from ? "one thread" : "two threads");
    const std::string path = Write(bytes);
    ExtractOptions o;
    o.parallel_from = parallel_from;
    o.stretch_size = 1000;
    o.chunk_size = 300;
    MessageList handed;  // early, then the rest
    o.on_sent = [&](MessageList& sent) {
      if (handed.empty()) std::ofstream(path, std::ios::app) << bytes;
      handed.Append(sent);
    };
    std::vector<uint64_t> seen;
    o.on_progress = [&](uint64_t done) { return seen.push_back(done), true; };
    const ChatResult r = ExtractChat(path, o);
    handed.Append(r.messages);
    EXPECT_TRUE(r.status.ok()) << r.status.reason();
    EXPECT_EQ(handed, expected);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    ASSERT_GT(seen.size(), 3u);
    EXPECT_EQ(seen.back(), bytes.size());
  }
}

#ifndef _WIN32
size_t OpenDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

// No path out leaves a file open (a batch of thousands of replays would run
// out of descriptors): refused before opening or after, read, cancelled or
// cut short; and a read that fails, asked to stop or cut short meanwhile,
// passes no part of a chat off as the whole. And RegularFileSize knows a
// regular file from the rest.
TEST(ExtractChat, LeavesNoFileOpenOnAnyPathOut) {
  const std::string bytes = SynthesizedReplay("chat", 100000, 7), replay = Write(""), fifo = replay + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path, bytes;  // the replay holds `bytes` first
    std::function<bool(uint64_t)> on_progress;
    const char* reason;
  } cases[] = {
      {::testing::TempDir(), "", {}, "is a directory"},
      {fifo, "", {}, "is a FIFO, not a regular file"},  // without blocking
      {"/dev/zero", "", {}, "is a character device, not a regular file"},
      {replay, "", {}, "empty file"},
      {replay, bytes, {}, ""},
      {replay, bytes, [](uint64_t) { return false; }, kCancelled},
      {replay, bytes, [&](uint64_t) { return truncate(replay.c_str(), 1000), true; }, "file shrank while being read"},
  };
  for (const uint64_t parallel_from : {uint64_t{0}, UINT64_MAX}) {
    for (const auto& c : cases) {
      Write(c.bytes);
      ExtractOptions o;
      o.parallel_from = parallel_from;
      o.chunk_size = o.stretch_size = 1000;
      o.on_progress = c.on_progress;
      const size_t before = OpenDescriptors();
      const std::string where = c.path + " (" + c.reason + (parallel_from ? "), one thread" : "), two threads");
      const ChatResult r = ExtractChat(c.path, o);
      EXPECT_EQ(r.status.reason(), c.reason) << where;
      EXPECT_TRUE(r.status.ok() || r.messages.empty()) << where;  // no part passed off as the chat
      EXPECT_EQ(OpenDescriptors(), before) << where;
      EXPECT_EQ(RegularFileSize(c.path).has_value(), c.path == replay) << where;
    }
  }
  std::remove(fifo.c_str());
}
#endif

}  // namespace
}  // namespace murvik
