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
  const boards::loadresulttype result = boards::decodeboard(input, board);
  if (!result.ok()) {
    // A rejected input leaves the board untouched.
    if (board.height != 0 || board.trackcount != 0) std::abort();
    return 0;
  }
  // Encode it again, comparing each piece with the layout's next bytes.
  if (result.needed > size) std::abort();
  std::span<const unsigned char> layout = input.first(result.needed);
  const bool same = boards::encodeboard(
      board, [&layout](std::span<const unsigned char> piece) {
        if (piece.size() > layout.size() ||
            !std::equal(piece.begin(), piece.end(), layout.begin())) {
          return false;
        }
        layout = layout.subspan(piece.size());
        return true;
      });
  if (!same || !layout.empty()) std::abort();
  return 0;
}
