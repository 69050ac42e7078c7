// The memory a chat's messages take while murvik-chat holds them, as it
// counts it against its bounds.
#ifndef MURVIK_CLI_HELD_BYTES_H_
#define MURVIK_CLI_HELD_BYTES_H_

#include <cstddef>
#include <vector>

#include "extract/chat.h"

namespace murvik {

inline size_t HeldBytes(const MessageList& messages) { return messages.bytes(); }

}  // namespace murvik

#endif  // MURVIK_CLI_HELD_BYTES_H_
