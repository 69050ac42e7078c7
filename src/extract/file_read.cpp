// What every side of the file reading shares (file_read_posix.cpp,
// file_read_windows.cpp and file_read_web.cpp have the rest).
#include "extract/file_read.h"

#include <cstring>

namespace murvik {

Status SystemError(const char* what, int err) {
  std::string reason = what;
  if (!reason.empty()) reason += ": ";
  return Status::Error(reason + std::strerror(err));
}

Status CheckPath(const std::string& path) {
  if (path.empty()) return Status::Error("empty path");
  if (path.find('\0') != std::string::npos) return Status::Error("path contains a NUL byte");
  return Status::Ok();
}

}  // namespace murvik
