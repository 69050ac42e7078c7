// The property the fuzzer checks: however a replay's bytes are cut into
// chunks, ChatScanner finds the same messages as when it is fed them in one
// piece, and both agree with a plain reference scan written here from the
// rules alone (its own copy of the key-code table, no code shared with the
// scanner).
//
// Input layout: the low five bits of byte 0 give a count n; the next n bytes
// are chunk sizes (0 feeds an empty chunk), used in turn, over and over, until
// the replay is fed; every byte after them is the replay.

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
struct Code {
  const char* hex;
  const char* what;  // "start", "end", "erase", or the character typed
};
constexpr Code kCodes[] = {
    {"4024", "start"}, {"C021", "end"}, {"E020", "erase"}, {"E021", "A"}, {"0023", "B"}, {"E022", "C"}, {"0022", "D"},
    {"2021", "E"},     {"1022", "F"},   {"2022", "G"},     {"3022", "H"}, {"7021", "I"}, {"4022", "J"}, {"5022", "K"},
    {"6022", "L"},     {"2023", "M"},   {"1023", "N"},     {"8021", "O"}, {"9021", "P"}, {"0021", "Q"}, {"3021", "R"},
    {"F021", "S"},     {"4021", "T"},   {"6021", "U"},     {"F022", "V"}, {"1021", "W"}, {"D022", "X"}, {"5021", "Y"},
    {"C022", "Z"},     {"9023", " "},   {"2020", "1"},     {"3020", "2"}, {"4020", "3"}, {"5020", "4"}, {"6020", "5"},
    {"7020", "6"},     {"8020", "7"},   {"9020", "8"},     {"A020", "9"}, {"B020", "0"}, {"5023", "/"}, {"4003", "."},
    {"C020", "-"},     {"7022", ";"},   {"3023", ","},
};
static_assert(sizeof kCodes / sizeof kCodes[0] == 45);

const std::map<std::string, std::string>& Table() {
  static const auto* table = [] {
    auto* t = new std::map<std::string, std::string>;
    for (const Code& c : kCodes) (*t)[c.hex] = c.what;
    return t;
  }();
  return *table;
}

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
    const auto it = Table().find(hex);
    if (it == Table().end()) continue;
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

void PrintMessages(const char* name, const std::vector<Message>& messages) {
  std::fprintf(stderr, "%s: %zu messages\n", name, messages.size());
  for (const Message& m : messages)
    std::fprintf(stderr, "  @%llu %s \"%s\"\n", static_cast<unsigned long long>(m.offset), m.sent ? "sent" : "open",
                 m.text.c_str());
}

bool Same(const std::vector<Message>& a, const std::vector<Message>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].text != b[i].text || a[i].offset != b[i].offset || a[i].sent != b[i].sent) return false;
  return true;
}

[[noreturn]] void Fail(const char* what, const std::vector<Message>& got, const std::vector<Message>& want) {
  std::fprintf(stderr, "property broken: %s\n", what);
  PrintMessages("got", got);
  PrintMessages("want", want);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t count = data[0] & 0x1F;
  if (size < 1 + count) return 0;
  const uint8_t* sizes = data + 1;
  const uint8_t* replay = data + 1 + count;
  const size_t length = size - 1 - count;

  murvik::ChatScanner chunked;
  size_t at = 0;
  size_t idle = 0;  // sizes in a row that fed nothing: all of them means all are 0
  for (size_t i = 0; at < length; ++i) {
    if (count == 0 || idle == count) {
      chunked.Feed(replay + at, length - at);
      at = length;
      break;
    }
    const size_t n = sizes[i % count] < length - at ? sizes[i % count] : length - at;
    chunked.Feed(replay + at, n);
    idle = n == 0 ? idle + 1 : 0;
    at += n;
  }
  if (chunked.bytes_fed() != length) {
    std::fprintf(stderr, "property broken: fed %zu bytes, scanner counted %llu\n", length,
                 static_cast<unsigned long long>(chunked.bytes_fed()));
    std::abort();
  }

  murvik::ChatScanner whole;
  whole.Feed(replay, length);
  const std::vector<Message> reference = ReferenceScan(replay, length);
  const std::vector<Message> from_chunks = chunked.TakeMessages();
  const std::vector<Message> from_whole = whole.TakeMessages();

  if (!Same(from_whole, reference)) Fail("one-chunk scan differs from the reference", from_whole, reference);
  if (!Same(from_chunks, reference)) Fail("chunked scan differs from the reference", from_chunks, reference);
  if (murvik::ChatText(from_chunks) != ReferenceText(reference))
    Fail("chat text differs from the reference", from_chunks, reference);
  return 0;
}
