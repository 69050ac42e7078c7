// Text between Windows' UTF-16 and the UTF-8 that the rest of Murvik holds.
// Windows names may hold UTF-16 that is not well formed (a lone surrogate);
// such a unit is carried through UTF-8 as the three bytes that would encode
// its value, so every name turns back into the very name it came from.
// Windows only: wchar_t is one UTF-16 unit there.
#ifndef MURVIK_EXTRACT_WIDE_TEXT_H_
#define MURVIK_EXTRACT_WIDE_TEXT_H_

#include <string>
#include <string_view>

namespace murvik {

std::string Utf8FromWide(std::wstring_view wide);

// Bytes that encode no character each become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);

}  // namespace murvik

#endif  // MURVIK_EXTRACT_WIDE_TEXT_H_
