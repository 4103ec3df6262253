#ifndef BOARD_BOARDTYPE_H_
#define BOARD_BOARDTYPE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace boards {
class boardassembler;
}

// One hole: a cell of the picture, stored column first.
struct holetype {
  std::int32_t x = 0;  // column, 0 = leftmost character
  std::int32_t y = 0;  // row, 0 = top row

  // Takes the row first, like every coordinate in the system.
  void set(std::int32_t row, std::int32_t column);
};

// A game board drawn on a text terminal: a character picture, a parallel grid
// of color indices into a table of color pairs, one track of holes per player
// and the final hole all tracks share. It is sized once, filled by its owner,
// and travels as a board file through save and load.
class boardtype {
 public:
  // The empty board: every size 0, no arrays, header 0 and finish (0, 0).
  boardtype() = default;
  boardtype(std::int32_t height, std::int32_t width, std::int32_t holecount,
            std::int32_t trackcount, std::int32_t paircount);
  boardtype(const boardtype&) = delete;
  boardtype& operator=(const boardtype&) = delete;
  // A board moved from is the empty board.
  boardtype(boardtype&& other) noexcept;
  boardtype& operator=(boardtype&& other) noexcept;
  ~boardtype() = default;

  // Sizes the board and allocates every array in place of those it held:
  // picture rows of spaces, colormap rows and pair entries of 0, track colors
  // 0 and holes at (0, 0); header and finish stay. Height comes before width
  // here, unlike in the fields and the file. Throws std::invalid_argument for
  // a negative size and std::bad_alloc when memory runs out; either way the
  // board is left exactly as it was.
  void initialize(std::int32_t height, std::int32_t width,
                  std::int32_t holecount, std::int32_t trackcount,
                  std::int32_t paircount);

  // Writes the board file; 0 when it was written whole, 1 (with a message on
  // standard output and the file left as it was) when not. A program that
  // shows its own messages calls boards::writeboardfile instead.
  std::int32_t save(const char* path) const;

  // Reads a board file into the board; 0 when loaded, 1 (with a message on
  // standard output and the board left as it was) when not. A program that
  // shows its own messages calls boards::readboardfile instead.
  std::int32_t load(const char* path);

  // Lays out the holes of the three-player board. Only the generator has it.
  void makeholes();

  // Views of the arrays, as long as they were made by the last initialize:
  // a picture row and a colormap row without their terminator slot, a
  // track's holes in order, a pair as (foreground, background). An index out
  // of range gives an empty view.
  std::string_view picturerow(std::int32_t row) const;
  std::span<char> picturerow(std::int32_t row);
  std::span<const unsigned char> colorrow(std::int32_t row) const;
  std::span<unsigned char> colorrow(std::int32_t row);
  std::span<const holetype> trackholes(std::int32_t track) const;
  std::span<holetype> trackholes(std::int32_t track);
  std::span<const unsigned char> pair(std::int32_t index) const;
  std::span<unsigned char> pair(std::int32_t index);

  // The five sizes, in the order the file holds them.
  struct sizestype {
    std::int32_t width = 0, height = 0, holecount = 0, trackcount = 0,
                 paircount = 0;
  };
  // The sizes the arrays were made for by the last initialize, whatever the
  // public fields say now.
  sizestype arraysizes() const { return made_; }
  // Whether the public sizes are still those; a board whose sizes were
  // changed by hand is not written.
  bool arraysmatch() const;

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
  void swap(boardtype& other) noexcept;

  sizestype made_;
};

namespace boards {
using boardtype = ::boardtype;
using holetype = ::holetype;
}  // namespace boards

#endif  // BOARD_BOARDTYPE_H_
