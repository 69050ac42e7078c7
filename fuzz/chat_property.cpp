// The property the fuzzer checks: every way a user's replay is read finds
// the messages that a plain reference scan written here from the rules alone
// finds (its own copy of the key-code table, no code shared with the
// scanner), sent and unsent alike, including those handed over early.
// ExtractChat reads the replay from a file, with one thread or two
// (its chunks, its stretches and their pieces joined),
// ExtractChatFromStream from a pipe, and a ChatReader from pieces of any
// size fed to it.
//
// The input is the replay itself. Its first bytes, which the scan never reads
// (it starts at offset 273), also say how to read it: byte 0 the chunk size
// (1 to 256 bytes), byte 1 the stretch size (1 to 64 bytes: a few records,
// so that a replay makes many stretches), byte 2 whether a file is read by
// two threads (below 200) or one, byte 3 whether the replay comes from a pipe
// (bit 0), whether sent messages are handed over early (bit 1) and whether
// it is fed to a ChatReader instead (bit 2), in pieces of 1 to the chunk
// size, their sizes taken from the replay's own bytes in turn, with an empty
// piece between every two; from 0xF8 on, it also makes chunks and stretches
// 256 times as large, hundreds of records, so that a stretch holds long runs
// of one key (whole blocks of erasures, say) after its first start or end key.
// So every replay, generated or mutated, is an input.

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "extract/extract.h"

namespace {

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
murvik::MessageList ReferenceScan(const uint8_t* data, size_t size) {
  struct ReferenceMessage {
    std::string text;
    uint64_t offset;
    bool sent;
  };
  std::vector<ReferenceMessage> messages;
  bool open = false;
  for (uint64_t p = 273; p + 1 < size; p += 12) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%02X%02X", data[p], data[p + 1]);
    const auto it = kCodes.find(hex);
    if (it == kCodes.end()) continue;
    const std::string& what = it->second;
    if (what == "start") {
      if (!open) messages.push_back(ReferenceMessage{"", p, false});
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
  murvik::MessageList list;
  for (const ReferenceMessage& m : messages) list.Add(m.text, m.offset, m.sent);
  return list;
}

// Aborts, saying which side differs, unless `holds`; libFuzzer then keeps the
// input, which reproduces it.
void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

// Writes all of `data` to `fd`, then closes it.
void WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    Check(n > 0, "writing the input failed");
    data += n;
    size -= static_cast<size_t>(n);
  }
  close(fd);
}

#ifdef _WIN32
bool OpenPipe(int fds[2]) { return _pipe(fds, 1 << 16, _O_BINARY) == 0; }
#else
bool OpenPipe(int fds[2]) { return pipe2(fds, O_CLOEXEC) == 0; }
#endif

// The replay in a file of this process's own in the temporary folder.
struct ReplayOnDisk {
  ReplayOnDisk(const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ~ReplayOnDisk() { std::remove(path.c_str()); }
  const std::string path =
      (std::filesystem::temp_directory_path() / ("murvik-property-" + std::to_string(getpid()) + ".rep")).string();
};

uint8_t Choice(const uint8_t* data, size_t size, size_t i) { return i < size ? data[i] : 0; }

// Feeds the replay to a ChatReader in pieces of 1 to `largest` bytes, as
// byte 3 of the input asks.
murvik::ChatResult FeedInPieces(const uint8_t* data, size_t size, size_t largest,
                                const murvik::ExtractOptions& options) {
  murvik::ChatReader reader(options);
  for (size_t at = 0, k = 0; at < size; ++k) {
    const size_t n = std::min(size - at, 1 + data[k % size] % largest);
    reader.Feed(data + at, n);
    reader.Feed(data + at, 0);
    at += n;
  }
  Check(reader.bytes_fed() == size, "the reader did not count every byte fed");
  return reader.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  murvik::ExtractOptions options;
  const int scale = Choice(data, size, 3) >= 0xF8 ? 8 : 0;
  options.chunk_size = size_t{1u + Choice(data, size, 0)} << scale;
  options.stretch_size = uint64_t{1u + Choice(data, size, 1) % 64u} << scale;
  options.parallel_from = Choice(data, size, 2) < 200 ? 0 : UINT64_MAX;
  const bool from_pipe = Choice(data, size, 3) & 1;
  murvik::MessageList messages;  // handed over early, then the rest
  if (Choice(data, size, 3) & 2) options.on_sent = [&messages](murvik::MessageList& sent) { messages.Append(sent); };
  std::vector<uint64_t> progress;
  options.on_progress = [&progress](uint64_t done) { return progress.push_back(done), true; };

  murvik::ChatResult result;
  int fds[2];
  if (Choice(data, size, 3) & 4) {
    result = FeedInPieces(data, size, options.chunk_size, options);
  } else if (from_pipe) {
    Check(OpenPipe(fds), "no pipe");
    std::thread writer(WriteAll, fds[1], data, size);
    result = murvik::ExtractChatFromStream(fds[0], options);
    writer.join();
    close(fds[0]);
  } else {
    const ReplayOnDisk file(data, size);
    result = murvik::ExtractChat(file.path, options);
  }
  messages.Append(result.messages);

  const murvik::MessageList reference = ReferenceScan(data, size);
  Check(result.status.ok() == (size > 0), "the read failed, or an empty replay did not");
  Check(messages == reference, "the messages read differ from the reference");
  for (size_t i = 1; i < progress.size(); ++i) Check(progress[i - 1] <= progress[i], "progress went back");
  Check(size == 0 || (!progress.empty() && progress.back() == size), "progress did not end at the length");
  return 0;
}
