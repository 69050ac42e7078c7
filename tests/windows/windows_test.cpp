// What only Windows has: names in UTF-16, offsets past 4 GiB, device names
// that are no files and a console told from other character devices. The
// runtime's text mode and CR LF line breaks are checked by the tests that
// run on Linux too, run here (chat_command_test.cpp), and by the scripts.
#include <windows.h>
// After windows.h, which they need.
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/platform.h"
#include "extract/extract.h"
#include "extract/file_read.h"
#include "extract/system.h"

namespace murvik {
namespace {

namespace fs = std::filesystem;

// A folder of this test's own, named in several scripts, with a space.
struct Folder {
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  const fs::path path = fs::temp_directory_path() / (L"murvik тест 試験 " + std::to_wstring(GetCurrentProcessId()));
  std::string Utf8(const std::wstring& name) const { return Utf8FromWide((path / name).wstring()); }
};

TEST(WideText, TurnsEveryNameIntoUtf8AndBack) {
  const std::wstring names[] = {L"plain.rep", L"игра.rep", L"試合 1.rep", L"\U0001F3AE.rep",
                                std::wstring(L"lone \xD800 and \xDC00 surrogates")};
  for (const std::wstring& name : names) EXPECT_EQ(WideFromUtf8(Utf8FromWide(name)), name);
  EXPECT_EQ(WideFromUtf8("bad \xC3\x28 \xFF \xC0\xAF"), L"bad \xFFFD( \xFFFD \xFFFD\xFFFD");
}

// Offsets and sizes past 4 GiB reach the file whole, named in any script: a
// sparse file of 5 GiB.
TEST(ReplayFile, ReadsPastFourGiB) {
  const Folder folder;
  const fs::path path = folder.path / L"огромный.rep";
  const uint64_t at = 5ull << 30;
  std::ofstream(path, std::ios::binary) << "x";
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD ignored = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  CloseHandle(h);
  fs::resize_file(path, at);
  std::ofstream(path, std::ios::binary | std::ios::app) << "MURVIK";
  EXPECT_EQ(RegularFileSize(folder.Utf8(L"огромный.rep")), at + 6);
  ReplayFile file;
  ASSERT_TRUE(file.Open(folder.Utf8(L"огромный.rep")).ok());
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
}

}  // namespace
}  // namespace murvik
