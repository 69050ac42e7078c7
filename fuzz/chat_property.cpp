// The property the fuzzer checks: however a replay's bytes are cut into
// chunks, ChatScanner finds the same messages as when it is fed them in one
// piece, and both agree with a plain reference scan written here from the
// rules alone (its own copy of the key-code table, no code shared with the
// scanner).
//
// The input is the replay itself. Its first bytes, which the scan never reads
// (it starts at offset 273), also say how to cut it: the low five bits of
// byte 0 give a count n, and bytes 1 to n are chunk sizes (0 feeds an empty
// chunk), used in turn until the replay is fed. So every replay, generated or
// mutated, is an input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "extract/chat.h"
#include "extract/scanner.h"

namespace {

using murvik::Message;

// The 45 key codes: the scan-position byte and the byte after it written as
// four upper-case hex digits, and what each does.
const std::map<std::string, std::string> kCodes = {
    {"4024", "start"}, {"C021", "end"}, {"E020", "erase"}, {"E021", "A"}, {"0023", "B"}, {"E022", "C"}, {"0022", "D"},
    {"2021", "E"},     {"1022", "F"},   {"2022", "G"},     {"3022", "H"}, {"7021", "I"}, {"4022", "J"}, {"5022", "K"},
    {"6022", "L"},     {"2023", "M"},   {"1023", "N"},     {"8021", "O"}, {"9021", "P"}, {"0021", "Q"}, {"3021", "R"},
    {"F021", "S"},     {"4021", "T"},   {"6021", "U"},     {"F022", "V"}, {"1021", "W"}, {"D022", "X"}, {"5021", "Y"},
    {"C022", "Z"},     {"9023", " "},   {"2020", "1"},     {"3020", "2"}, {"4020", "3"}, {"5020", "4"}, {"6020", "5"},
    {"7020", "6"},     {"8020", "7"},   {"9020", "8"},     {"A020", "9"}, {"B020", "0"}, {"5023", "/"}, {"4003", "."},
    {"C020", "-"},     {"7022", ";"},   {"3023", ","},
};

// Reads the pair at offsets 273, 285, ... while both of its bytes exist and
// applies the message rules: start opens a message unless one is open, a
// character is appended to the open message, erase removes the open
// message's last character if it has one, end sends the open message.
std::vector<Message> ReferenceScan(const uint8_t* data, size_t size) {
  std::vector<Message> messages;
  bool open = false;
  for (uint64_t p = 273; p + 1 < size; p += 12) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%02X%02X", data[p], data[p + 1]);
    const auto it = kCodes.find(hex);
    if (it == kCodes.end()) continue;
    const std::string& what = it->second;
    if (what == "start") {
      if (!open) messages.push_back(Message{"", p, false});
      open = true;
    } else if (what == "end") {
      if (open) messages.back().sent = true;
      open = false;
    } else if (what == "erase") {
      if (open && !messages.back().text.empty()) messages.back().text.pop_back();
    } else if (open) {
      messages.back().text += what;
    }
  }
  return messages;
}

std::string ReferenceText(const std::vector<Message>& messages) {
  std::string text;
  for (const Message& m : messages) text += m.text + (m.sent ? "\r\n" : "");
  return text;
}

// Aborts, saying which side differs, unless `holds`; libFuzzer then keeps the
// input, which reproduces it.
void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t count = size == 0 ? 0 : data[0] & 0x1F;
  murvik::ChatScanner chunked;
  size_t at = 0;
  size_t idle = 0;  // sizes in a row that fed nothing: all of them means all are 0
  for (size_t i = 0; at < size; ++i) {
    size_t n = size - at;
    if (count > 0 && count < size && idle < count) n = std::min<size_t>(data[1 + i % count], n);
    chunked.Feed(data + at, n);
    idle = n == 0 ? idle + 1 : 0;
    at += n;
  }
  murvik::ChatScanner whole;
  whole.Feed(data, size);
  const std::vector<Message> reference = ReferenceScan(data, size);
  const std::vector<Message> from_chunks = chunked.TakeMessages();
  const std::vector<Message> from_whole = whole.TakeMessages();
  Check(chunked.bytes_fed() == size, "chunks fed and bytes counted differ");
  Check(from_whole == reference, "one-chunk scan differs from the reference");
  Check(from_chunks == reference, "chunked scan differs from the reference");
  Check(murvik::ChatText(from_chunks) == ReferenceText(reference), "chat text differs from the reference");
  return 0;
}
