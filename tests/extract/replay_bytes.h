// Builds replay bytes in tests from key codes written as four hex digits,
// independently of the code under test.
#ifndef MURVIK_TESTS_EXTRACT_REPLAY_BYTES_H_
#define MURVIK_TESTS_EXTRACT_REPLAY_BYTES_H_

#include <string>
#include <string_view>
#include <vector>

namespace murvik::testing {

// 273 header bytes, then one 12-byte record per code ("4024", "E021", ...)
// with the code's two bytes first and zero filler after them.
inline std::string ReplayOf(const std::vector<std::string_view>& codes) {
  std::string bytes(273, '\0');
  for (std::string_view code : codes) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(code.substr(0, 2)), nullptr, 16)));
    bytes.push_back(static_cast<char>(std::stoi(std::string(code.substr(2, 2)), nullptr, 16)));
    bytes.append(10, '\0');
  }
  return bytes;
}

}  // namespace murvik::testing

#endif  // MURVIK_TESTS_EXTRACT_REPLAY_BYTES_H_
