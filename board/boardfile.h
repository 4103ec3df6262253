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
    readfailed,    // a read failed, or the file kept changing while read
    shorthead,     // fewer bytes than the head takes
    negativesize,  // a size in the head below 0
    shortlayout,   // fewer bytes than the layout the head describes
    toolarge,      // a layout above the loader's limit (loadoptions)
    nomemory,      // no memory for the board the head describes
  };
  fault what = fault::none;
  const char* size = "";     // negativesize: which size
  std::int32_t value = 0;    // negativesize: its value
  int error = 0;             // cannotopen, readfailed: the errno
  std::uint64_t needed = 0;  // bytes the head or the whole layout takes
  std::uint64_t found = 0;   // bytes the input holds, less the torn tail
                             // of a save killed while it wrote in place
  std::uint64_t limit = 0;   // toolarge: the limit the layout passed
  std::string reason;        // readfailed without an errno: what happened

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
};

// What a load may take on, as image decoders bound theirs: a head whose
// layout needs more bytes than maxsize is refused before anything is sized,
// so that a sparse file with a huge head cannot exhaust memory.
inline constexpr std::uint64_t defaultmaxsize = std::uint64_t{1} << 30;
struct loadoptions {
  std::uint64_t maxsize = defaultmaxsize;
};

// "1 GiB", "931.3 GiB", "2119 bytes": a size for people, in the largest
// binary unit it reaches, with one decimal where it is not whole.
BOARD_EXPORT std::string sizename(std::uint64_t bytes);

// Checks a head against the length of the whole input and the limit: every
// size at least 0, the layout no longer than the input nor the limit. When
// it passes, needed is the layout's length. Pure: nothing is allocated.
BOARD_EXPORT loadresulttype checkhead(std::span<const unsigned char> head,
                                      std::uint64_t inputlength,
                                      const loadoptions& options = {});

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
                                        boardtype& board,
                                        const loadoptions& options = {});

// Reads a board from the bytes of a board file in memory.
BOARD_EXPORT loadresulttype decodeboard(std::span<const unsigned char> input,
                                        boardtype& board,
                                        const loadoptions& options = {});

// Whether a board could be written, and if not, why.
struct saveresulttype {
  enum class fault {
    none,
    cannotopen,   // the path could not be opened, nor a fresh file made
    writefailed,  // a write, the close or the rename failed; nothing changed
    unfit,        // a value the file cannot hold: a byte item outside 0..255
    mismatch,     // a size no longer matches the arrays it was made for
    incomplete,   // a stream that took part of the content, or a file
                  // written in place that holds the new board but not as it
                  // should: only in the file's journal (which every load
                  // reads and the next save completes), or without its
                  // permission bits
    unsynced,     // the new content took the file's place, but a sync
                  // (saveoptions) failed: a power cut may undo the save
  };
  fault what = fault::none;
  int error = 0;           // cannotopen, writefailed, incomplete, unsynced: the
                           // errno, if any
  std::string reason;      // the same, where no call failed: what happened
  std::string item;        // unfit: "track 1 hole 7", "finish", "track 1";
                           // mismatch of an array: "picture 3", "pairs"
  const char* field = "";  // unfit: "column", "row", "color";
                           // mismatch: the size, "width" for instance,
                           // or the array (boardtype::strayarray)
  std::int64_t value = 0;  // unfit: the value; mismatch: the size now,
                           // or the array's row (-1: the table)
  std::int64_t expected = 0;  // mismatch: the size of the arrays

  // A result that failed for this reason, with its errno if it has one.
  static saveresulttype failed(fault what, int error = 0) {
    saveresulttype result;
    result.what = what;
    result.error = error;
    return result;
  }
  // The same, where no call failed: what happened, in words.
  static saveresulttype failed(fault what, std::string reason) {
    saveresulttype result;
    result.what = what;
    result.reason = std::move(reason);
    return result;
  }
  bool ok() const { return what == fault::none; }
  // One line that names the fault and its figures, for people.
  BOARD_EXPORT std::string describe() const;
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
// A load never writes and never waits on a lock: it reads, then checks that
// the file did not change meanwhile, and reads again a few times if it did.
// Where a save in place left its journal whole at the end of the file (it
// was killed, or is running), the board is read from there: every name of
// the file shows the old board or the new one, never a mix.
BOARD_EXPORT loadresulttype readboardfile(const char* path, boardtype& board,
                                          const loadoptions& options = {});

struct saveoptions {
  // A fresh file is synced before it takes the target's place, and its
  // directory after; a file written in place, which is synced before each of
  // its steps whatever this says, is synced once more at the end. Either
  // way the board outlives a power cut once the save returns.
  bool sync = false;
};

// Writes the board file at path so that every reader through the library
// sees the old board or the new one whole, even after a kill: the new board
// goes into a fresh file beside the target, which takes the target's place by
// a rename only once it is whole. Where no fresh file can take its place
// without changing what the board is (a file with several hard links, a mount
// point, an owner, group or attribute the process cannot give a fresh file,
// a directory that refuses new files or renames), a regular file is written
// in place: locked, the new board appended to it with a checksum and synced,
// then copied over the front and the file cut to length, so that a kill or
// power cut at any point leaves the old board or the new one (see
// readboardfile). A device, a FIFO or a stream such as /dev/stdout is written
// as it is. A board the file cannot hold is refused before anything is
// opened. Never prints.
BOARD_EXPORT saveresulttype writeboardfile(const char* path,
                                           const boardtype& board,
                                           const saveoptions& options = {});

// Hands content to the sink in order; whether the sink took it all. A save
// may call it more than once (a file it may write but not read is written
// twice in place); each call must hand over the same bytes.
using contentmaker = std::function<bool(const bytesink& sink)>;

// Puts the length bytes that make hands over in the place of the file at
// path, exactly as writeboardfile puts a board there. A maker that stops,
// throws, or hands over more or fewer bytes than length fails the save, and
// every name keeps the old content.
BOARD_EXPORT saveresulttype writefile(const char* path, std::uint64_t length,
                                      const contentmaker& make,
                                      const saveoptions& options = {});

// Makes a new file at path that holds the length bytes make hands over, with
// the permissions that open(2) gives a new file of this mode: less the
// umask, or as the directory's default ACL says. It is written unnamed (or
// under a hidden name) and takes its name only once whole; nothing already at
// path is replaced or followed: a name that is taken, a dangling link included,
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
