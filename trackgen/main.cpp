// Builds the three-player board from the tables compiled into it and writes
// it as "3player.board". The exit status is 0 only when the file was written
// whole; it takes no arguments, and writes nothing when given any.

#include <algorithm>

#include "board/boardtype.h"
#include "tools/arguments.h"
#include "trackgen/threeplayer.h"

namespace {

constexpr const char* usage =
    "usage: trackgen\n"
    "Writes the three-player board as 3player.board in the current folder.\n";

// Copies each row's characters and puts the string's terminating 0 into the
// row's last byte.
template <typename Byte>
void copyrows(const std::string_view (&rows)[threeplayer::height],
              std::unique_ptr<Byte[]>* out) {
  for (std::int32_t r = 0; r < threeplayer::height; ++r) {
    std::copy(rows[r].begin(), rows[r].end(), out[r].get());
    out[r][threeplayer::width] = 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          tools::refusearguments(argc, argv, "trackgen", usage)) {
    return *status;
  }
  using namespace threeplayer;
  boardtype board(height, width, holecount, trackcount, paircount);
  copyrows(picture, board.picture.get());
  copyrows(colormap, board.colormap.get());
  for (std::int32_t i = 0; i < paircount; ++i) {
    std::copy_n(pairs[i], 2, board.pairs[i].get());
  }
  std::copy_n(trackcolor, trackcount, board.trackcolor.get());
  // The colormap digits become the color indices they spell.
  for (std::int32_t r = 0; r < height; ++r) {
    for (std::int32_t c = 0; c < width; ++c) board.colormap[r][c] -= '0';
  }
  std::copy_n(header, 4, board.header);
  board.makeholes();
  return board.save("3player.board") == 0 ? 0 : 1;
}
