// How a line of the chat wraps into rows: plain code over character widths,
// so that the view lays out only the lines it shows and tests can check the
// breaks without a font.
#ifndef MURVIK_CHAT_TEXT_ROWS_H_
#define MURVIK_CHAT_TEXT_ROWS_H_

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace murvik {

// Each character's width in 1/64 pixel, indexed by its byte.
using Advances = std::array<int32_t, 256>;

// Where the rows of `line` start when it is wrapped to `width` (1/64 pixel):
// a row ends after its last space when the next word does not fit, or
// within a word wider than a row; spaces at a row's end take no room. The
// first row starts at 0, and every row holds at least one character.
std::vector<uint32_t> WrapRows(std::string_view line, const Advances& advance, int64_t width);

}  // namespace murvik

#endif  // MURVIK_CHAT_TEXT_ROWS_H_
