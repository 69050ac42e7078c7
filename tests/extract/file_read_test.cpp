// No path out of ExtractChat, on one thread or two, leaves a file open (a
// batch of thousands of replays would run out of descriptors): refused before
// opening or after, read, cancelled or cut short. And RegularFileSize knows
// a regular file from the rest. murvik-chat's tests pin the reasons' words.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "extract/extract.h"
#include "replay_writer.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;

size_t OpenDescriptors() { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); }

TEST(ExtractChat, LeavesNoFileOpenOnAnyPathOut) {
  const std::string folder = ::testing::TempDir() + "murvik-file-read-" + std::to_string(getpid());
  const std::string replay = folder + "/chat.rep", empty = folder + "/empty", fifo = folder + "/fifo";
  fs::create_directories(folder);
  std::ofstream(empty).flush();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string bytes = SynthesizedReplay("chat", 100000, 7);
  const struct {
    std::string path;
    std::function<bool(uint64_t)> on_progress;
    const char* reason;
  } cases[] = {
      {folder, {}, "is a directory"},
      {fifo, {}, "is a FIFO, not a regular file"},  // without blocking
      {"/dev/zero", {}, "is a character device, not a regular file"},
      {empty, {}, "empty file"},
      {replay, {}, ""},
      {replay, [](uint64_t) { return false; }, kCancelled},
      {replay, [&](uint64_t) { return truncate(replay.c_str(), 1000), true; }, "file shrank while being read"},
  };
  for (const uint64_t parallel_from : {uint64_t{0}, UINT64_MAX}) {
    for (const auto& c : cases) {
      std::ofstream(replay, std::ios::binary | std::ios::trunc) << bytes;
      ExtractOptions o;
      o.parallel_from = parallel_from;
      o.chunk_size = o.stretch_size = 1000;
      o.on_progress = c.on_progress;
      const size_t before = OpenDescriptors();
      const std::string where = c.path + (parallel_from ? ", one thread" : ", two threads");
      EXPECT_EQ(ExtractChat(c.path, o).status.reason(), c.reason) << where;
      EXPECT_EQ(OpenDescriptors(), before) << where;
      EXPECT_EQ(RegularFileSize(c.path).has_value(), c.path == empty || c.path == replay) << where;
    }
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace murvik
