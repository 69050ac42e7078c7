// What murvik-chat does differently on Windows, in one place: how it gets its
// command line, sets up its streams and knows a console; platform_posix.cpp
// and platform_windows.cpp hold the two sides, of which the build takes one.
#ifndef MURVIK_CLI_PLATFORM_H_
#define MURVIK_CLI_PLATFORM_H_

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace murvik {

// The line break of text output. Windows tools expect CR LF; the output is
// written in binary, so it goes out as it is here, never doubled.
#ifdef _WIN32
inline constexpr std::string_view kLineBreak = "\r\n";
#else
inline constexpr std::string_view kLineBreak = "\n";
#endif

// `text`, its line breaks made kLineBreak.
std::string WithLineBreaks(std::string_view text);

// The program's arguments, argv[0] first, in UTF-8. On Windows they are
// taken from the wide command line, whatever characters they hold (`argv`,
// in the system's code page, could not name every file), and wildcards in
// them are expanded, as Windows' shells leave that to the program.
std::vector<std::string> CommandArguments(int argc, char** argv);

// Sets up the standard streams before anything is read or written: on
// Windows, binary input and output and UTF-8 on a console.
void SetUpStreams();

// Whether `stream` is a console (a terminal).
bool IsConsole(std::FILE* stream);

// Whether `stream` is a console that the --progress line's escapes redraw in
// place; turns those escapes on where a console needs it.
bool TakesEscapes(std::FILE* stream);

// Called before the program exits: on Windows, when the program's own
// console will close with it (as when a replay is dropped on murvik-chat),
// waits for a key so that the chat can be read.
void BeforeExit(std::FILE* out, std::FILE* err);

}  // namespace murvik

#endif  // MURVIK_CLI_PLATFORM_H_
