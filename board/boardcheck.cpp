#include "board/boardcheck.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <utility>

namespace boards {
namespace {

std::string cellname(std::int32_t row, std::int32_t column) {
  return "(" + std::to_string(row) + ", " + std::to_string(column) + ")";
}

// A hole is known by its index along all tracks; the finish comes after them.
struct holeindex {
  std::int32_t track;  // -1 for the finish
  std::int32_t hole;
};

std::string holename(holeindex index) {
  if (index.track < 0) return "finish";
  return "track " + std::to_string(index.track) + " hole " +
         std::to_string(index.hole);
}

// Checks each hole, the finish last, against the picture and the others.
class holechecker {
 public:
  holechecker(const boardtype& board, const problemsink& report)
      : board_(board), size_(board.arraysizes()), report_(report) {}

  void check(const holetype& hole, holeindex index) {
    if (hole.y < 0 || hole.y >= size_.height || hole.x < 0 ||
        hole.x >= size_.width) {
      add(problemkind::outside, hole, index,
          "outside the " + std::to_string(size_.width) + "x" +
              std::to_string(size_.height) + " picture");
      return;
    }
    if (board_.picturerow(hole.y)[hole.x] == ' ') {
      add(problemkind::blank, hole, index, "on a blank cell");
    }
    const std::int64_t cell = std::int64_t{hole.y} * size_.width + hole.x;
    const auto [owner, first] = owners_.try_emplace(cell, index);
    if (!first) {
      add(problemkind::shared, hole, index,
          "on the same cell as " + holename(owner->second));
    }
  }

 private:
  void add(problemkind kind, const holetype& hole, holeindex index,
           const std::string& what) {
    report_(
        {kind, index.track, index.track < 0 ? -1 : index.hole, hole.y, hole.x,
         holename(index) + " at " + cellname(hole.y, hole.x) + ": " + what});
  }

  const boardtype& board_;
  const boardtype::sizestype size_;
  const problemsink& report_;
  std::unordered_map<std::int64_t, holeindex> owners_;
};

std::string notapair(std::int32_t value, std::int32_t paircount) {
  return "color index " + std::to_string(value) +
         " is not below the pair count " + std::to_string(paircount);
}

void checkcolors(const boardtype& board, const problemsink& report) {
  const boardtype::sizestype size = board.arraysizes();
  for (std::int32_t r = 0; r < size.height; ++r) {
    const std::span<const unsigned char> colors = board.colorrow(r);
    for (std::int32_t c = 0; c < size.width; ++c) {
      if (colors[c] >= size.paircount) {
        report({problemkind::colorindex, -1, -1, r, c,
                "colormap at " + cellname(r, c) + ": " +
                    notapair(colors[c], size.paircount)});
      }
    }
  }
  for (std::int32_t t = 0; t < size.trackcount; ++t) {
    const std::int32_t value = board.trackcolor[t];
    if (value < 0 || value >= size.paircount) {
      report({problemkind::trackcolor, t, -1, -1, -1,
              "track " + std::to_string(t) +
                  " color: " + notapair(value, size.paircount)});
    }
  }
}

// Cells from one hole to another, the farther of across and down.
std::int64_t distance(const holetype& a, const holetype& b) {
  return std::max(std::abs(std::int64_t{a.x} - b.x),
                  std::abs(std::int64_t{a.y} - b.y));
}

void checkstep(const holetype& before, const holetype& hole, holeindex index,
               const checkoptions& options, const problemsink& report) {
  const std::int64_t step = distance(before, hole);
  if (step <= options.maxstep) return;
  report({problemkind::longstep, index.track, index.hole, hole.y, hole.x,
          holename(index) + " at " + cellname(hole.y, hole.x) + ": " +
              std::to_string(step) + (step == 1 ? " cell" : " cells") +
              " from hole " + std::to_string(index.hole - 1) + " at " +
              cellname(before.y, before.x)});
}

}  // namespace

void checkboard(const boardtype& board, const problemsink& report,
                const checkoptions& options) {
  holechecker holes(board, report);
  for (std::int32_t t = 0; t < board.arraysizes().trackcount; ++t) {
    const std::span<const holetype> track = board.trackholes(t);
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(track.size()); ++i) {
      holes.check(track[i], {t, i});
      if (i > 0) checkstep(track[i - 1], track[i], {t, i}, options, report);
    }
  }
  holes.check(board.finish, {-1, -1});
  checkcolors(board, report);
}

std::vector<boardproblem> checkboard(const boardtype& board,
                                     const checkoptions& options) {
  std::vector<boardproblem> problems;
  checkboard(
      board,
      [&problems](boardproblem problem) {
        problems.push_back(std::move(problem));
      },
      options);
  return problems;
}

}  // namespace boards
