// What the file reading refuses, and with which reason, and that no path out
// of an extraction leaves the replay open: a batch of thousands of replays
// would run out of descriptors.
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

size_t OpenDescriptors() { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); }

struct Folder {
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  const std::string path = ::testing::TempDir() + "murvik-file-read-" + std::to_string(getpid());
};

TEST(ReplayFile, RefusesWhatIsNoReplayAndClosesIt) {
  const Folder folder;
  ASSERT_EQ(mkfifo((folder.path + "/fifo").c_str(), 0600), 0);
  std::ofstream(folder.path + "/empty").flush();
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {"", "empty path"},
      {std::string("a\0b", 3), "path contains a NUL byte"},
      {folder.path + "/missing", "No such file or directory"},
      {folder.path, "is a directory"},
      {folder.path + "/fifo", "is a FIFO, not a regular file"},  // refused without blocking
      {"/dev/zero", "is a character device, not a regular file"},
      {folder.path + "/empty", "empty file"},
  };
  for (const auto& c : cases) {
    const size_t before = OpenDescriptors();
    const ChatResult r = ExtractChat(c.path);
    EXPECT_EQ(r.status.reason(), c.reason) << c.path;
    EXPECT_EQ(OpenDescriptors(), before) << c.path;
    EXPECT_EQ(RegularFileSize(c.path).has_value(), c.path == folder.path + "/empty") << c.path;
  }
}

TEST(ExtractChat, LeavesNoReplayOpenOnAnyPathOut) {
  const Folder folder;
  const std::string path = folder.path + "/chat.rep", bytes = SynthesizedReplay("chat", 100000, 7);
  const struct {
    const char* what;
    std::function<bool(uint64_t)> on_progress;
    const char* reason;
  } cases[] = {
      {"read", {}, ""},
      {"cancelled", [](uint64_t) { return false; }, kCancelled},
      {"shrank", [&](uint64_t) { return truncate(path.c_str(), 1000), true; }, "file shrank while being read"},
  };
  for (const uint64_t parallel_from : {uint64_t{0}, UINT64_MAX}) {
    for (const auto& c : cases) {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
      ExtractOptions o;
      o.parallel_from = parallel_from;
      o.chunk_size = o.stretch_size = 1000;
      o.on_progress = c.on_progress;
      const size_t before = OpenDescriptors();
      EXPECT_EQ(ExtractChat(path, o).status.reason(), c.reason) << c.what;
      EXPECT_EQ(OpenDescriptors(), before) << c.what << ", " << (parallel_from ? "one thread" : "two threads");
    }
  }
}

}  // namespace
}  // namespace murvik
