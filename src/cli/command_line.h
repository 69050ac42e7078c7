// murvik-chat's command line: its options, --help and --version.
#ifndef MURVIK_CLI_COMMAND_LINE_H_
#define MURVIK_CLI_COMMAND_LINE_H_

#include <cstdio>
#include <string>
#include <vector>

#include "cli/output.h"

namespace murvik {

// What murvik-chat's command line asks for.
struct CommandLineOptions {
  bool lowercase = false;
  OutputForm form = OutputForm::kText;
  bool progress = false;
  std::vector<std::string> files;
};

// Parses the command line into `options`. Returns -1 to go on, or the exit
// status to stop with: after printing --help or --version to `out`, or after
// saying on `err` what is wrong with the command line.
int ParseCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err, CommandLineOptions& options);

}  // namespace murvik

#endif  // MURVIK_CLI_COMMAND_LINE_H_
