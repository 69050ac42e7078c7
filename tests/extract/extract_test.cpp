#include "extract/extract.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "replay_bytes.h"
#include "temp_dir_test.h"

namespace murvik {
namespace {

using testing::ReplayOf;

using ExtractChatTest = testing::TempDirTest;

TEST_F(ExtractChatTest, ReadsTheChatOfAReplay) {
  const ChatResult r = ExtractChat(Write("a.rep", ReplayOf({"4024", "3022", "7021", "C021", "4024", "8021"})));
  ASSERT_TRUE(r.status.ok()) << r.status.reason();
  EXPECT_EQ(r.Text(), "HI\r\nO");
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[1].offset, 273u + 4 * 12);
  EXPECT_FALSE(r.messages[1].sent);
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
