// murvik-fuzz-seeds: writes the fuzzer's seed inputs into DIR (made if
// missing), each a replay synthesized with ReplayWriter behind a chunk-size
// header (see chat_property.cpp), and with --dict FILE a libFuzzer dictionary
// of the key codes, so that mutations insert whole codes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "extract/keycodes.h"
#include "replay_writer.h"

namespace {

using murvik::ReplayWriter;

std::vector<std::string> Replays() {
  std::vector<std::string> replays;
  {
    ReplayWriter w(1);
    w.Noise(4).Say("GL HF").Noise(2).Type("OUTSIDE").Say("RUSH B, 30 SEC.").Start().Type("LEFT OPEN");
    replays.push_back(w.Take());
  }
  {
    // Erases: into an empty message, past its start, after a finished line;
    // a second start, an end with nothing open, an empty message.
    ReplayWriter w(2);
    w.Start().Type("A").Erase().Erase().End().Say("HI").Start().Erase().Type("OK").End();
    w.Start().Type("X").Start().Type("Y").End().End().Say("").Erase();
    replays.push_back(w.Take());
  }
  {
    ReplayWriter w(3);  // every code once, inside a message
    w.Start();
    for (const murvik::KeyCode& k : murvik::kKeyCodes)
      if (k.action == murvik::KeyAction::kChar) w.Pair(k.first, k.second);
    w.Pair(0x40, 0x23).End();  // 40 23 is no code: the full stop is 40 03
    replays.push_back(w.Take());
  }
  {
    ReplayWriter w(4);  // chat between stretches of noise
    std::mt19937 rng(4);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 /.-;,";
    while (w.size() < 3000) {
      w.Noise(rng() % 6).Start();
      for (unsigned i = 1 + rng() % 20; i > 0; --i) {
        if (rng() % 8 == 0) w.Erase();
        w.Type(std::string(1, kChars[rng() % (sizeof kChars - 1)]));
      }
      if (rng() % 4 != 0) w.End();
    }
    replays.push_back(w.Take());
  }
  {
    ReplayWriter w(5);  // a key code in every record
    std::mt19937 rng(5);
    for (int i = 0; i < 150; ++i) {
      const murvik::KeyCode& k = murvik::kKeyCodes[rng() % murvik::kKeyCodes.size()];
      w.Pair(k.first, k.second);
    }
    replays.push_back(w.Take());
  }
  // Cut short: no position, an incomplete only pair, one whole pair, an
  // incomplete last pair after some chat.
  const std::string first = replays[0];
  for (size_t length : {0, 1, 273, 274, 275, 286, 287, 311}) replays.push_back(first.substr(0, length));
  replays.push_back(first + "\x40");
  return replays;
}

// Chunk-size headers: none (one chunk), one byte at a time, a record at a
// time, odd sizes with an empty chunk among them, sizes that straddle pairs.
const std::vector<std::string> kHeaders = {
    std::string("\x00", 1),
    std::string("\x01\x01", 2),
    std::string("\x01\x0c", 2),
    std::string("\x03\x05\x00\x07", 4),
    std::string("\x03\x0b\x0d\xff", 4),
    std::string("\x02\x02\x01", 3),
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--dict")) {
    std::fputs("Usage: murvik-fuzz-seeds DIR [--dict FILE]\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "%s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  int n = 0;
  for (const std::string& replay : Replays()) {
    for (const std::string& header : kHeaders) {
      const std::string path = dir + "/seed-" + std::to_string(n++);
      std::ofstream out(path, std::ios::binary);
      out << header << replay;
      if (!out.flush()) {
        std::perror(path.c_str());
        return 1;
      }
    }
  }
  if (argc == 4) {
    std::ofstream dict(argv[3]);
    for (const murvik::KeyCode& k : murvik::kKeyCodes) {
      char line[32];
      std::snprintf(line, sizeof line, "\"\\x%02X\\x%02X\"\n", k.first, k.second);
      dict << line;
    }
    if (!dict.flush()) {
      std::perror(argv[3]);
      return 1;
    }
  }
  std::printf("%d seeds written to %s\n", n, dir.c_str());
  return 0;
}
