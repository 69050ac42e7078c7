#include "chat/text_rows.h"

#include <algorithm>

#include "chat/eight_bytes.h"

namespace murvik {

std::vector<uint32_t> WrapRows(std::string_view line, const Advances& advance, int64_t width) {
  std::vector<uint32_t> rows{0};
  const auto* text = reinterpret_cast<const unsigned char*>(line.data());
  const uint32_t size = uint32_t(line.size());
  const auto width_of = [&](uint32_t begin, uint32_t end) {
    int64_t w = 0;
    for (uint32_t k = begin; k < end; ++k) w += advance[text[k]];
    return w;
  };
  if (size > 65536) {
    // Room for the rows, as many as the first characters' widths suggest
    // and a fifth more, so that those of a line of millions of characters
    // are not copied as they come.
    const int64_t sample = width_of(0, 4096);
    rows.reserve(size_t(double(sample) * (size / 4096.0) / double(std::max<int64_t>(width, 1)) * 1.2) + 16);
  }
  int64_t x = 0;             // the row's width so far
  uint32_t row_start = 0;    // where the row starts
  uint32_t after_space = 0;  // where the row may end, after its last space; 0 for nowhere
  for (uint32_t i = 0; i < size;) {
    // Eight characters at a time while they fit: within a row, a space only
    // marks where the row may end, and the last one in the eight is found
    // with a few operations on the eight bytes at once.
    if (size - i >= 8) {
      const int64_t sum = advance[text[i]] + advance[text[i + 1]] + advance[text[i + 2]] + advance[text[i + 3]] +
                          (advance[text[i + 4]] + advance[text[i + 5]] + advance[text[i + 6]] + advance[text[i + 7]]);
      if (x + sum <= width) {
        const uint64_t spaces = BytesEqual(line.data() + i, 0, EveryByte(' '));
        if (spaces != 0) after_space = i + uint32_t(LastMarked(spaces)) + 1;
        x += sum;
        i += 8;
        continue;
      }
    }
    // A row ends among the next characters: one at a time.
    for (const uint32_t stop = std::min(size, i + 8); i < stop; ++i) {
      const unsigned char c = text[i];
      if (c == ' ') {
        x += advance[c];
        after_space = i + 1;
        continue;
      }
      if (x + advance[c] > width && i > row_start) {
        // After the row's last space, or here within a word wider than a row.
        const bool at_space = after_space > row_start;
        row_start = at_space ? after_space : i;
        x = at_space ? width_of(after_space, i) : 0;
        after_space = 0;
        rows.push_back(row_start);
      }
      x += advance[c];
    }
  }
  return rows;
}

}  // namespace murvik
