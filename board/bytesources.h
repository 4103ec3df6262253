#ifndef BOARD_BYTESOURCES_H_
#define BOARD_BYTESOURCES_H_

// Sources of bytes for the board file's decoder and the text reader: bytes
// in memory, and a file read through a buffer. The library's and its tools'
// own; not installed.

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <vector>

#include "board/boardfile.h"
#include "board/savecalls.h"

namespace boards {

// Hands out the bytes of rest front to back; rest is what is left of them.
inline bytesource memorysource(std::span<const unsigned char>& rest) {
  return [&rest](std::size_t most) {
    const std::span<const unsigned char> view =
        rest.first(std::min(most, rest.size()));
    rest = rest.subspan(view.size());
    return view;
  };
}

// Reads the open file fd through buffer, a stream or a pipe as well; a failed
// read hands out nothing and leaves its errno in error.
inline bytesource filesource(int fd, std::vector<unsigned char>& buffer,
                             int& error) {
  return [fd, &buffer, &error](std::size_t most) {
    ssize_t got;
    do {
      got = ::read(fd, buffer.data(), std::min(most, buffer.size()));
    } while (got < 0 && errno == EINTR);
    if (got < 0) error = errno;
    return std::span<const unsigned char>(buffer.data(),
                                          got > 0 ? std::size_t(got) : 0);
  };
}

// Reads the regular file fd from offset start on through buffer, leaving the
// file's own offset alone; a failed read hands out nothing and leaves its
// errno in error.
inline bytesource filerange(int fd, std::uint64_t start,
                            std::vector<unsigned char>& buffer, int& error) {
  return [fd, at = start, &buffer, &error](std::size_t most) mutable {
    ssize_t got;
    do {
      got = savesystem.pread(fd, buffer.data(), std::min(most, buffer.size()),
                             static_cast<off_t>(at));
    } while (got < 0 && errno == EINTR);
    if (got < 0) error = errno;
    const std::size_t taken = got > 0 ? static_cast<std::size_t>(got) : 0;
    at += taken;
    return std::span<const unsigned char>(buffer.data(), taken);
  };
}

}  // namespace boards

#endif  // BOARD_BYTESOURCES_H_
