// murvik-chat: prints the chat of replay files, as text or JSON.
#ifndef MURVIK_CLI_CHAT_COMMAND_H_
#define MURVIK_CLI_CHAT_COMMAND_H_

#include <cstdio>

namespace murvik {

// The name murvik-chat gives itself in its messages.
inline constexpr char kProgram[] = "murvik-chat";

// Exit statuses of murvik-chat.
inline constexpr int kExitOk = 0;      // every file was read
inline constexpr int kExitFailed = 1;  // a file could not be read, or output failed
inline constexpr int kExitUsage = 2;   // the command line was wrong

// Runs murvik-chat with the given arguments (argv[0] is the program name),
// writing the chat to `out` and messages to `err`; returns the exit status.
int RunChatCommand(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace murvik

#endif  // MURVIK_CLI_CHAT_COMMAND_H_
