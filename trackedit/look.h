#ifndef TRACKEDIT_LOOK_H_
#define TRACKEDIT_LOOK_H_

// The editor's board seen through the library's looks (board/boardlook.h):
// the model is not a boardtype, so the cells on the screen are copied into
// a small board of their own, and the hole on each cell comes from the
// model's index rather than from a holemap of the whole board.

#include <cstdint>
#include <optional>
#include <vector>

#include "board/boardlook.h"
#include "board/boardtype.h"
#include "trackedit/model.h"

namespace trackedit {

// What stands on a cell, as boards::holemap says it: the finish, else the
// latest track with a hole there, else boards::nohole.
std::int32_t holeon(const document& doc, celltype cell);

// The rows x columns cells from first (cut to the picture) as a board, with
// every pair and every track's color and no holes: the library's
// lookofcell, paircolors and finishcolors apply to it as to the document.
boardtype viewboard(const document& doc, celltype first, std::int32_t rows,
                    std::int32_t columns);

// The number of the track's hole on each of the rows x columns cells from
// first, row by row; -1 where the track has none. The last hole wins.
std::vector<std::int32_t> holenumbers(const document& doc, std::int32_t track,
                                      celltype first, std::int32_t rows,
                                      std::int32_t columns);

// Hands draw(row, column, look, colors) every cell of the rows x columns
// from first that is on the picture, row and column counted from first;
// colors is none where the cell's index has no pair.
template <class drawer>
void eachcell(const document& doc, celltype first, std::int32_t rows,
              std::int32_t columns, drawer&& draw) {
  const boardtype view = viewboard(doc, first, rows, columns);
  for (std::int32_t r = 0; r < view.height; ++r) {
    for (std::int32_t c = 0; c < view.width; ++c) {
      const boards::celllook look = boards::lookofcell(
          view, r, c, holeon(doc, {first.row + r, first.column + c}));
      const std::optional<boards::colorpair> colors =
          look.finish() ? boards::finishcolors(view, look.pair)
                        : boards::paircolors(view, look.pair);
      draw(r, c, look, colors);
    }
  }
}

}  // namespace trackedit

#endif  // TRACKEDIT_LOOK_H_
