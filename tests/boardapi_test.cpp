// The promises the board model makes to programs: a board with no problem
// saves, arrays it did not make are never read, copies equal their board.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/boardtext.h"
#include "sampleboard.h"

using boards::problemkind;

namespace {

bool refusedbysave(const boards::boardproblem& problem) {
  return problem.kind == problemkind::unfit ||
         problem.kind == problemkind::mismatch;
}

}  // namespace

// For random boards damaged now and then as a program might damage them,
// checkboard names a refusal exactly when the file refuses the board, every
// writer refuses it alike, and a copy is made exactly of a board that saves.
TEST(Boardapi, CheckboardFindsWhatTheSaveRefuses) {
  std::mt19937 random(23);
  const auto below = [&random](int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
  };
  const std::int32_t strays[] = {-1, 256, 300, -70000, 1 << 20};
  for (int run = 0; run < 400; ++run) {
    auto board = sampleboard(below(4) + 1, below(5) + 1, below(4) + 1,
                             below(3) + 1, below(3) + 1);
    auto other = sampleboard(2, 2, 2, 2, 2);
    const std::function<void()> damages[] = {
        [] {},
        [&] { board->finish.y = strays[below(5)]; },
        [&] { board->trackcolor[0] = strays[below(5)]; },
        [&] { board->tracks[0][0].x = strays[below(5)]; },
        [&] { board->paircount += 1; },
        [&] { std::swap(board->picture, other->picture); },
        [&] { std::swap(board->colormap[0], other->colormap[1]); },
        [&] { board->pairs[0].reset(); },
        [&] { board->tracks[0] = std::make_unique<holetype[]>(1); },
        [&] { board->trackcolor.reset(); }};
    damages[below(10)]();
    const bool refused = !boards::checkencodable(*board).ok();
    const auto problems = boards::checkboard(*board);
    EXPECT_EQ(std::any_of(problems.begin(), problems.end(), refusedbysave),
              refused)
        << run;
    EXPECT_EQ(boards::encodeboard(*board).empty(), refused);
    EXPECT_EQ(boards::writeboardtext(*board).empty(), refused);
    EXPECT_EQ(board->arraysmatch(),
              boards::checkencodable(*board).what !=
                  boards::saveresulttype::fault::mismatch);
    if (board->arraysmatch()) {
      const boardtype copy = boards::copyboard(*board);
      EXPECT_EQ(copy, *board);
      EXPECT_EQ(boards::encodeboard(copy), boards::encodeboard(*board));
    } else {
      EXPECT_THROW(boards::copyboard(*board), std::invalid_argument);
      EXPECT_EQ(*board, *board);
      EXPECT_NE(*sampleboard(1, 1, 1, 1, 1), *board);
    }
  }
}

TEST(Boardapi, ArraysTheBoardDidNotMakeAreNeverRead) {
  auto board = sampleboard(3, 4, 2, 2, 2);
  auto other = sampleboard(3, 4, 2, 2, 2);
  std::swap(board->picture[1], other->picture[1]);
  board->pairs[1].reset();
  EXPECT_TRUE(std::as_const(*board).picturerow(1).empty());
  EXPECT_EQ(std::as_const(*board).picturerow(0).size(), 4u);
  EXPECT_TRUE(board->pair(1).empty());
  const boards::saveresulttype refused = boards::checkencodable(*board);
  EXPECT_EQ(refused.describe(), "picture 1 is not an array the board made");
  const auto problems = boards::checkboard(*board);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].message, refused.describe());
  std::swap(board->picture[1], other->picture[1]);
  EXPECT_EQ(boards::checkencodable(*board).describe(),
            "pairs 1 is not an array the board made");
}

// Every value a board holds counts in its equality, terminator slots too.
TEST(Boardapi, EqualityNoticesEveryValue) {
  const auto board = sampleboard(2, 3, 2, 2, 2);
  const std::function<void(boardtype&)> changes[] = {
      [](boardtype& b) { b.header[3] = 1; },
      [](boardtype& b) { b.picture[1][3] = 'x'; },
      [](boardtype& b) { b.colormap[0][1] = 9; },
      [](boardtype& b) { b.pairs[1][0] = 9; },
      [](boardtype& b) { b.tracks[1][1].y = 9; },
      [](boardtype& b) { b.trackcolor[1] = 9; },
      [](boardtype& b) { b.finish.x = 1; },
      [](boardtype& b) { b.initialize(2, 3, 2, 2, 3); }};
  for (const auto& change : changes) {
    boardtype copy = boards::copyboard(*board);
    EXPECT_EQ(copy, *board);
    change(copy);
    EXPECT_NE(copy, *board);
  }
}

TEST(Boardapi, KindsHaveDistinctLowercaseNames) {
  std::set<std::string> names;
  for (int kind = 0; kind <= static_cast<int>(problemkind::unlike); ++kind) {
    const std::string name = boards::kindname(static_cast<problemkind>(kind));
    EXPECT_TRUE(std::all_of(name.begin(), name.end(), ::islower)) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(problemkind::unlike) + 1);
}
