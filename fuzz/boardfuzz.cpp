// The fuzz entry point over the board decoder. Every input must either be
// rejected with a reason, or decode to a board that encodes back to exactly
// the bytes of its layout; anything else aborts.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "board/boardfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const unsigned char> input(data, size);
  boardtype board;
  const loadresulttype result = decodeboard(input, board);
  if (!result.ok()) {
    // A rejected input leaves the board untouched.
    if (board.height != 0 || board.trackcount != 0) std::abort();
    return 0;
  }
  if (result.needed > size) std::abort();
  const auto again = encodeboard(board);
  const auto layout = input.first(result.needed);
  if (!std::equal(again.begin(), again.end(), layout.begin(), layout.end())) {
    std::abort();
  }
  return 0;
}
