// Where the parts of a board stand in the text it was read from, and the
// places of what is said about the board built.

#include <algorithm>
#include <iterator>
#include <utility>

#include "board/boardtext.h"

namespace boards {

textplace textplaces::hole(std::int32_t track, std::int32_t hole) const {
  if (track < 0 || static_cast<std::size_t>(track) >= holeitems.size()) {
    return {};
  }
  const std::vector<holeitem>& items = holeitems[track];
  const auto after =
      std::upper_bound(items.begin(), items.end(), hole,
                       [](std::int32_t hole, const holeitem& item) {
                         return hole < item.first;
                       });
  if (hole < 0 || after == items.begin()) return {};
  return std::prev(after)->place;
}

textplace textplaces::colorcell(std::int32_t row, std::int32_t column) const {
  return colorcell(row, column, -1);
}

textplace textplaces::colorcell(std::int32_t row, std::int32_t column,
                                std::int32_t value) const {
  if (!fills.empty()) {
    const fillplace* covering = nullptr;
    for (auto fill = fills.rbegin(); fill != fills.rend(); ++fill) {
      if (row < fill->top || row > fill->bottom || column < fill->left ||
          column > fill->right) {
        continue;
      }
      if (value < 0 ? fill->value >= paircount : fill->value == value) {
        return fill->place;
      }
      if (covering == nullptr) covering = &*fill;
    }
    return covering != nullptr ? covering->place : colormap;
  }
  if (row < 0 || static_cast<std::size_t>(row) >= colormaprows.size()) {
    return {};
  }
  const textplace bar = colormaprows[row];
  if (static_cast<std::size_t>(row) < colormapdigits.size() &&
      colormapdigits[row]) {
    return {bar.line, bar.column + 1 + static_cast<std::uint64_t>(column)};
  }
  const auto cell = std::lower_bound(
      colormapcells.begin(), colormapcells.end(), std::pair(row, column),
      [](const cellplace& cell, std::pair<std::int32_t, std::int32_t> at) {
        return std::pair(cell.row, cell.column) < at;
      });
  if (cell != colormapcells.end() && cell->row == row &&
      cell->column == column) {
    return cell->place;
  }
  return bar;
}

textplace textplaces::of(const boardproblem& problem) const {
  switch (problem.kind) {
    case problemkind::colorindex:
      return colorcell(problem.row, problem.column);
    case problemkind::labelcolor:
      return colorcell(problem.row, problem.column, problem.value);
    case problemkind::trackcolor:
      return problem.track >= 0 &&
                     static_cast<std::size_t>(problem.track) < tracks.size()
                 ? tracks[problem.track]
                 : textplace();
    default:
      return problem.track < 0 ? finish : hole(problem.track, problem.hole);
  }
}

textplace placefinder::operator()(const boardproblem& problem) {
  if (problem.track < 0 || problem.hole < 0 ||
      static_cast<std::size_t>(problem.track) >= places_.holeitems.size()) {
    return places_.of(problem);
  }
  const auto& items = places_.holeitems[problem.track];
  if (problem.track != track_ || item_ >= items.size() ||
      items[item_].first > problem.hole) {
    track_ = problem.track;  // a track begun, or an earlier hole: anew
    item_ = 0;
  }
  while (item_ + 1 < items.size() && items[item_ + 1].first <= problem.hole) {
    ++item_;
  }
  if (item_ >= items.size() || items[item_].first > problem.hole) return {};
  return items[item_].place;
}

}  // namespace boards
