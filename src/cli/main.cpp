#include <cstdio>

#include "cli/chat_command.h"

int main(int argc, char** argv) { return murvik::RunChatCommand(argc, argv, stdout, stderr); }
