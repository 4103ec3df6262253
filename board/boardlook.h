#ifndef BOARD_BOARDLOOK_H_
#define BOARD_BOARDLOOK_H_

// How a cell of a board looks, whatever draws it (a terminal, an image, an
// editor): which hole stands on it, the glyph it shows, the color pair it
// takes, and the colors of the terminal's color numbers. Nothing here draws.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/boardtype.h"
#include "board/export.h"

namespace boards {

// What stands on a cell besides its picture: a track's number, or one of
// these.
inline constexpr std::int32_t nohole = -1;
inline constexpr std::int32_t finishhole = -2;

// The glyph of a track's holes: 0 to 9, then a to z, then + for every track
// from 36 on.
BOARD_EXPORT char trackglyph(std::int32_t track);

// A picture byte as it is shown: printable ASCII as itself, any other byte
// as ?.
BOARD_EXPORT char printableglyph(char byte);

// Which hole stands on each cell of the picture, made once per board. Holes
// off the picture are left out; where holes share a cell, the finish wins,
// then the later track, then the later hole. Sizes are those the board's
// arrays were made for.
class holemap {
 public:
  BOARD_EXPORT explicit holemap(const boardtype& board);

  // A track's number, finishhole or nohole (also outside the picture).
  BOARD_EXPORT std::int32_t at(std::int32_t row, std::int32_t column) const;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::int32_t> holes_;
};

struct celllook {
  char picture = ' ';          // the cell's own character, printable
  char glyph = ' ';            // what it shows plainly, its hole marked
  std::int32_t pair = 0;       // the pair index it takes; may have no pair
  std::int32_t hole = nohole;  // what stands on it, as holemap::at says

  bool finish() const { return hole == finishhole; }
};

// The look of the cell at (row, column) with the given hole on it (from a
// holemap, or nohole to show the picture alone). A hole takes its track's
// color index, anything else the colormap's; the finish shows * plainly.
// Outside the picture, a blank cell of pair 0.
BOARD_EXPORT celllook lookofcell(const boardtype& board, std::int32_t row,
                                 std::int32_t column,
                                 std::int32_t hole = nohole);

// Two color numbers, foreground then background.
using colorpair = std::array<unsigned char, 2>;

// The colors of the board's pair at that index; none when it has no such
// pair (the cell is then drawn in the viewer's own colors).
BOARD_EXPORT std::optional<colorpair> paircolors(const boardtype& board,
                                                 std::int32_t pair);

// The colors the finish is drawn in, fixed so that it stands out whatever
// the pair of its cell: bright white on red, or black on bright cyan when
// the cell's own background is nearer red than bright cyan.
BOARD_EXPORT colorpair finishcolors(const boardtype& board, std::int32_t pair);

struct rgbtype {
  unsigned char red = 0;
  unsigned char green = 0;
  unsigned char blue = 0;
};

// A terminal color number as red, green and blue: the common values of the
// sixteen standard and bright colors, then the 6x6x6 cube from 16 and the
// ramp of 24 grays from 232.
BOARD_EXPORT rgbtype terminalrgb(unsigned char color);

// The rulers over the columns first to first + count - 1, count characters
// each: the numbers of every tenth column, each starting above its column,
// and the ticks (| on every tenth column, + on every fifth, . elsewhere).
BOARD_EXPORT std::string columnlabels(std::int32_t first, std::int32_t count);
BOARD_EXPORT std::string columnticks(std::int32_t first, std::int32_t count);

}  // namespace boards

#endif  // BOARD_BOARDLOOK_H_
