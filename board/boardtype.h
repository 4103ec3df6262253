#ifndef BOARD_BOARDTYPE_H_
#define BOARD_BOARDTYPE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "board/export.h"

namespace boards {
class boardassembler;
}

// One hole: a cell of the picture, stored column first.
struct holetype {
  std::int32_t x = 0;  // column, 0 = leftmost character
  std::int32_t y = 0;  // row, 0 = top row

  // Takes the row first, like every coordinate in the system.
  BOARD_EXPORT void set(std::int32_t row, std::int32_t column);
};

// A game board drawn on a text terminal: a character picture, a parallel grid
// of color indices into a table of color pairs, one track of holes per player
// and the final hole all tracks share. It is sized once, filled by its owner,
// and travels as a board file through save and load.
//
// Nothing here throws but initialize and the sizing constructor, as they
// say; boards::copyboard copies a board. Distinct boards may be used from
// distinct threads at once; one board is not to be changed while another
// thread uses it.
class boardtype {
 public:
  // The empty board: every size 0, no arrays, header 0 and finish (0, 0).
  boardtype() = default;
  BOARD_EXPORT boardtype(std::int32_t height, std::int32_t width,
                         std::int32_t holecount, std::int32_t trackcount,
                         std::int32_t paircount);
  boardtype(const boardtype&) = delete;
  boardtype& operator=(const boardtype&) = delete;
  // A board moved from is the empty board.
  BOARD_EXPORT boardtype(boardtype&& other) noexcept;
  BOARD_EXPORT boardtype& operator=(boardtype&& other) noexcept;
  ~boardtype() = default;

  // Sizes the board and allocates every array in place of those it held:
  // picture rows of spaces, colormap rows and pair entries of 0, track colors
  // 0 and holes at (0, 0); header and finish stay. Height comes before width
  // here, unlike in the fields and the file. Throws std::invalid_argument for
  // a negative size and std::bad_alloc when memory runs out; either way the
  // board is left exactly as it was.
  BOARD_EXPORT void initialize(std::int32_t height, std::int32_t width,
                               std::int32_t holecount, std::int32_t trackcount,
                               std::int32_t paircount);

  // Writes the board file; 0 when it was written whole, 1 (with a message on
  // standard output and the file left as it was) when not. A program that
  // shows its own messages calls boards::writeboardfile instead.
  BOARD_EXPORT std::int32_t save(const char* path) const;

  // Reads a board file into the board; 0 when loaded, 1 (with a message on
  // standard output and the board left as it was) when not. A program that
  // shows its own messages calls boards::readboardfile instead.
  BOARD_EXPORT std::int32_t load(const char* path);

  // Lays out the holes of the three-player board. The library does not
  // define it: the board generator, trackgen, does, and so must any program
  // that calls it (otherwise the call fails to link).
  void makeholes();

  // Views of the arrays, as long as they were made by the last initialize:
  // a picture row and a colormap row without their terminator slot, a
  // track's holes in order, a pair as (foreground, background), the track
  // colors. An index out of range, or an array the board did not make
  // (swapped, reset or replaced), gives an empty view.
  BOARD_EXPORT std::string_view picturerow(std::int32_t row) const;
  BOARD_EXPORT std::span<char> picturerow(std::int32_t row);
  BOARD_EXPORT std::span<const unsigned char> colorrow(std::int32_t row) const;
  BOARD_EXPORT std::span<unsigned char> colorrow(std::int32_t row);
  BOARD_EXPORT std::span<const holetype> trackholes(std::int32_t track) const;
  BOARD_EXPORT std::span<holetype> trackholes(std::int32_t track);
  BOARD_EXPORT std::span<const unsigned char> pair(std::int32_t index) const;
  BOARD_EXPORT std::span<unsigned char> pair(std::int32_t index);
  BOARD_EXPORT std::span<const std::int32_t> trackcolors() const;
  BOARD_EXPORT std::span<std::int32_t> trackcolors();

  // The five sizes, in the order the file holds them.
  struct sizestype {
    std::int32_t width = 0, height = 0, holecount = 0, trackcount = 0,
                 paircount = 0;
  };
  // The sizes the arrays were made for by the last initialize, whatever the
  // public fields say now.
  sizestype arraysizes() const { return made_; }
  // Whether the public sizes are still those and every array, row and entry
  // is one the board made; a board whose sizes or arrays were changed by
  // hand is neither read nor written.
  BOARD_EXPORT bool arraysmatch() const;

  // The first array that is not one the board made, in the order trackcolor,
  // picture, colormap, pairs, tracks, each table before its rows: the
  // field's name and the row, entry or track (-1 for the table itself). A
  // null field when every array is the board's own.
  struct strayarraytype {
    const char* field = nullptr;
    std::int32_t index = -1;
  };
  BOARD_EXPORT strayarraytype strayarray() const;

  // Whether the boards hold the same header, sizes, array contents
  // (terminator slots included) and finish. A board whose arrays do not
  // match equals only itself.
  BOARD_EXPORT bool operator==(const boardtype& other) const;

  std::int32_t header[4] = {};  // carried through the file, never interpreted
  std::int32_t width = 0;       // characters per picture row
  std::int32_t height = 0;      // picture rows
  std::int32_t holecount = 0;   // holes per track
  std::int32_t trackcount = 0;  // tracks, one per player
  std::int32_t paircount = 0;   // entries of pairs

  // Per track, a further color index belonging to that track.
  std::unique_ptr<std::int32_t[]> trackcolor;
  // Rows of width + 1 characters; the last is the row's terminator slot.
  std::unique_ptr<std::unique_ptr<char[]>[]> picture;
  // Rows of width + 1 color indices, one per picture cell; the last is 0.
  std::unique_ptr<std::unique_ptr<unsigned char[]>[]> colormap;
  // Entries of two color numbers each.
  std::unique_ptr<std::unique_ptr<unsigned char[]>[]> pairs;
  // Per track, its holecount holes in order along the track.
  std::unique_ptr<std::unique_ptr<holetype[]>[]> tracks;
  holetype finish;  // the final hole, shared by all tracks

 private:
  // The text reader builds the arrays row by row as the text is read, never
  // sizing a board before its text is there, and hands them over whole.
  friend class boards::boardassembler;

  // Allocates the arrays of an empty board.
  void allocate(sizestype sizes);
  // Takes the arrays as they stand for the ones the board made, for sizes.
  void adopt(sizestype sizes);
  void swap(boardtype& other) noexcept;

  // The slots of own_: the five tables, then the rows of the four tables
  // that have rows, from firstrow(table) on.
  enum : std::size_t {
    trackcolorslot,
    pictureslot,
    colormapslot,
    pairslot,
    trackslot,
    tableslots
  };
  std::size_t firstrow(std::size_t table) const;
  const void* made(std::size_t slot) const;
  // Whether the table and its row or entry index are the ones made.
  template <typename Row>
  bool ownrow(std::size_t table, const std::unique_ptr<Row[]>& rows,
              std::int32_t index) const;

  sizestype made_;
  // The address of every array the board made, so that one swapped, reset
  // or replaced is never read.
  std::unique_ptr<const void*[]> own_;
};

namespace boards {
using boardtype = ::boardtype;
using holetype = ::holetype;

// A board of its own holding the same values as board, terminator slots
// included. Throws std::invalid_argument for a board whose arrays do not
// match (arraysmatch), std::bad_alloc when memory runs out.
BOARD_EXPORT boardtype copyboard(const boardtype& board);
}  // namespace boards

#endif  // BOARD_BOARDTYPE_H_
