#ifndef BOARD_BOARDFILE_H_
#define BOARD_BOARDFILE_H_

// The board file: a head of nine little-endian int32 (four header values,
// then width, height, holecount, trackcount and paircount) followed by byte
// sections whose lengths follow from the five sizes. One decoder reads boards
// from memory and from files alike; nothing is sized before the head has been
// checked against the bytes that are really there. The encoder and the
// decoder both move the bytes in pieces, so save and load never hold a whole
// file in memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "board/boardtype.h"
#include "board/export.h"

namespace boards {

inline constexpr std::uint64_t boardheadlength = 36;

// Files are read and written through buffers of this many bytes.
inline constexpr std::size_t boardpiecelength = 64 * 1024;

// Bytes in the file of a board with these (non-negative) sizes.
BOARD_EXPORT std::uint64_t boardfilelength(std::int32_t width,
                                           std::int32_t height,
                                           std::int32_t holecount,
                                           std::int32_t trackcount,
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
    nomemory,      // no memory for the board the head describes
  };
  fault what = fault::none;
  const char* size = "";     // negativesize: which size
  std::int32_t value = 0;    // negativesize: its value
  int error = 0;             // cannotopen, readfailed: the errno
  std::uint64_t needed = 0;  // bytes the head or the whole layout takes
  std::uint64_t found = 0;   // bytes the input holds
  // A save that was killed while it wrote this file in place had left its
  // copy of the old board, ".NAME.rollback", beside it: the old board was
  // put back from it (restored), or, where the file may not be written, read
  // from it (readcopy, the copy stays). The copy's path, else empty.
  std::string rolledback;
  bool readcopy = false;

  // A result that failed for this reason, with its errno if it has one.
  static loadresulttype failed(fault what, int error = 0) {
    loadresulttype result;
    result.what = what;
    result.error = error;
    return result;
  }
  bool ok() const { return what == fault::none; }
  // One line that names the fault and its figures, for people.
  BOARD_EXPORT std::string describe() const;
  // One line on a killed save that was undone, for people; empty if none.
  BOARD_EXPORT std::string note() const;
};

// Checks a head against the length of the whole input: every size at least 0
// and the layout no longer than the input. When it passes, needed is the
// layout's length. Pure: nothing is allocated.
BOARD_EXPORT loadresulttype checkhead(std::span<const unsigned char> head,
                                      std::uint64_t inputlength);

// Hands out the input's next bytes: a view of at least one and at most
// `most` of them, good until the next call, or an empty view when it cannot.
using bytesource =
    std::function<std::span<const unsigned char>(std::size_t most)>;

// Reads a board from a source whose input is inputlength bytes long. The
// head is checked against that length before anything is sized, and bytes
// beyond the layout are never asked for. The board changes only when
// the whole board was read.
BOARD_EXPORT loadresulttype decodeboard(const bytesource& source,
                                        std::uint64_t inputlength,
                                        boardtype& board);

// Reads a board from the bytes of a board file in memory.
BOARD_EXPORT loadresulttype decodeboard(std::span<const unsigned char> input,
                                        boardtype& board);

// Whether a board could be written, and if not, why.
struct saveresulttype {
  enum class fault {
    none,
    cannotopen,   // the path could not be opened, nor a fresh file made
    writefailed,  // a write, the close or the rename failed
    unfit,        // a value the file cannot hold: a byte item outside 0..255
    mismatch,     // a size no longer matches the arrays it was made for
    incomplete,   // written in place, the file may hold part of the board
  };
  fault what = fault::none;
  int error = 0;     // cannotopen, writefailed, incomplete: the errno, if any
  std::string item;  // unfit: "track 1 hole 7", "finish", "track 1";
                     // incomplete: a copy of the old board, if kept;
                     // mismatch of an array: "picture 3", "pairs"
  const char* field = "";     // unfit: "column", "row", "color";
                              // mismatch: the size, "width" for instance,
                              // or the array (boardtype::strayarray)
  std::int64_t value = 0;     // unfit: the value; mismatch: the size now,
                              // or the array's row (-1: the table)
  std::int64_t expected = 0;  // mismatch: the size of the arrays
  // An earlier save that was killed while it wrote this file in place was
  // undone first: the old board was put back from the copy it had left, at
  // this path. Empty when there was none.
  std::string rolledback;

