#ifndef BOARD_SAVESTEPS_H_
#define BOARD_SAVESTEPS_H_

// Steps that the ways of saving share: feeding the content to a file and
// holding it to its length, and the file's limits, blocks and mode. The
// library's own; not installed.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <span>

#include "board/boardfile.h"

namespace boards {

// Takes a piece of content: 0, or the errno of the write that failed.
using piecewriter = std::function<int(std::span<const unsigned char>)>;

// Hands the content that make makes to write and holds the maker to its
// promise: fails, saying what happened, when a write fails, when the maker
// stops or throws, or when it hands over more or fewer than length bytes.
// fed counts the bytes that reached write.
saveresulttype feedcontent(const contentmaker& make, std::uint64_t length,
                           const piecewriter& write, std::uint64_t& fed);

// EFBIG when bytes up to offset + length would pass the file size limit or
// what a file offset holds, so that no write raises SIGXFSZ; else 0.
int checklimit(std::uint64_t offset, std::uint64_t length);

// Reserves the blocks of length bytes from offset (and checks the limit), so
// that neither a full disk nor the file size limit can stop the write part
// way; 0 or the errno. Where the file system cannot reserve, the write goes
// ahead unreserved.
int reserve(int fd, std::uint64_t offset, std::uint64_t length);

// Puts the permission bits back after a write, which clears set-user-ID and
// set-group-ID for a process without CAP_FSETID; 0 or the errno.
int keepmode(int fd, mode_t mode);

// Syncs the directory, so that a name made or changed in it outlives a
// power cut; 0 or the errno.
int syncdirectory(int dir);

}  // namespace boards

#endif  // BOARD_SAVESTEPS_H_
