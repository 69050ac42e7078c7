// The file-reading layer on Windows: paths turned to UTF-16 and opened with
// CreateFileW, bytes read with ReadFile on the file's handle (positioned
// reads through an OVERLAPPED offset). The handle
// goes into a C runtime descriptor, in binary mode, so that the core keeps
// one kind of descriptor everywhere; the runtime's reads, and so its text
// mode, are never used.
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>

#include "extract/file_read.h"

namespace murvik {
namespace {

// The reason for the system error `code`: for the errors Linux has too, the
// words murvik-chat gives there, so that scripts see the same; otherwise
// the system's own message.
Status WindowsError(const char* what, DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return SystemError(what, ENOENT);
    case ERROR_ACCESS_DENIED:
      return SystemError(what, EACCES);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return SystemError(what, ENOMEM);
    case ERROR_INVALID_HANDLE:
      return SystemError(what, EBADF);
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n > 0 ? Utf8FromWide(std::wstring_view(text, n)) : "error " + std::to_string(code);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  std::string message = what;
  if (!message.empty()) message += ": ";
  return Status::Error(message + reason);
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A path that Windows takes for a device rather than a file: a name such as
// NUL, CON or COM1 (in any folder, with any extension), which Windows turns
// into \\.\NUL and the like, or a path into the device namespace itself.
bool NamesDevice(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return false;
  std::wstring full(n, L'\0');
  const DWORD m = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(std::min(m, n));
  return std::wstring_view(full).starts_with(L"\\\\.\\");
}

// Says why the opened file of type `type` is not read, or nullptr for a file
// on a disk.
const char* NonDiskKind(DWORD type) {
  switch (type) {
    case FILE_TYPE_DISK:
      return nullptr;
    case FILE_TYPE_CHAR:
      return "is a character device, not a regular file";
    case FILE_TYPE_PIPE:
      return "is a pipe, not a regular file";
    default:
      return "is not a regular file";
  }
}

// Fails, saying why, unless the file at `path`, looked at without opening
// it, is a regular one; then sets `*size` to its size.
Status LookAt(const std::wstring& path, uint64_t* size) {
  if (NamesDevice(path)) return Status::Error("is a device, not a regular file");
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return WindowsError("", GetLastError());
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Status::Error("is a directory");
  if (size != nullptr) *size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  return Status::Ok();
}

}  // namespace

ReplayFile::~ReplayFile() {
  if (fd_ >= 0) _close(fd_);
}

Status ReplayFile::Open(const std::string& path) {
  if (Status s = CheckPath(path); !s.ok()) return s;
  const std::wstring wide = WideFromUtf8(path);

  // Look at the path first so that a device is never opened; the opened
  // file is checked again below, as the path may have changed in between.
  if (Status s = LookAt(wide, nullptr); !s.ok()) return s;
  // Others may go on writing, replacing or removing the file meanwhile, as
  // a game does with the replay it records.
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return WindowsError("", GetLastError());
  fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd_ < 0) {
    CloseHandle(h);
    return SystemError("", EMFILE);
  }
  if (const char* kind = NonDiskKind(GetFileType(h))) return Status::Error(kind);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return WindowsError("", GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Status::Error("is a directory");
  length_ = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  if (length_ == 0) return Status::Error("empty file");
  return Status::Ok();
}

Status ReadSome(int fd, unsigned char* buf, size_t size, size_t& got) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return SystemError("read error", EBADF);
  DWORD n = 0;
  if (!ReadFile(h, buf, static_cast<DWORD>(std::min<size_t>(size, INT_MAX)), &n, nullptr)) {
    const DWORD code = GetLastError();
    // How a pipe whose writer has gone, and a file read past its end, end.
    if (code != ERROR_BROKEN_PIPE && code != ERROR_HANDLE_EOF) return WindowsError("read error", code);
    n = 0;
  }
  got = n;
  return Status::Ok();
}

Status ReadAt(int fd, unsigned char* buf, size_t size, uint64_t offset) {
  // The handle is synchronous: reads of both threads at their own offsets
  // take turns in the system, while the scanning of what they read does not.
  const HANDLE h = HandleOf(fd);
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(h, buf, static_cast<DWORD>(std::min<size_t>(size, INT_MAX)), &n, &at)) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) return Status::Error(kShrank);
      return WindowsError("read error", code);
    }
    if (n == 0) return Status::Error(kShrank);
    buf += n;
    size -= n;
    offset += n;
  }
  return Status::Ok();
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  uint64_t size = 0;
  if (path.empty() || !LookAt(WideFromUtf8(path), &size).ok()) return std::nullopt;
  return size;
}

unsigned UsableCores() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
  return static_cast<unsigned>(std::popcount(static_cast<uint64_t>(process)));
}

}  // namespace murvik
