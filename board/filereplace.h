#ifndef BOARD_FILEREPLACE_H_
#define BOARD_FILEREPLACE_H_

// Putting new content in the place of a file without ever losing the old:
// the machinery under writeboardfile. The library's own; not installed.

#include <cstdint>
#include <functional>

#include "board/boardfile.h"

namespace boards {

// Hands the new content to the sink in order; whether the sink took it all.
using contentmaker = std::function<bool(const bytesink& sink)>;

// Makes the file at path hold the length bytes that make gives. A regular
// file with one link is replaced by a fresh file renamed over it; anything
// else is written in place, as the README tells case by case.
saveresulttype replacefile(const char* path, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options);

}  // namespace boards

#endif  // BOARD_FILEREPLACE_H_
