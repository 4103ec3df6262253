#ifndef BOARD_BOARDTEXT_H_
#define BOARD_BOARDTEXT_H_

// The board as text, for the people who design boards: every value of the
// board file in a form that is written, read, diffed and reviewed by hand,
// and turned back into exactly the same bytes. Statements stand one to a
// line, in this order ("#" starts a comment; blank lines are free):
//
//   header 4 1 5 1          the four header values
//   width 55                then height, holes (per track), tracks, pairs
//   picture                 then height rows of width characters between
//   |.....|.....|   |       bars; "\\" is a backslash, "\xHH" any byte
//   colormap                then height rows: width digits between bars,
//   |1111100000001|         or width numbers 0 to 255 between brackets
//   [12 0 255 3 3 3 ...]
//   pair 0 7                one per pair: foreground and background color
//   track 0 color 4         per track, its color, then its holes as
//   (0, 0) (0, 1) (0, 2)    (row, column), any number to a line
//   finish (5, 44)          the final hole, and the end of the board
//
// A row whose last byte (the terminator slot) is not 0 says so after its
// closing bar: "|abc| end 32".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/boardfile.h"
#include "board/boardtype.h"

namespace boards {

// A fault in a text, at a line and column counted from 1 (columns in bytes).
struct textproblem {
  std::uint64_t line = 0;
  std::uint64_t column = 0;
  std::string message;
};

// Reads a board from its text, handed out by the source a piece at a time
// (an empty piece ends the text). Returns the problems found, in order: the
// first, and more as long as they can be told apart reliably. The board is
// replaced only when there are none. Memory follows the text, whatever sizes
// it declares.
std::vector<textproblem> readboardtext(const bytesource& source,
                                       boardtype& board);
std::vector<textproblem> readboardtext(std::string_view text, boardtype& board);

// Hands the board's text to the sink in pieces; whether it took them all.
// The text is canonical: reading it and writing the board again gives the
// same text.
bool writeboardtext(const boardtype& board, const bytesink& sink);
std::string writeboardtext(const boardtype& board);

}  // namespace boards

#endif  // BOARD_BOARDTEXT_H_
