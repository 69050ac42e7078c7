// Lets tests compare messages and print them when they differ.
#ifndef MURVIK_TESTS_EXTRACT_MESSAGE_TESTING_H_
#define MURVIK_TESTS_EXTRACT_MESSAGE_TESTING_H_

#include <ostream>

#include "extract/chat.h"

namespace murvik {

inline bool operator==(const Message& a, const Message& b) {
  return a.text == b.text && a.offset == b.offset && a.sent == b.sent;
}

inline void PrintTo(const Message& m, std::ostream* os) {
  *os << "{\"" << m.text << "\" at " << m.offset << (m.sent ? ", sent}" : ", open}");
}

}  // namespace murvik

#endif  // MURVIK_TESTS_EXTRACT_MESSAGE_TESTING_H_
