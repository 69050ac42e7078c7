#include "cli/progress.h"

#include <optional>

#include "cli/platform.h"
#include "extract/system.h"

namespace murvik {

Progress::Progress(std::FILE* out, std::FILE* err, const std::vector<std::string>& files, bool wanted)
    : out_(out), err_(err), active_(wanted && TakesEscapes(err)), out_is_console_(IsConsole(out)) {
  if (!active_) return;
  for (const std::string& f : files) {
    const std::optional<uint64_t> size = f == "-" ? std::nullopt : RegularFileSize(f);
    sizes_.push_back(size.value_or(0));
    total_ += sizes_.back();
  }
}

void Progress::Done(size_t i) {
  if (!active_) return;
  ++done_;
  bytes_ += sizes_[i];
  const Clock::time_point now = Clock::now();
  if (done_ > 1 && now - drawn_ < std::chrono::milliseconds(200)) return;
  drawn_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(bytes_) / seconds : 0;
  char left[32] = "?";
  if (rate > 0) {
    const auto s = static_cast<unsigned long long>(static_cast<double>(total_ - bytes_) / rate);
    std::snprintf(left, sizeof left, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
  }
  if (out_is_console_) std::fflush(out_);  // the chat above the line
  std::fprintf(err_, "\r%zu/%zu files, %.1f MB, %.1f MB/s, %s left\033[K", done_, sizes_.size(), bytes_ / 1e6,
               rate / 1e6, left);
  std::fflush(err_);
  shown_ = true;
}

void Progress::Erase() {
  if (!shown_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  shown_ = false;
}

}  // namespace murvik
