// What the core's callers use of the system through it: the read buffer they
// may lend an extraction, a file's size without opening it, the cores this
// process may run on, and on Windows the text of names between UTF-16 and
// UTF-8. Defined by the file reading of each system (file_read_posix.cpp,
// file_read_windows.cpp, wide_text.cpp, and file_read_web.cpp in a browser,
// which has no files and one core), the buffer by growing_array_*.cpp.
#ifndef MURVIK_EXTRACT_SYSTEM_H_
#define MURVIK_EXTRACT_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "extract/growing_array.h"
#ifdef _WIN32
#include <string_view>
#endif

namespace murvik {

// Memory that reads land in, a growing array's (whole pages of its own,
// given their memory at once, where the system allows). A caller reading
// many files keeps one and lends it to each extraction, rather than making
// one per file.
class ReadBuffer {
 public:
  // Throws std::bad_alloc when the memory cannot be had.
  explicit ReadBuffer(size_t size) { memory_.Resize(size); }

  unsigned char* get() { return memory_.data(); }
  size_t size() const { return memory_.size(); }

 private:
  GrowingArray<unsigned char> memory_;
};

// The size of the regular file at `path`, or nothing for anything else (a
// missing file, a directory, a device). Opens nothing.
std::optional<uint64_t> RegularFileSize(const std::string& path);

// The cores this process may run on: fewer than the machine has when it is
// held to some (taskset, a cgroup's cpuset, a job's affinity); 0 if unknown.
unsigned UsableCores();

#ifdef _WIN32
// Windows names may hold UTF-16 that is not well formed (a lone surrogate);
// such a unit is carried through UTF-8 as the three bytes that would encode
// its value, so every name turns back into the very name it came from.
// wchar_t is one UTF-16 unit there.
std::string Utf8FromWide(std::wstring_view wide);
// Bytes that encode no character each become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
#endif

}  // namespace murvik

#endif  // MURVIK_EXTRACT_SYSTEM_H_
