#include "viewer/text_rows.h"

namespace murvik {

std::vector<uint32_t> WrapRows(std::string_view line, const Advances& advance, int64_t width) {
  std::vector<uint32_t> rows{0};
  int64_t x = 0;             // the row's width so far
  uint32_t row_start = 0;    // where the row starts
  uint32_t after_space = 0;  // where the row may end, after its last space; 0 for nowhere
  int64_t x_at_space = 0;    // the row's width up to there
  for (uint32_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == ' ') {
      x += advance[c];
      after_space = i + 1;
      x_at_space = x;
      continue;
    }
    if (x + advance[c] > width && i > row_start) {
      const bool at_space = after_space > row_start;
      row_start = at_space ? after_space : i;
      x = at_space ? x - x_at_space : 0;
      after_space = 0;
      rows.push_back(row_start);
    }
    x += advance[c];
  }
  return rows;
}

}  // namespace murvik
