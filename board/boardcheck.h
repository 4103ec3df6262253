#ifndef BOARD_BOARDCHECK_H_
#define BOARD_BOARDCHECK_H_

// What can be wrong with a board: holes off the picture, on a blank cell or
// on another hole's cell, a track that leaps from one hole to the next, color
// indices without a pair, a letter of a drawn label in a color of its own,
// and everything that keeps the board from its file
// (a value outside a byte, sizes or arrays changed by hand), so that a board
// with no problem always saves. The tools report these; a program that makes
// or edits boards can show them its own way. Nothing here throws but
// std::bad_alloc from the vector form, and whatever the sink throws.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/boardtype.h"
#include "board/export.h"

namespace boards {

enum class problemkind {
  outside,     // a hole or the finish off the picture
  blank,       // a hole or the finish on a blank cell
  shared,      // a hole or the finish on the cell of an earlier one
  colorindex,  // a colormap value not below the pair count
  trackcolor,  // a track color not below the pair count, or negative
  longstep,    // a hole farther than the longest step from the one before
  unfit,       // a hole or finish coordinate or a track color outside 0..255,
               // which the file cannot hold
  mismatch,    // sizes or arrays changed by hand (boardtype::arraysmatch)
  unlike,      // a hole on a character or a color index unlike nearly all
               // of its track's other holes
  labelcolor,  // a cell of a drawn word (letters or digits) whose color
               // index differs from the word's cells beside it
};

// The kind as a stable lowercase name, "outside" for outside: what a program
// that reads the checks as data sees.
BOARD_EXPORT const char* kindname(problemkind kind);

struct checkoptions {
  // The most cells a track may go from one hole to the next, across or down;
  // a slipped coordinate leaps much farther.
  std::int32_t maxstep = 3;
};

struct boardproblem {
  problemkind kind = problemkind::outside;
  std::int32_t track = -1;  // the track, -1 for the finish or a cell
  std::int32_t hole = -1;   // the hole along it, -1 for the finish or a cell
  std::int32_t row = -1;    // the cell, -1 for a track color
  std::int32_t column = -1;
  std::int32_t value = -1;  // the cell's color index, for a colormap problem
  std::string message;  // one line for people, "track 1 hole 7 at (3, 2): ..."
};

// Cells from one hole to the next, the farther of across and down: what
// maxstep bounds.
BOARD_EXPORT std::int64_t stepbetween(const holetype& from, const holetype& to);

// Takes each problem as it is found; the problem, its message included, is
// good only until the call returns (keep a copy of what is kept).
using problemsink = std::function<void(const boardproblem&)>;

// Hands every problem of the board to report, in order: sizes or arrays
// changed by hand (arrays the board did not make are then not read, and
// nothing more is reported), then the holes track by track (each hole's byte
// fit and cell, what it stands on against the track's other holes, then its
// step from the one before), then the finish, then the colormap row by row
// (each row's indices without a pair, then its words whose colors stand
// out), then the track colors. Nothing is
// held, so a board with millions of problems costs no more memory than one
// with none.
BOARD_EXPORT void checkboard(const boardtype& board, const problemsink& report,
                             const checkoptions& options = {});

// Every problem of the board, in the same order.
BOARD_EXPORT std::vector<boardproblem> checkboard(
    const boardtype& board, const checkoptions& options = {});

}  // namespace boards

#endif  // BOARD_BOARDCHECK_H_
