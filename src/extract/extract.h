// Reading a replay file's chat.
#ifndef MURVIK_EXTRACT_EXTRACT_H_
#define MURVIK_EXTRACT_EXTRACT_H_

#include <string>
#include <vector>

#include "extract/chat.h"
#include "extract/status.h"

namespace murvik {

// What an extraction gives: on success the messages in file order (the last
// may be unsent); on failure a reason and no messages.
struct ChatResult {
  Status status;
  std::vector<Message> messages;

  // The chat as one text, lines ended by CR LF (see ChatText).
  std::string Text() const { return ChatText(messages); }
};

// Reads the replay at `path`, used exactly as given, and returns its chat.
// Fails for an empty path, a missing or unreadable file, anything but a
// regular file (without blocking on a FIFO or opening a device), and an empty
// file. Reads as many bytes as the opened file holds when opened, in bounded
// memory, and closes it on every path out.
ChatResult ExtractChat(const std::string& path);

// Reads a replay from `fd` until end of input and returns its chat; fails on
// a read error or empty input. Does not close `fd`.
ChatResult ExtractChatFromStream(int fd);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_EXTRACT_H_
