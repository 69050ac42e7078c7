// murvik-chat's --progress line.
#ifndef MURVIK_CLI_PROGRESS_H_
#define MURVIK_CLI_PROGRESS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace murvik {

// The --progress line on a terminal: files done of all, bytes read, rate
// and time left, redrawn in place at most five times a second.
class Progress {
 public:
  // Shows nothing unless `wanted` and `err` is a terminal.
  Progress(std::FILE* out, std::FILE* err, const std::vector<std::string>& files, bool wanted);
  ~Progress() { Erase(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Counts file `i` as read, and redraws the line when it is time.
  void Done(size_t i);
  // Takes the line away, before anything else goes to `err`.
  void Erase();
  // Takes the line away before a file's chat goes to a terminal.
  void BeforeOutput() {
    if (out_is_console_) Erase();
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* const out_;
  std::FILE* const err_;
  const bool active_, out_is_console_;
  std::vector<uint64_t> sizes_;  // of each file, 0 when not known
  uint64_t total_ = 0, bytes_ = 0;
  size_t done_ = 0;
  const Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_;
  bool shown_ = false;
};

}  // namespace murvik

#endif  // MURVIK_CLI_PROGRESS_H_
