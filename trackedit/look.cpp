#include "trackedit/look.h"

#include <algorithm>

#include "board/boardlook.h"

namespace trackedit {

std::int32_t holeon(const document& doc, celltype cell) {
  if (!doc.inside(cell)) return boards::nohole;
  if (doc.finish() == cell) return boards::finishhole;
  const auto owners = doc.tracksat(cell);
  return owners.empty() ? boards::nohole
                        : *std::max_element(owners.begin(), owners.end());
}

boardtype viewboard(const document& doc, celltype first, std::int32_t rows,
                    std::int32_t columns) {
  rows = std::clamp(doc.height() - first.row, 0, rows);
  columns = std::clamp(doc.width() - first.column, 0, columns);
  const auto& tracks = doc.tracks();
  const auto& pairs = doc.pairs();
  boardtype view(rows, columns, 0, static_cast<std::int32_t>(tracks.size()),
                 static_cast<std::int32_t>(pairs.size()));
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      const celltype cell{first.row + r, first.column + c};
      view.picture[r][c] = doc.character(cell);
      view.colormap[r][c] = doc.color(cell);
    }
  }
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    view.trackcolor[t] = tracks[t].color;
  }
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    view.pairs[i][0] = pairs[i][0];
    view.pairs[i][1] = pairs[i][1];
  }
  return view;
}

std::vector<std::int32_t> holenumbers(const document& doc, std::int32_t track,
                                      celltype first, std::int32_t rows,
                                      std::int32_t columns) {
  std::vector<std::int32_t> numbers(std::size_t(rows) * columns, -1);
  const auto& holes = doc.tracks()[track].holes;
  for (std::size_t i = 0; i < holes.size(); ++i) {
    const std::int32_t r = holes[i].row - first.row;
    const std::int32_t c = holes[i].column - first.column;
    if (r >= 0 && r < rows && c >= 0 && c < columns) {
      numbers[std::size_t(r) * columns + c] = static_cast<std::int32_t>(i);
    }
  }
  return numbers;
}

}  // namespace trackedit
