// murvik-chat on Windows: the wide command line turned to UTF-8, its
// wildcards expanded, binary standard streams, UTF-8 on a console, and a console known by its mode
// rather than by _isatty (which takes any character device, NUL among them,
// for a terminal).
#include <windows.h>
// After windows.h, which they need.
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "cli/platform.h"
#include "extract/system.h"

namespace murvik {
namespace {

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

UINT console_code_page = 0;  // the console's own, given back at exit

void GiveBackCodePage() { SetConsoleOutputCP(console_code_page); }

// Windows' shells leave wildcards to the program: an argument whose last part
// holds * or ? stands for the files (not folders) it matches, in name order,
// case ignored; one that matches none stands for itself.
void AddMatches(const std::wstring& arg, std::vector<std::string>& args) {
  const size_t wild = arg.find_first_of(L"*?"), folder_end = arg.find_last_of(L"\\/:");
  std::vector<std::wstring> names;
  if (wild != std::wstring::npos && (folder_end == std::wstring::npos || wild > folder_end)) {
    const std::wstring folder = folder_end == std::wstring::npos ? L"" : arg.substr(0, folder_end + 1);
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileExW(arg.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(folder + found.cFileName);
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
  }
  if (names.empty()) names.push_back(arg);
  for (const std::wstring& name : names) args.push_back(Utf8FromWide(name));
}

}  // namespace

std::string WithLineBreaks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<std::string> CommandArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    if (i == 0)
      args.push_back(Utf8FromWide(wide[i]));
    else
      AddMatches(wide[i], args);
  }
  LocalFree(wide);
  return args;
}

void SetUpStreams() {
  // Replays come in and chat goes out byte for byte: no CR LF turned into
  // LF, no Ctrl+Z taken for the end, no LF doubled into CR CR LF.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  // Names and messages are UTF-8; a console shows them so only in its UTF-8
  // code page, which it is given for the run and then has its own back.
  if (IsConsole(stdout) || IsConsole(stderr)) {
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(GiveBackCodePage);
  }
}

bool IsConsole(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

bool TakesEscapes(std::FILE* stream) {
  const HANDLE h = HandleOf(stream);
  DWORD mode = 0;
  if (!GetConsoleMode(h, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void BeforeExit(std::FILE* out, std::FILE* err) {
  // A console that only this process is attached to was opened for it, and
  // closes with it.
  DWORD processes[2];
  if (!IsConsole(out) || GetConsoleProcessList(processes, 2) != 1) return;
  std::fflush(out);
  std::fputs("\nPress any key to close this window.", err);
  std::fflush(err);
  _getch();
}

}  // namespace murvik
