#include "extract/chat.h"

namespace murvik {

std::string ChatText(const std::vector<Message>& messages) {
  size_t size = 0;
  for (const Message& m : messages) size += m.text.size() + 2;
  std::string text;
  text.reserve(size);
  for (const Message& m : messages) {
    text += m.text;
    if (m.sent) text += "\r\n";
  }
  return text;
}

std::string LowercaseLetters(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace murvik
