#ifndef BOARD_ROLLBACK_H_
#define BOARD_ROLLBACK_H_

// A file written in place is written as a transaction, as a rollback journal
// makes it. The writer locks the file, copies its old content whole beside it
// as ".NAME.rollback" (synced before it takes that name), marks the file's
// first bytes as torn, writes the new content behind the mark, and writes the
// new first bytes last; the copy goes only once the new content is whole.
// A save killed on the way leaves the copy and, in the file, the mark, which
// no board file starts with (it reads as negative sizes): whoever next locks
// the file through the library finds the copy of a save that no longer holds
// the lock and puts the old content back. Readers take a shared lock, so no
// reader sees a file half-way through a save. The locks are advisory:
// programs that do not use the library are not held back by them. The
// library's own; not installed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/fileplace.h"

namespace boards {

// The first bytes of a file while it is written in place: as long as a board
// file's head, every byte 0xff.
inline constexpr std::size_t marklength = 36;

// ".NAME.rollback"; a NAME too long for that is cut to fit the longest name
// a folder takes and ends in "-" and 16 hex digits of a checksum of it.
std::string rollbackname(std::string_view name);

// Locks the whole file through its open file description (so that threads
// count as processes do): F_RDLCK, F_WRLCK or F_UNLCK, waiting while another
// holds a lock that conflicts. 0 or the errno; on a file system that keeps no
// locks the file counts as locked.
int lockfile(int fd, short type);

// Whether the file starts with the mark of a write in place that never
// finished; nothing, with errno set, when its first bytes cannot be read.
std::optional<bool> marked(int fd);

// What meeting a dead save's copy came to.
struct undone {
  bool found = false;     // a copy lay beside the file
  bool restored = false;  // the file held the mark and got its old content
  int error = 0;          // why the old content could not be put back
};

// With fd open for reading and writing and locked for writing, so that no
// save is alive: when a copy lies beside the file, puts the old content back
// if the file still holds the mark, and removes the copy once the file is
// whole (a copy of a save that did finish is just removed). A copy is never
// removed while it may be the only whole board.
undone undodeadsave(const place& at, int fd);

// Copies the file's content whole into a fresh ".NAME.rollback" beside it,
// synced before it takes that name, and with sync the directory after;
// 0 or the errno.
int makerollback(const place& at, int fd, bool sync);

// Puts the content of the copy back into the file, cut to the copy's length;
// 0 or the errno.
int putback(const place& at, int fd);

}  // namespace boards

#endif  // BOARD_ROLLBACK_H_
