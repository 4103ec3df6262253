#include "trackcheck/checks.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

std::string cellname(std::int32_t row, std::int32_t column) {
  std::string name = "(";
  name += std::to_string(row) + ", " + std::to_string(column) + ")";
  return name;
}

std::string holename(const boardtype& board, std::int64_t index) {
  if (index == std::int64_t{board.trackcount} * board.holecount) {
    return "finish";
  }
  return "track " + std::to_string(index / board.holecount) + " hole " +
         std::to_string(index % board.holecount);
}

// Checks every hole, the finish last, against the picture and the others.
// A hole is known by its index along all tracks; the finish comes after them.
void checkholes(const boardtype& board, problemlisttype& problems) {
  const std::int64_t holes = std::int64_t{board.trackcount} * board.holecount;
  std::unordered_map<std::int64_t, std::int64_t> owners;
  for (std::int64_t index = 0; index <= holes; ++index) {
    const holetype& hole =
        index == holes
            ? board.finish
            : board.tracks[index / board.holecount][index % board.holecount];
    // Described only when there is a problem to report.
    const auto where = [&] {
      return holename(board, index) + " at " + cellname(hole.y, hole.x) + ": ";
    };
    if (hole.y < 0 || hole.y >= board.height || hole.x < 0 ||
        hole.x >= board.width) {
      problems.add(where() + "outside the " + std::to_string(board.width) +
                   "x" + std::to_string(board.height) + " picture");
      continue;
    }
    if (board.picture[hole.y][hole.x] == ' ') {
      problems.add(where() + "on a blank cell");
    }
    const std::int64_t cell = std::int64_t{hole.y} * board.width + hole.x;
    const auto [owner, first] = owners.try_emplace(cell, index);
    if (!first) {
      problems.add(where() + "on the same cell as " +
                   holename(board, owner->second));
    }
  }
}

std::string notapair(std::int32_t value, std::int32_t paircount) {
  return "color index " + std::to_string(value) +
         " is not below the pair count " + std::to_string(paircount);
}

void checkcolors(const boardtype& board, problemlisttype& problems) {
  for (std::int32_t r = 0; r < board.height; ++r) {
    for (std::int32_t c = 0; c < board.width; ++c) {
      const std::int32_t value = board.colormap[r][c];
      if (value >= board.paircount) {
        problems.add("colormap at " + cellname(r, c) + ": " +
                     notapair(value, board.paircount));
      }
    }
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    const std::int32_t value = board.trackcolor[t];
    if (value < 0 || value >= board.paircount) {
      problems.add("track " + std::to_string(t) +
                   " color: " + notapair(value, board.paircount));
    }
  }
}

}  // namespace

void problemlisttype::add(std::string line) {
  ++count;
  if (lines.size() < limit) lines.push_back(std::move(line));
}

problemlisttype findproblems(const boardtype& board, std::size_t limit) {
  problemlisttype problems(limit);
  checkholes(board, problems);
  checkcolors(board, problems);
  return problems;
}
