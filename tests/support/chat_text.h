// What the tests and the fuzzer ask of a chat beyond the core's header: a
// replay's chat read from bytes in memory, and a chat as one text.
#ifndef MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_
#define MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_

#include <string>
#include <string_view>

#include "extract/message_list.h"

namespace murvik {

// The messages of the replay `bytes`, read by one thread in one go.
MessageList ChatOf(std::string_view bytes);

// The chat as one text: each message's characters, and CR LF after each sent
// one; a message left open at the end has no line break after it.
std::string ChatText(const MessageList& messages);

}  // namespace murvik

#endif  // MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_
