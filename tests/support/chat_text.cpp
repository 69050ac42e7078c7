#include "chat_text.h"

#include "extract/scanner.h"

namespace murvik {

MessageList ChatOf(std::string_view bytes) {
  ChatScanner scanner;
  scanner.Feed(bytes);
  return scanner.TakeMessages();
}

}  // namespace murvik
