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
//   colormap                then height rows: width digits between bars
//   |11111a0000001|         ("a" to "z" stand for 10 to 35), or width
//   [12 0 255 3 3 3 ...]    numbers 0 to 255 between brackets
//   pair 0 7                one per pair: foreground and background color
//   track 0 color 4         per track, its color, then its holes as
//   (0, 0) (0, 1) (0, 2)    (row, column), any number to a line; a side
//   (0, 4..8) (1..5 by 2, 9)  may be a run "first..last", "by N" a step
//   (2, 0..9) on '.|'       only the cells drawn with one of the characters
//   (2..9, 0..4 by 2) snake  down a column, up the next, and so on
//   track 1 color 5 mirrors track 0 across column 7   (or "across row 4.5")
//   finish (5, 44)          the final hole, and the end of the board
//
// A run goes from its first value to its last, up or down; with both sides
// run, the holes go diagonally and both sides hold as many values. A snake
// goes along its longer side ("snake down" or "snake across" say which);
// a mirrored track is the mirror of each hole of an earlier one, in order.
// A row whose last byte (the terminator slot) is not 0 says so after its
// closing bar: "|abc| end 32".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/boardtype.h"
#include "board/export.h"

namespace boards {

// A fault in a text, at a line and column counted from 1 (columns in bytes).
struct textproblem {
  std::uint64_t line = 0;
  std::uint64_t column = 0;
  std::string message;
};

// A place in a text: line and column counted from 1 (columns in bytes).
struct textplace {
  std::uint64_t line = 0;
  std::uint64_t column = 0;
};

// Where the parts of a board stand in the text it was read from, so that
// what is said about the built board can point into the text.
struct textplaces {
  // A hole item, single or run, and the number of its first hole.
  struct holeitem {
    std::int32_t first = 0;
    textplace place;
  };
  std::vector<textplace> picturerows, colormaprows;  // the opening bars
  textplace colormap;                                // the "colormap" line
  // Per colormap row, 1 for a row of digits: its cells stand one a byte
  // from its opening bar.
  std::vector<unsigned char> colormapdigits;
  // The cells of rows of numbers that are not below the pair count (the
  // first 4096 of them; the others are placed at their row's bracket).
  struct cellplace {
    std::int32_t row = 0, column = 0;
    textplace place;
  };
  std::vector<cellplace> colormapcells;
  // The fill lines, in order, when the colormap is given by them.
  struct fillplace {
    std::int32_t top = 0, bottom = 0, left = 0, right = 0;
    std::int32_t value = 0;
    textplace place;
  };
  std::vector<fillplace> fills;
  std::int32_t paircount = 0;     // as declared, when fills are read
  std::vector<textplace> tracks;  // the "track" lines
  std::vector<std::vector<holeitem>> holeitems;  // per track, in order
  textplace finish;
  // What reads but is most likely a slip: a raw control byte in a picture
  // row, at most one a row.
  std::vector<textproblem> warnings;

  // The item that holds a track's hole; line 0 when there is none.
  BOARD_EXPORT textplace hole(std::int32_t track, std::int32_t hole) const;
  // Where a colormap cell was given: its own column in its row, or the last
  // fill line that gave it a value beyond the pair count (else the last
  // that covers it); line 0 when unknown.
  BOARD_EXPORT textplace colorcell(std::int32_t row, std::int32_t column) const;
  // The same for a cell that holds the index value: for fills, the last
  // fill line of that value that covers it (else the last that covers it).
  BOARD_EXPORT textplace colorcell(std::int32_t row, std::int32_t column,
                                   std::int32_t value) const;
  // Where a problem of the board read stands: its hole's item, the finish,
  // the track's line, or a colormap cell; line 0 when unknown.
  BOARD_EXPORT textplace of(const boardproblem& problem) const;
};

// Where problems stand in the text, handed in the order checkboard gives
// them: each hole's item is found by walking on from the last one's, not
// searched for, since a board may have millions.
class placefinder {
 public:
  explicit placefinder(const textplaces& places) : places_(places) {}
  BOARD_EXPORT textplace operator()(const boardproblem& problem);

 private:
  const textplaces& places_;
  std::int32_t track_ = -1;
  std::size_t item_ = 0;
};

// Reads a board from its text, handed out by the source a piece at a time
// (an empty piece ends the text). Returns the problems found, in order: the
// first, and more as long as they can be told apart reliably, at most 20.
// The board is replaced only when there are none. Memory follows the board
// the text holds, whatever sizes it declares; running out of it is the one
// problem at line 0, as readboardfile's nomemory. With places, says where
// each part stands. Nothing throws but what the source throws.
BOARD_EXPORT std::vector<textproblem> readboardtext(const bytesource& source,
                                                    boardtype& board);
BOARD_EXPORT std::vector<textproblem> readboardtext(const bytesource& source,
                                                    boardtype& board,
                                                    textplaces& places);
BOARD_EXPORT std::vector<textproblem> readboardtext(std::string_view text,
                                                    boardtype& board);
BOARD_EXPORT std::vector<textproblem> readboardtext(std::string_view text,
                                                    boardtype& board,
                                                    textplaces& places);

// Hands the board's text to the sink in pieces; whether it took them all. A
// board the file cannot hold (checkencodable) gives false, or an empty text,
// before anything is handed over.
// Throws std::bad_alloc when memory runs out (the string form), and what
// the sink throws. The text is canonical: reading it and writing the board
// again gives the same text. A track's holes are written in the fewest
// items: three or more holes that share a step make a run, and a run on the
// character its holes are drawn with stands where it takes fewer items.
// With fills, the colormap is written as the fewest fill lines found, where
// they are shorter than its rows (and every row's last byte is 0).
struct textoptions {
  bool fills = false;
};
BOARD_EXPORT bool writeboardtext(const boardtype& board, const bytesink& sink);
BOARD_EXPORT std::string writeboardtext(const boardtype& board);
BOARD_EXPORT bool writeboardtext(const boardtype& board, const bytesink& sink,
                                 const textoptions& options);
BOARD_EXPORT std::string writeboardtext(const boardtype& board,
                                        const textoptions& options);

}  // namespace boards

#endif  // BOARD_BOARDTEXT_H_
