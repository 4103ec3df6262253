#include "board/boardfile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "board/bytesources.h"
#include "board/fileplace.h"
#include "board/journal.h"
#include "board/savecalls.h"

namespace boards {

namespace {

using fault = loadresulttype::fault;

// Times a load reads a file that keeps changing while it is read, so that a
// load under a storm of saves still ends.
constexpr int mostreads = 32;

// What a save changes: the file's size, times or trailer.
struct filestate {
  struct stat status {};
  filetail tail;
};

bool sametime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool same(const filestate& a, const filestate& b) {
  return a.status.st_dev == b.status.st_dev &&
         a.status.st_ino == b.status.st_ino &&
         a.status.st_size == b.status.st_size &&
         sametime(a.status.st_mtim, b.status.st_mtim) &&
         sametime(a.status.st_ctim, b.status.st_ctim) && a.tail == b.tail;
}

// The file's state now; its errno when it cannot be looked at. A tail that
// ended early (ENODATA) belongs to a file that shrank: no error of its own.
int look(int fd, filestate& state) {
  if (savesystem.fstat(fd, &state.status) != 0) return errno;
  if (!S_ISREG(state.status.st_mode)) return 0;
  state.tail = readtail(fd, static_cast<std::uint64_t>(state.status.st_size));
  return state.tail.error == ENODATA ? 0 : state.tail.error;
}

// Reads a board from the length bytes of the file from start on.
loadresulttype readrange(int fd, std::uint64_t start, std::uint64_t length,
                         boardtype& board, const loadoptions& options) {
  // The layout is read in pieces through one buffer, never held whole.
  std::vector<unsigned char> buffer(boardpiecelength);
  int readerror = 0;
  loadresulttype result = decodeboard(filerange(fd, start, buffer, readerror),
                                      length, board, options);
  if (result.what == fault::readfailed) {
    result.error = readerror;
    result.reason = "the file held fewer bytes than its size says";
  }
  return result;
}

// Reads the board the file holds as it was seen: from its journal when its
// tail is a trailer and the bytes read match the trailer's checksum (then
// the read stands whatever changed meanwhile: certain), else from the front.
loadresulttype readonce(int fd, const filestate& state, boardtype& board,
                        const loadoptions& options, bool& certain) {
  const auto size = static_cast<std::uint64_t>(state.status.st_size);
  certain = false;
  if (const std::optional<journal> found = trailerin(state.tail, size)) {
    loadresulttype result = decodejournal(fd, *found, board, options, certain);
    if (certain || result.error != 0) return result;
  }
  loadresulttype result = readrange(fd, 0, size, board, options);
  // The tail that a save killed before its trailer was whole left after the
  // board is no part of the file's content.
  if (result.ok() && pendingjournal(state.tail, size) == result.needed) {
    result.found = result.needed;
  }
  return result;
}

}  // namespace

loadresulttype readboardfile(const char* path, boardtype& board,
                             const loadoptions& options) {
  // Non-blocking, so that opening a FIFO returns at once; it is rejected as
  // not a regular file.
  const descriptor file(savesystem.openat(
      AT_FDCWD, path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
  if (!file.valid()) return loadresulttype::failed(fault::cannotopen, errno);
  filestate before;
  if (const int error = look(file.get(), before)) {
    return loadresulttype::failed(fault::readfailed, error);
  }
  if (!S_ISREG(before.status.st_mode)) {
    return loadresulttype::failed(fault::notregular);
  }
  for (int reads = 1;; ++reads) {
    boardtype read;
    bool certain = false;
    loadresulttype result =
        readonce(file.get(), before, read, options, certain);
    filestate after;
    if (const int error = look(file.get(), after)) {
      return loadresulttype::failed(fault::readfailed, error);
    }
    if (certain || same(before, after)) {
      if (result.ok()) board = std::move(read);
      return result;
    }
    if (reads == mostreads) {
      loadresulttype changed = loadresulttype::failed(fault::readfailed);
      changed.reason = "the file changed " + std::to_string(mostreads) +
                       " times while it was read";
      return changed;
    }
    before = std::move(after);
  }
}

}  // namespace boards

std::int32_t boardtype::load(const char* path) {
  using boards::loadresulttype;
  const loadresulttype result = boards::readboardfile(path, *this);
  if (result.ok()) return 0;
  if (result.what == loadresulttype::fault::cannotopen) {
    std::fputs("Error opening load file.\n", stdout);
  } else {
    std::fputs("Error reading load file.\n", stdout);
  }
  return 1;
}
