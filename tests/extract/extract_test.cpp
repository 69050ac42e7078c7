#include "extract/extract.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "replay_bytes.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;
using testing::ReplayOf;

class ExtractChatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/murvik-extract-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir_;
};

TEST_F(ExtractChatTest, ReadsTheChatOfAReplay) {
  const ChatResult r = ExtractChat(Write("a.rep", ReplayOf({"4024", "3022", "7021", "C021", "4024", "8021"})));
  ASSERT_TRUE(r.status.ok()) << r.status.reason();
  EXPECT_EQ(r.Text(), "HI\r\nO");
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[1].offset, 273u + 4 * 12);
  EXPECT_FALSE(r.messages[1].sent);
}

TEST_F(ExtractChatTest, UsesThePathExactlyAsGiven) {
  const std::string bytes = ReplayOf({"4024", "E021", "C021"});
  Write(" blank at both ends ", bytes);
  Write("blank at both ends", "");
  EXPECT_EQ(ExtractChat(dir_ + "/ blank at both ends ").Text(), "A\r\n");
  EXPECT_FALSE(ExtractChat(dir_ + "/blank at both ends").status.ok());
  EXPECT_FALSE(ExtractChat(dir_ + "/ blank at both ends").status.ok());
  Write("line\nbreak \xff", bytes);
  EXPECT_EQ(ExtractChat(dir_ + "/line\nbreak \xff").Text(), "A\r\n");
}

TEST_F(ExtractChatTest, ShortFilesGiveAnEmptyTextAndAnEmptyFileFails) {
  for (size_t length : {1, 100, 273, 274}) {
    SCOPED_TRACE(length);
    const ChatResult r = ExtractChat(Write("short.rep", std::string(length, '\x40')));
    EXPECT_TRUE(r.status.ok()) << r.status.reason();
    EXPECT_EQ(r.Text(), "");
  }
  const ChatResult empty = ExtractChat(Write("empty.rep", ""));
  EXPECT_FALSE(empty.status.ok());
  EXPECT_EQ(empty.status.reason(), "empty file");
}

TEST_F(ExtractChatTest, KeepsTheTextBeforeAnIncompleteLastPair) {
  const std::string bytes = ReplayOf({"4024", "E021", "C021"}) + "\x40";
  const ChatResult r = ExtractChat(Write("cut.rep", bytes));
  ASSERT_TRUE(r.status.ok()) << r.status.reason();
  EXPECT_EQ(r.Text(), "A\r\n");
}

TEST_F(ExtractChatTest, FailsWithAReasonForWhatIsNotAReadableFile) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string socket_path = dir_ + "/sock";
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  socket_path.copy(addr.sun_path, sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_symlink(dir_ + "/nowhere", dir_ + "/dangling");

  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"", "empty path"},
      {dir_ + "/missing.rep", "No such file or directory"},
      {dir_ + "/dangling", "No such file or directory"},
      {dir_, "is a directory"},
      {fifo, "is a FIFO, not a regular file"},
      {socket_path, "is a socket, not a regular file"},
      {"/dev/null", "is a character device, not a regular file"},
      {"/dev/zero", "is a character device, not a regular file"},
      {std::string("a\0b", 3), "path contains a NUL byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto start = std::chrono::steady_clock::now();
    const ChatResult r = ExtractChat(c.path);
    EXPECT_FALSE(r.status.ok());
    EXPECT_EQ(r.status.reason(), c.reason);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  close(sock);
}

TEST_F(ExtractChatTest, FollowsASymbolicLinkToAReplay) {
  const std::string target = Write("real.rep", ReplayOf({"4024", "E021", "C021"}));
  fs::create_symlink(target, dir_ + "/link.rep");
  EXPECT_EQ(ExtractChat(dir_ + "/link.rep").Text(), "A\r\n");
}

TEST_F(ExtractChatTest, ReadsAStreamToItsEnd) {
  const std::string bytes = ReplayOf({"4024", "E021", "C021", "4024", "0023"});
  const std::string path = Write("s.rep", bytes);
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ExtractChatFromStream(fd).Text(), "A\r\nB");
  // At its end now: nothing more to read is empty input.
  const ChatResult again = ExtractChatFromStream(fd);
  EXPECT_FALSE(again.status.ok());
  EXPECT_EQ(again.status.reason(), "empty input");
  close(fd);
}

}  // namespace
}  // namespace murvik
