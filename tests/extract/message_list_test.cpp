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

// What a stretch's keys "AB[CD" make: "AB", typed before the start key, lies
// in the list's memory before "CD" and belongs to no message.
MessageList WithLead() {
  ChatBuilder builder(ChatBuilder::Before::kUnknown);
  const std::string bytes = ReplayWriter().Keys("AB[CD").Take();
  ApplyKeys(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, builder);
  return builder.TakePiece().messages;
}

TEST(MessageList, EachChangeLeavesTheMessagesItShould) {
  MessageList a = Of({{"HI", 1, false}, {"", 2, true}, {"YO", 3, false}});
  EXPECT_EQ(Described(a), "HI@1. @2. YO@3~ | HIYO");
  a.Append(Of({{"P", 4, true}, {"QR", 5, false}}), 1);
  EXPECT_EQ(Described(a), "HI@1. @2. YO@3. QR@5~ | HIYOQR");
  a.EraseFromLast(1);
  a.AppendToLast("XY");
  a.EraseFromLast(9);  // no further than the last message's start
  a.AppendToLast("Z");
  a.SetLastSent(true);
  EXPECT_EQ(Described(a), "HI@1. @2. YO@3. Z@5. | HIYOZ");
  a.PopBack();
  a.LowercaseLetters();
  EXPECT_EQ(Described(a), "hi@1. @2. yo@3. | hiyo");
  MessageList piece = WithLead();
  EXPECT_EQ(Described(piece), "CD@297~ | CD");
  piece.LowercaseLetters();
  a.Append(piece);
  EXPECT_EQ(Described(a), "hi@1. @2. yo@3. cd@297~ | hiyocd");
  for (int i = 0; i < 4; ++i) a.PopBack();
  EXPECT_EQ(Described(a), "| ");
}

TEST(MessageList, EqualWhenEveryMessageIsTheSame) {
  const MessageList base = Of({{"AB", 1, true}, {"C", 2, false}});
  EXPECT_EQ(base, Of({{"AB", 1, true}, {"C", 2, false}}));
  EXPECT_EQ(WithLead(), Of({{"CD", 297, false}}));  // the lead is no message
  for (const MessageList& other : {Of({{"A", 1, true}, {"BC", 2, false}}), Of({{"AB", 1, true}, {"C", 3, false}}),
                                   Of({{"AB", 1, true}, {"C", 2, true}}), Of({{"AB", 1, true}})})
    EXPECT_NE(base, other) << Described(other);
}

}  // namespace
}  // namespace murvik
