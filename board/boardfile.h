#ifndef BOARD_BOARDFILE_H_
#define BOARD_BOARDFILE_H_

// The board file: a head of nine little-endian int32 (four header values,
// then width, height, holecount, trackcount and paircount) followed by byte
// sections whose lengths follow from the five sizes. Reading is a decoder over
// bytes in memory with a thin file layer over it; nothing is sized before the
// head has been checked against the bytes that are really there.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/boardtype.h"

inline constexpr std::uint64_t boardheadlength = 36;

void putint32(unsigned char* out, std::int32_t value);
std::int32_t getint32(const unsigned char* in);

// Bytes in the file of a board with these (non-negative) sizes.
std::uint64_t boardfilelength(std::int32_t width, std::int32_t height,
                              std::int32_t holecount, std::int32_t trackcount,
                              std::int32_t paircount);

// Whether a board could be read, and if not, why.
struct loadresulttype {
  enum class fault {
    none,
    cannotopen,    // the path could not be opened
    notregular,    // a directory, FIFO or device
    readfailed,    // a read failed or the file shrank while read
    shorthead,     // fewer bytes than the head takes
    negativesize,  // a size in the head below 0
    shortlayout,   // fewer bytes than the layout the head describes
  };
  fault what = fault::none;
  const char* size = "";     // negativesize: which size
  std::int32_t value = 0;    // negativesize: its value
  int error = 0;             // cannotopen, readfailed: the errno
  std::uint64_t needed = 0;  // bytes the head or the whole layout takes
  std::uint64_t found = 0;   // bytes the input holds

  bool ok() const { return what == fault::none; }
  // One line that names the fault and its figures, for people.
  std::string describe() const;
};

// Checks a head against the length of the whole input: every size at least 0
// and the layout no longer than the input. When it passes, needed is the
// layout's length. Pure: nothing is allocated.
loadresulttype checkhead(std::span<const unsigned char> head,
                         std::uint64_t inputlength);

// Reads a board from the bytes of a board file. Bytes beyond the layout are
// ignored. On failure the board is left as it was.
loadresulttype decodeboard(std::span<const unsigned char> input,
                           boardtype& board);

// The bytes of the board's file. The board's sizes must not be negative.
std::vector<unsigned char> encodeboard(const boardtype& board);

// Reads the board file at path: a regular file is required (nothing blocks on
// a FIFO), only the layout's bytes are read, and found is the file's length.
loadresulttype readboardfile(const char* path, boardtype& board);

#endif  // BOARD_BOARDFILE_H_
