#include <cstdio>
#include <string>
#include <vector>

#include "cli/chat_command.h"
#include "cli/platform.h"

int main(int argc, char** argv) {
  murvik::SetUpStreams();
  std::vector<std::string> args = murvik::CommandArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const int status = murvik::RunChatCommand(static_cast<int>(args.size()), pointers.data(), stdout, stderr);
  murvik::BeforeExit(stdout, stderr);
  return status;
}
