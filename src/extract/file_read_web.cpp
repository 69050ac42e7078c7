// The file-reading layer in a browser (WebAssembly built by emscripten):
// there are no files there, only the bytes a page hands over, which a
// ChatReader takes. Opening or reading a file fails with a reason saying so,
// and the process runs on one core.
#include "extract/file_read.h"

namespace murvik {
namespace {

Status NoFiles() { return Status::Error("no files in a browser: feed the bytes to a ChatReader"); }

}  // namespace

ReplayFile::~ReplayFile() = default;

Status ReplayFile::Open(const std::string& path) {
  if (Status s = CheckPath(path); !s.ok()) return s;
  return NoFiles();
}

Status ReadSome(int, unsigned char*, size_t, size_t& got) {
  got = 0;
  return NoFiles();
}

Status ReadAt(int, unsigned char*, size_t, uint64_t) { return NoFiles(); }

std::optional<uint64_t> RegularFileSize(const std::string&) { return std::nullopt; }

unsigned UsableCores() { return 1; }

}  // namespace murvik
