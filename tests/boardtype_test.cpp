#include "board/boardtype.h"

#include <gtest/gtest.h>

#include <type_traits>

static_assert(!std::is_copy_constructible_v<boardtype>);
static_assert(!std::is_copy_assignable_v<boardtype>);

TEST(Holetype, SetTakesTheRowFirst) {
  holetype hole;
  EXPECT_EQ(hole.x, 0);
  EXPECT_EQ(hole.y, 0);
  hole.set(5, 44);
  EXPECT_EQ(hole.x, 44);
  EXPECT_EQ(hole.y, 5);
}

TEST(Boardtype, DefaultIsEmptyWithZeroHeader) {
  const boardtype board;
  for (const std::int32_t value : board.header) EXPECT_EQ(value, 0);
  EXPECT_EQ(board.width, 0);
  EXPECT_EQ(board.height, 0);
  EXPECT_EQ(board.holecount, 0);
  EXPECT_EQ(board.trackcount, 0);
  EXPECT_EQ(board.paircount, 0);
  EXPECT_EQ(board.picture, nullptr);
  EXPECT_EQ(board.tracks, nullptr);
}

// Checks the sizes and that every array holds its initial values.
void expectfresh(const boardtype& board, std::int32_t h, std::int32_t w,
                 std::int32_t n, std::int32_t t, std::int32_t p) {
  EXPECT_EQ(board.height, h);
  EXPECT_EQ(board.width, w);
  EXPECT_EQ(board.holecount, n);
  EXPECT_EQ(board.trackcount, t);
  EXPECT_EQ(board.paircount, p);
  for (std::int32_t r = 0; r < h; ++r) {
    for (std::int32_t c = 0; c <= w; ++c) {
      EXPECT_EQ(board.picture[r][c], ' ');
      EXPECT_EQ(board.colormap[r][c], 0);
    }
  }
  for (std::int32_t i = 0; i < p; ++i) {
    EXPECT_EQ(board.pairs[i][0], 0);
    EXPECT_EQ(board.pairs[i][1], 0);
  }
  for (std::int32_t k = 0; k < t; ++k) {
    EXPECT_EQ(board.trackcolor[k], 0);
    for (std::int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(board.tracks[k][i].x, 0);
      EXPECT_EQ(board.tracks[k][i].y, 0);
    }
  }
}

TEST(Boardtype, SizingGivesEveryByteAValue) {
  expectfresh(boardtype(3, 4, 5, 2, 3), 3, 4, 5, 2, 3);
  expectfresh(boardtype(0, 7, 0, 0, 0), 0, 7, 0, 0, 0);
  expectfresh(boardtype(2, 0, 3, 1, 0), 2, 0, 3, 1, 0);
}

TEST(Boardtype, InitializeResizesAFilledBoard) {
  boardtype board(2, 2, 2, 2, 2);
  board.picture[0][0] = '.';
  board.tracks[1][1].set(3, 4);
  board.trackcolor[0] = 9;
  board.initialize(4, 1, 3, 3, 1);
  expectfresh(board, 4, 1, 3, 3, 1);
}
