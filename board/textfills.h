#ifndef BOARD_TEXTFILLS_H_
#define BOARD_TEXTFILLS_H_

// The colormap as fill lines: rectangles of one color index, each perhaps
// only on the cells drawn with some characters, laid in order over a
// colormap of zeros. The library's own; not installed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/boardtype.h"

namespace boards {

struct filltype {
  std::int32_t top = 0, bottom = 0, left = 0, right = 0;  // inclusive
  unsigned char value = 0;
  std::string on;  // the characters it is laid on; empty: every cell
};

// Lays the fill over one of the rows it covers: the row's picture (none
// where the row was not read) and its colors.
void applyfill(const filltype& fill, const char* drawn, unsigned char* colors);

// Few fills that make the board's colormap, found greedily, in the order
// they are laid; nothing where a row's last byte is not 0, or where the
// fills would take more than most bytes of text (or too long to find).
std::optional<std::vector<filltype>> findfills(const boardtype& board,
                                               std::uint64_t most);

// The length of the fill's line in the text, its newline included.
std::uint64_t filllength(const filltype& fill, std::int32_t width,
                         std::int32_t height);

}  // namespace boards

#endif  // BOARD_TEXTFILLS_H_
