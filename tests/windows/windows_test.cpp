// What only Windows has: names in UTF-16, the runtime's text mode, device
// names that are no files, a console told from other character devices, and
// CR LF line breaks. The rest is checked by the same tests as on Linux.
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "chat_text.h"
#include "cli/platform.h"
#include "extract/extract.h"
#include "extract/file_read.h"
#include "extract/system.h"
#include "replay_writer.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;

// A replay whose bytes the runtime's text mode would change: CR LF (read as
// LF, every record after it one byte early) and Ctrl+Z (read as the end).
std::string ReplayForTextMode() {
  ReplayWriter w(3);
  w.Say("GL HF").Noise(3).Start().Type("SEE YOU");
  std::string bytes = w.Take();
  bytes.replace(0, 3, "\r\n\x1A");
  bytes.replace(100, 2, "\r\n");
  return bytes;
}

// A folder of this test's own, named in several scripts, with a space.
struct Folder {
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  const fs::path path = fs::temp_directory_path() / (L"murvik тест 試験 " + std::to_wstring(GetCurrentProcessId()));
  std::string Utf8(const std::wstring& name) const { return Utf8FromWide((path / name).wstring()); }
  void Write(const std::wstring& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
  }
};

TEST(WideText, TurnsEveryNameIntoUtf8AndBack) {
  const std::wstring names[] = {L"plain.rep", L"игра.rep", L"試合 1.rep", L"\U0001F3AE.rep",
                                std::wstring(L"lone \xD800 and \xDC00 surrogates")};
  for (const std::wstring& name : names) EXPECT_EQ(WideFromUtf8(Utf8FromWide(name)), name);
  EXPECT_EQ(Utf8FromWide(L"игра"), "\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0");
  EXPECT_EQ(WideFromUtf8("bad \xC3\x28 \xFF \xC0\xAF"), L"bad \xFFFD( \xFFFD \xFFFD\xFFFD");
}

TEST(ReplayFile, OpensNamesInAnyScript) {
  const Folder folder;
  const std::string bytes = SynthesizedReplay("chat", 5000, 2);
  folder.Write(L"игра с пробелом.rep", bytes);
  const ChatResult r = ExtractChat(folder.Utf8(L"игра с пробелом.rep"));
  ASSERT_TRUE(r.status.ok()) << r.status.reason();
  EXPECT_EQ(r.messages, ChatOf(bytes));
  EXPECT_EQ(RegularFileSize(folder.Utf8(L"игра с пробелом.rep")), bytes.size());
}

// Files with one thread and two, and a pipe whose descriptor is in text mode:
// the bytes go through as they are.
TEST(ReplayFile, ReadsBytesAsTheyAre) {
  const Folder folder;
  const std::string bytes = ReplayForTextMode();
  folder.Write(L"text.rep", bytes);
  ExtractOptions two_threads;
  two_threads.parallel_from = 0;
  two_threads.stretch_size = 120;
  for (const ExtractOptions& o : {ExtractOptions(), two_threads}) {
    const ChatResult r = ExtractChat(folder.Utf8(L"text.rep"), o);
    ASSERT_TRUE(r.status.ok()) << r.status.reason();
    EXPECT_EQ(r.messages, ChatOf(bytes));
  }
  int fds[2];
  ASSERT_EQ(_pipe(fds, 1 << 16, _O_TEXT), 0);
  std::thread writer([&] {
    _setmode(fds[1], _O_BINARY);
    _write(fds[1], bytes.data(), static_cast<unsigned>(bytes.size()));
    _close(fds[1]);
  });
  const ChatResult r = ExtractChatFromStream(fds[0]);
  writer.join();
  _close(fds[0]);
  EXPECT_EQ(r.messages, ChatOf(bytes));
}

// Offsets past 4 GiB reach the file whole: a sparse file of 5 GiB.
TEST(ReplayFile, ReadsPastFourGiB) {
  const Folder folder;
  const uint64_t at = 5ull << 30;
  {
    std::ofstream(folder.path / L"huge.rep", std::ios::binary) << "x";
    const HANDLE h =
        CreateFileW((folder.path / L"huge.rep").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(at);
    SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(h, "MURVIK", 6, &written, nullptr);
    CloseHandle(h);
  }
  ReplayFile file;
  ASSERT_TRUE(file.Open(folder.Utf8(L"huge.rep")).ok());
  EXPECT_EQ(file.length(), at + 6);
  unsigned char buf[6];
  ASSERT_TRUE(ReadAt(file.fd(), buf, 6, at).ok());
  EXPECT_EQ(std::string(buf, buf + 6), "MURVIK");
  EXPECT_EQ(ReadAt(file.fd(), buf, 6, at + 1).reason(), kShrank);
}

// Devices are refused without being opened (CON would be the console), in
// any folder and with any extension, and so are folders.
TEST(ReplayFile, RefusesDevicesAndFoldersWithAReason) {
  const Folder folder;
  const std::string device = "is a device, not a regular file";
  const std::pair<std::string, std::string> cases[] = {
      {"NUL", device},
      {"con", device},
      {"COM1", device},
      {"\\\\.\\NUL", device},
      {folder.Utf8(L""), "is a directory"},
      {folder.Utf8(L"missing.rep"), "No such file or directory"},
      {folder.Utf8(L"missing\\x.rep"), "No such file or directory"},
  };
  for (const auto& [path, reason] : cases) {
    EXPECT_EQ(ExtractChat(path).status.reason(), reason) << path;
    EXPECT_FALSE(RegularFileSize(path)) << path;
  }
}

// NUL is a character device, which the runtime's _isatty takes for a
// terminal; it must get no progress line.
TEST(Console, IsNotAnyCharacterDevice) {
  std::FILE* nul = std::fopen("NUL", "w");
  ASSERT_NE(nul, nullptr);
  EXPECT_TRUE(_isatty(_fileno(nul)));
  EXPECT_FALSE(IsConsole(nul) || TakesEscapes(nul));
  std::fclose(nul);
  EXPECT_EQ(WithLineBreaks("A\nB\n\n"), "A\r\nB\r\n\r\n");
}

}  // namespace
}  // namespace murvik
