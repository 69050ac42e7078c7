// What the tests ask of a chat beyond the core's header: a replay's chat read
// from bytes in memory.
#ifndef MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_
#define MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_

#include <string>
#include <string_view>

#include "extract/message_list.h"

namespace murvik {

// The messages of the replay `bytes`, read by one thread in one go.
MessageList ChatOf(std::string_view bytes);

}  // namespace murvik

#endif  // MURVIK_TESTS_SUPPORT_CHAT_TEXT_H_
