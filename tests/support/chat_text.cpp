#include "chat_text.h"

#include "extract/scanner.h"

namespace murvik {

MessageList ChatOf(std::string_view bytes) {
  ChatScanner scanner;
  scanner.Feed(bytes);
  return scanner.TakeMessages();
}

std::string ChatText(const MessageList& messages) {
  std::string text;
  text.reserve(messages.text().size() + 2 * messages.size());
  for (const Message m : messages) {
    text += m.text;
    if (m.sent) text += "\r\n";
  }
  return text;
}

}  // namespace murvik