  // A result that failed for this reason, with its errno if it has one.
  static saveresulttype failed(fault what, int error = 0) {
    saveresulttype result;
    result.what = what;
    result.error = error;
    return result;
  }
  bool ok() const { return what == fault::none; }
  // One line that names the fault and its figures, for people.
  BOARD_EXPORT std::string describe() const;
  // One line on a killed save that was undone, for people; empty if none.
  BOARD_EXPORT std::string note() const;
};

// Whether the board file can hold the board: its sizes are those its arrays
// were made for, its arrays those it made, and every hole and finish coordinate
// and every track color lies in 0..255. The first fault found, tracks in order,
// then the finish.
BOARD_EXPORT saveresulttype checkencodable(const boardtype& board);

// Takes the board file's bytes in order, a piece at a time; false refuses
// the piece and stops the encoding.
using bytesink = std::function<bool(std::span<const unsigned char>)>;

// Hands the bytes of the board's file to the sink in pieces of at most
// boardpiecelength bytes; whether the sink took them all. A board the file
// cannot hold (checkencodable) is refused before any byte: false.
BOARD_EXPORT bool encodeboard(const boardtype& board, const bytesink& sink);

// The bytes of the board's file, all at once; empty for a board the file
// cannot hold.
BOARD_EXPORT std::vector<unsigned char> encodeboard(const boardtype& board);

// Reads the board file at path: a regular file is required (nothing blocks on
// a FIFO), only the layout's bytes are read, and found is the file's length.
// A file that shrinks while it is read fails with readfailed. The file is
// read under a shared lock, so a save through this library is never seen
// half-way; a killed save's copy of the old board is put back first (see
// rolledback).
BOARD_EXPORT loadresulttype readboardfile(const char* path, boardtype& board);

struct saveoptions {
  // The file is synced before it takes the target's place and its directory
  // after (a file written in place: the file), so that the board outlives a
  // power cut once the save returns.
  bool sync = false;
};

// Writes the board file at path without ever destroying the board it
// replaces: the new board goes into a fresh file beside the target, which
// takes the target's place by a rename only once it is whole. Where no fresh
// file can take its place (a file with several hard links, a mount point,
// another user's file, a directory that refuses new files or renames), a
// regular file is written in place as a transaction: locked, its old content
// copied beside it first and put back should the save fail or be killed. A
// device, a FIFO or a stream such as /dev/stdout is written as it is. A board
// the file cannot hold is refused before anything is opened. Never prints.
BOARD_EXPORT saveresulttype writeboardfile(const char* path,
                                           const boardtype& board,
                                           const saveoptions& options = {});

// Hands content to the sink in order; whether the sink took it all.
using contentmaker = std::function<bool(const bytesink& sink)>;

// Puts the length bytes that make hands over in the place of the file at
// path, exactly as writeboardfile puts a board there.
BOARD_EXPORT saveresulttype writefile(const char* path, std::uint64_t length,
                                      const contentmaker& make,
                                      const saveoptions& options = {});

// Makes a new file at path that holds the length bytes make hands over, with
// the permission bits mode less the umask. It is written unnamed (or under a
// hidden name) and takes its name only once whole; nothing already at path
// is replaced or followed: a name that is taken, a dangling link included,
// fails with cannotopen and EEXIST.
BOARD_EXPORT saveresulttype createfile(const char* path, std::uint64_t length,
                                       const contentmaker& make, unsigned mode,
                                       const saveoptions& options = {});

// 0 when neither the file at path nor its folder refuses a save by their
// permissions or their file system, else the errno a save would fail with
// (EACCES, EROFS, ENOENT for a missing folder, ...).
BOARD_EXPORT int cansave(const char* path);

}  // namespace boards

#endif  // BOARD_BOARDFILE_H_
