// The driver: reads the files in order and hands each file's chat to the
// output form the command line chose.
#include "cli/chat_command.h"

#include <errno.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/command_line.h"
#include "cli/output.h"
#include "cli/progress.h"
#include "extract/extract.h"

namespace murvik {

int RunChatCommand(int argc, char** argv, std::FILE* out, std::FILE* err) {
  CommandLineOptions options;
  if (const int status = ParseCommandLine(argc, argv, out, err, options); status >= 0) return status;

  int status = kExitOk;
  const std::unique_ptr<ChatOutput> output = MakeOutput(options.form, out, options.files.size());
  BatchReader reader(options.files, BatchReader::Workers(options.files.size()));
  Progress progress(out, err, options.files, options.progress);
  for (size_t i = 0; i < options.files.size(); ++i) {
    const std::string& name = options.files[i];
    progress.BeforeOutput();
    output->BeginFile(name);
    ChatResult result = reader.Take(i, [&](MessageList& sent) {
      if (options.lowercase) sent.LowercaseLetters();
      output->Add(sent);
    });
    if (options.lowercase) result.messages.LowercaseLetters();
    if (!result.status.ok()) {
      // Says on `err`, in file order, why the file could not be read.
      progress.Erase();
      std::fprintf(err, "%s: %s: %s\n", kProgram, name.c_str(), result.status.reason().c_str());
      status = kExitFailed;
    }
    output->EndFile(result);
    progress.Done(i);
  }
  output->Finish();
  progress.Erase();
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(errno));
    return kExitFailed;
  }
  return status;
}

}  // namespace murvik
