// murvik-genreplay: writes a synthesized replay of a given kind and size.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "replay_writer.h"

namespace {

const char kUsage[] =
    "Usage: murvik-genreplay KIND [--size BYTES] [--seed N] [-o FILE]\n"
    "   or: murvik-genreplay keys KEYS [--seed N] [-o FILE]\n"
    "Writes a synthesized replay to FILE (default: standard output).\n"
    "KIND is one of:\n"
    "  sample  a few lines of chat, with a correction and one open message\n"
    "  keys    a record for each of KEYS: [ opens a message, ] sends it,\n"
    "          < erases, ~ is a record of other input; any other character\n"
    "          (A-Z, 0-9, space, /.-;,) is typed\n"
    "  noise   records with no key codes at all (needs --size)\n"
    "  game    like a typical game: a line of chat every few thousand records\n"
    "          (needs --size)\n"
    "  chat    messages between short stretches of noise (needs --size)\n"
    "  worst   every record a key code, so every position is a hit (needs --size)\n"
    "  open    one message opened at the start and never sent (needs --size)\n"
    "  erased  one message typed, then erased back to nothing (needs --size)\n"
    "  empty   nothing but empty messages (needs --size)\n"
    "  long    messages of a million characters (needs --size)\n"
    "  erasures  long messages with bursts of erasures reaching far back\n"
    "          (needs --size)\n"
    "  mix     a mix of all of these, message lengths heavy-tailed (needs --size)\n"
    "  typos   one message, two characters then one erasure, over and over\n"
    "          (needs --size)\n"
    "  jumble  messages of heavy-tailed length, 15% erasures, starts while one\n"
    "          is open, noise between keys (needs --size)\n";

void WriteSample(murvik::ReplayWriter& w) {
  w.Noise(40).Say("GL HF").Noise(25);
  w.Type("TYPED OUTSIDE A MESSAGE").Noise(10);
  w.Say("RUSH B IN 30 SEC; GO GO GO").Noise(60);
  w.Start().Type("WELL PALYED").Erase().Erase().Erase().Erase().Erase().Erase().Type("PLAYED.").End();
  w.Noise(33).Say("GG, REMATCH AT 21-30 ON 12/6").Noise(7);
  w.Noise(12).Start().Type("SEE YOU ").Noise(4).Type("TOMORROW");
}

bool WriteAll(std::FILE* out, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind, keys, out_path;
  bool have_keys = false;
  unsigned long long size = 0;
  bool have_size = false;
  unsigned long seed = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--size" && has_value) {
      size = std::strtoull(argv[++i], nullptr, 10);
      have_size = true;
    } else if (arg == "--seed" && has_value) {
      seed = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "-o" && has_value) {
      out_path = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (kind.empty() && arg[0] != '-') {
      kind = arg;
    } else if (kind == "keys" && !have_keys) {
      keys = arg;
      have_keys = true;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (kind.empty() || (kind == "keys" ? !have_keys : kind != "sample" && !have_size)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // the replay's bytes as they are, to standard output too
#endif
  std::FILE* out = out_path.empty() ? stdout : std::fopen(out_path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "murvik-genreplay: %s: %s\n", out_path.c_str(), std::strerror(errno));
    return 1;
  }
  bool ok = true;
  if (kind == "sample" || kind == "keys") {
    murvik::ReplayWriter w(static_cast<uint32_t>(seed));
    if (kind == "sample") WriteSample(w);
    try {
      w.Keys(keys);
    } catch (const std::invalid_argument& e) {
      std::fprintf(stderr, "murvik-genreplay: %s\n", e.what());
      return 2;
    }
    ok = WriteAll(out, w.Take());
  } else if (!murvik::SynthesizeReplay(kind, size, static_cast<uint32_t>(seed),
                                       [&](const std::string& bytes) { return ok = WriteAll(out, bytes); })) {
    if (ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (std::fflush(out) != 0 || !ok || (out != stdout && std::fclose(out) != 0)) {
    std::fprintf(stderr, "murvik-genreplay: write error: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
