#ifndef BOARD_STREAMWRITE_H_
#define BOARD_STREAMWRITE_H_

// Saves to what is not a regular file to be replaced: a device or FIFO, and
// a stream the shell opened (/dev/stdout, /dev/fd/N through /proc/self/fd),
// all written as they are open. The library's own; not installed.

#include <sys/stat.h>

#include <cstdint>

#include "board/boardfile.h"
#include "board/fileplace.h"

namespace boards {

// Writes the content into an open file that is not a regular file (status
// says what it is), from where it stands.
saveresulttype writestreamed(int fd, const struct stat& status,
                             std::uint64_t length, const contentmaker& make,
                             const saveoptions& options);

// Writes the content to a name in /proc: a descriptor of the process's own
// through the same open file, at its offset and in its mode, so that ">>"
// appends and a pipe receives the content; any other magic link opened anew.
saveresulttype writestream(const place& at, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options);

}  // namespace boards

#endif  // BOARD_STREAMWRITE_H_
