#ifndef BOARD_TEXTITEMS_H_
#define BOARD_TEXTITEMS_H_

// A hole item of the text as its reader and writer both know it: two sides,
// each a value or a run, perhaps a snake, and perhaps the characters its
// holes are drawn with. What cells an item stands for is said here once, so
// that what the writer writes is what the reader reads. The library's own;
// not installed.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "board/words.h"

namespace boards {

// One side of a hole item: a value, or the run first..last by step.
struct runside {
  std::int64_t first = 0, last = 0, step = 1;
  std::int64_t count() const { return std::abs(last - first) / step + 1; }
  std::int32_t at(std::int64_t index) const {
    return static_cast<std::int32_t>(first +
                                     (last < first ? -index : index) * step);
  }
};

// How a snake goes: down the columns (each the way back of the one before),
// or across the rows.
enum class snakeway : unsigned char { none, down, across };

struct holerun {
  runside row, column;
  snakeway snake = snakeway::none;
  std::string on;  // the characters its holes are drawn with; empty: any
};

// The way a snake written without one goes: along the longer side, down the
// columns when they are as long.
inline snakeway plainsnake(const holerun& run) {
  return run.row.count() >= run.column.count() ? snakeway::down
                                               : snakeway::across;
}

// Whether "on" takes a cell drawn with c.
inline bool takes(std::string_view on, char c) {
  return on.empty() || on.find(c) != std::string_view::npos;
}

// Hands each cell of the item, in order, to cell(row, column), before "on"
// picks among them; stops where cell gives false. Along a diagonal both
// sides hold as many values, or one holds one.
template <typename Cell>
void eachcell(const holerun& run, Cell cell) {
  if (run.snake == snakeway::none) {
    const std::int64_t rows = run.row.count(), columns = run.column.count();
    for (std::int64_t i = 0; i < std::max(rows, columns); ++i) {
      if (!cell(run.row.at(std::min(i, rows - 1)),
                run.column.at(std::min(i, columns - 1)))) {
        return;
      }
    }
    return;
  }
  const bool down = run.snake == snakeway::down;
  const runside& along = down ? run.row : run.column;
  const runside& over = down ? run.column : run.row;
  const std::int64_t length = along.count();
  for (std::int64_t k = 0; k < over.count(); ++k) {
    for (std::int64_t j = 0; j < length; ++j) {
      const std::int32_t a = along.at(k % 2 == 0 ? j : length - 1 - j);
      const std::int32_t b = over.at(k);
      if (!(down ? cell(a, b) : cell(b, a))) return;
    }
  }
}

// "'+-|'": the characters of an "on" clause as the text writes them; a
// quote but the first as "\x27", since it would end them.
inline std::string quotedcharacters(std::string_view on) {
  std::string text = "'";
  for (std::size_t i = 0; i < on.size(); ++i) {
    if (on[i] == '\'' && i > 0) {
      text += escapedbyte('\'');
    } else {
      appendpicturecharacter(text, static_cast<unsigned char>(on[i]));
    }
  }
  return text += '\'';
}

}  // namespace boards

#endif  // BOARD_TEXTITEMS_H_
