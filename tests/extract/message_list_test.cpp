// MessageList after each kind of change, described as "TEXT@offset." per
// sent message and "TEXT@offset~" for an open last one, beside the
// characters text() gives; and which lists count as equal.
#include "extract/message_list.h"

#include <gtest/gtest.h>

#include <string>

#include "extract/scanner.h"
#include "replay_writer.h"

namespace murvik {
namespace {

std::string Described(const MessageList& list) {
  std::string out;
  for (const Message m : list) out += std::string(m.text) + "@" + std::to_string(m.offset) + (m.sent ? ". " : "~ ");
  return out + "| " + std::string(list.text());
}

MessageList Of(std::initializer_list<Message> messages) {
  MessageList list;
  for (const Message& m : messages) list.Add(m.text, m.offset, m.sent);
  return list;
}

// The changes whose faults the core's use of them would hide: how far an
// erasure reaches, the message before one popped becoming sent, and the
// characters a stretch's keys "AB[CD" leave in a piece's memory before "CD",
// typed before its start key and belonging to no message, which text(),
// equality and appending leave out. The rest (appending from a
// list's `from`th message, popping, marking sent) the read paths' tests pin
// against one scan.
TEST(MessageList, EachChangeLeavesTheMessagesItShould) {
  MessageList a = Of({{"HI", 1, false}, {"", 2, true}, {"YO", 3, false}});
  EXPECT_EQ(Described(a), "HI@1. @2. YO@3~ | HIYO");
  a.EraseFromLast(9);  // no further than the last message's start
  a.AppendToLast("Z");
  EXPECT_EQ(Described(a), "HI@1. @2. Z@3~ | HIZ");
  ChatBuilder builder(ChatBuilder::Before::kUnknown);
  const std::string bytes = ReplayWriter().Keys("AB[CD").Take();
  ApplyKeys(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, builder);
  MessageList piece = builder.TakePiece().messages;
  EXPECT_EQ(Described(piece), "CD@297~ | CD");
  EXPECT_EQ(piece, Of({{"CD", 297, false}}));
  piece.LowercaseLetters();
  a.Append(piece);
  EXPECT_EQ(Described(a), "HI@1. @2. Z@3. cd@297~ | HIZcd");
  a.PopBack();
  EXPECT_EQ(Described(a), "HI@1. @2. Z@3. | HIZ");
}

TEST(MessageList, EqualWhenEveryMessageIsTheSame) {
  const MessageList base = Of({{"AB", 1, true}, {"C", 2, false}});
  EXPECT_EQ(base, Of({{"AB", 1, true}, {"C", 2, false}}));
  for (const MessageList& other : {Of({{"A", 1, true}, {"BC", 2, false}}), Of({{"AB", 1, true}, {"C", 3, false}}),
                                   Of({{"AB", 1, true}, {"C", 2, true}}), Of({{"AB", 1, true}})})
    EXPECT_NE(base, other) << Described(other);
}

}  // namespace
}  // namespace murvik
