// murvik-chat on POSIX systems: argv as it is, streams as they are.
#include <unistd.h>

#include "cli/platform.h"

namespace murvik {

std::string WithLineBreaks(std::string_view text) { return std::string(text); }

std::vector<std::string> CommandArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void SetUpStreams() {}

bool IsConsole(std::FILE* stream) { return isatty(fileno(stream)); }

bool TakesEscapes(std::FILE* stream) { return IsConsole(stream); }

void BeforeExit(std::FILE*, std::FILE*) {}

}  // namespace murvik
