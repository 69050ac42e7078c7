// MessageList: what each change leaves, described as "TEXT@offset." per sent
// message and "TEXT@offset~" for an open last one, beside the characters
// text() gives; and which lists count as equal.
#include "extract/message_list.h"

#include <gtest/gtest.h>

#include <functional>
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

// The messages a stretch's keys "AB[CD" make: "AB", typed before the start
// key, lies in the list's memory before "CD" and belongs to no message.
MessageList WithLead() {
  ChatBuilder builder(ChatBuilder::Before::kUnknown);
  const std::string bytes = ReplayWriter().Keys("AB[CD").Take();
  ApplyKeys(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, builder);
  return builder.TakePiece().messages;
}

TEST(MessageList, EachChangeLeavesTheMessagesItShould) {
  const struct {
    const char* what;
    std::function<MessageList()> make;
    const char* expected;
  } cases[] = {
      {"added",
       [] {
         return Of({{"HI", 1, true}, {"", 2, true}, {"YO", 3, false}});
       },
       "HI@1. @2. YO@3~ | HIYO"},
      {"added after an open one, which is then sent",
       [] {
         return Of({{"A", 1, false}, {"B", 2, true}});
       },
       "A@1. B@2. | AB"},
      {"appended from the second on",
       [] {
         MessageList a = Of({{"X", 1, true}});
         a.Append(Of({{"P", 2, true}, {"Q", 3, false}}), 1);
         return a;
       },
       "X@1. Q@3~ | XQ"},
      {"popped back",
       [] {
         MessageList a = Of({{"A", 1, true}, {"B", 2, false}});
         a.PopBack();
         return a;
       },
       "A@1. | A"},
      {"popped back to none",
       [] {
         MessageList a = Of({{"A", 1, false}});
         a.PopBack();
         return a;
       },
       "| "},
      {"the last erased, no further than its start, then typed into and sent",
       [] {
         MessageList a = Of({{"Q", 0, true}, {"ABC", 1, false}});
         a.EraseFromLast(2);
         a.AppendToLast("XY");
         a.EraseFromLast(9);
         a.AppendToLast("Z");
         a.SetLastSent(true);
         return a;
       },
       "Q@0. Z@1. | QZ"},
      {"lowercased",
       [] {
         MessageList a = Of({{"AB-1", 1, true}, {"Z", 2, false}});
         a.LowercaseLetters();
         return a;
       },
       "ab-1@1. z@2~ | ab-1z"},
      {"a stretch's, its lead left out", WithLead, "CD@297~ | CD"},
      {"a stretch's lowercased",
       [] {
         MessageList a = WithLead();
         a.LowercaseLetters();
         return a;
       },
       "cd@297~ | cd"},
      {"a stretch's appended",
       [] {
         MessageList a = Of({{"X", 1, true}});
         a.Append(WithLead());
         return a;
       },
       "X@1. CD@297~ | XCD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Described(c.make()), c.expected) << c.what;
}

TEST(MessageList, EqualWhenEveryMessageIsTheSame) {
  const MessageList base = Of({{"AB", 1, true}, {"C", 2, false}});
  EXPECT_EQ(base, Of({{"AB", 1, true}, {"C", 2, false}}));
  EXPECT_EQ(WithLead(), Of({{"CD", 297, false}}));  // the lead is no message
  const MessageList others[] = {
      Of({{"A", 1, true}, {"BC", 2, false}}),  // the same characters, split elsewhere
      Of({{"AB", 1, true}, {"C", 3, false}}), Of({{"AB", 1, true}, {"C", 2, true}}),
      Of({{"AB", 1, true}, {"D", 2, false}}), Of({{"AB", 1, true}}),
  };
  for (const MessageList& other : others) EXPECT_NE(base, other) << Described(other);
}

}  // namespace
}  // namespace murvik
