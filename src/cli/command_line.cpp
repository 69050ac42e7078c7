#include "cli/command_line.h"

#include <getopt.h>

#include <string>

#include "cli/chat_command.h"
#include "cli/platform.h"

namespace murvik {
namespace {

constexpr char kHelp[] =
    "Usage: murvik-chat [OPTION]... FILE...\n"
    "Print the chat typed during the games recorded in replay FILEs,\n"
    "one line per message.\n"
    "\n"
    "With FILE -, read standard input.\n"
    "\n"
    "  -l, --lowercase  print letters in lower case\n"
    "      --json       print one JSON array with an object per FILE, holding\n"
    "                   each message's text, the byte offset of the key that\n"
    "                   opened it, and whether it was sent\n"
    "      --jsonl      print JSON Lines as the FILEs are read: one object per\n"
    "                   message, {\"file\": FILE, \"text\": ..., \"offset\": ...,\n"
    "                   \"sent\": ...}, and {\"file\": FILE, \"error\": REASON} for a\n"
    "                   FILE that could not be read; FILE - is named \"-\"\n"
    "      --progress   show files done, bytes read, rate and time left on one\n"
    "                   line of standard error, redrawn in place, when it is a\n"
    "                   terminal\n"
    "  -h, --help       display this help and exit\n"
    "      --version    output version information and exit\n"
    "\n"
    "With several FILEs, each file's chat is preceded by a header giving its name.\n"
    "Several FILEs are read on up to four cores, a few files ahead; the output\n"
    "keeps their order.\n"
    "A message still open at the end of a replay is printed as a line of its own.\n"
    "\n"
    "Exit status:\n"
    " 0  if every FILE was read,\n"
    " 1  if a FILE could not be read or the output could not be written,\n"
    " 2  if the command line was wrong.\n";

// MURVIK_VERSION_TEXT comes from the build, which sets the version once for
// the programs, the manual pages and the packages.
constexpr char kVersion[] = "murvik-chat (Murvik) " MURVIK_VERSION_TEXT
                            "\n"
                            "Copyright (C) 2026 the Murvik developers.\n";

// Says on `err` what is wrong with the command line; returns the exit status
// of a wrong command line.
int ReportUsageError(std::FILE* err, const std::string& what) {
  std::fprintf(err, "%s: %s\n", kProgram, what.c_str());
  std::fprintf(err, "Try '%s --help' for more information.\n", kProgram);
  return kExitUsage;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, CommandLineOptions& options) {
  enum { kJsonOption = 256, kJsonLinesOption, kProgressOption, kVersionOption };
  static const option kLongOptions[] = {
      {"lowercase", no_argument, nullptr, 'l'},
      {"json", no_argument, nullptr, kJsonOption},
      {"jsonl", no_argument, nullptr, kJsonLinesOption},
      {"progress", no_argument, nullptr, kProgressOption},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, kVersionOption},
      {nullptr, 0, nullptr, 0},
  };
  optind = 0;  // a fresh scan, also when called more than once
  opterr = 0;  // errors are reported here, on `err`
  bool json = false, jsonl = false;
  for (;;) {
    const int c = getopt_long(argc, argv, "lh", kLongOptions, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'l':
        options.lowercase = true;
        break;
      case kJsonOption:
        json = true;
        break;
      case kJsonLinesOption:
        jsonl = true;
        break;
      case kProgressOption:
        options.progress = true;
        break;
      case 'h':
        std::fputs(WithLineBreaks(kHelp).c_str(), out);
        return kExitOk;
      case kVersionOption:
        std::fputs(WithLineBreaks(kVersion).c_str(), out);
        return kExitOk;
      default:
        if (optopt != 0)
          return ReportUsageError(err, std::string("invalid option -- '") + static_cast<char>(optopt) + "'");
        return ReportUsageError(err, std::string("unrecognized option '") + argv[optind - 1] + "'");
    }
  }
  for (int i = optind; i < argc; ++i) options.files.emplace_back(argv[i]);
  if (json && jsonl) return ReportUsageError(err, "--json and --jsonl cannot be used together");
  if (options.files.empty()) return ReportUsageError(err, "missing file operand");
  options.form = json ? OutputForm::kJson : jsonl ? OutputForm::kJsonLines : OutputForm::kText;
  return -1;
}

}  // namespace murvik
