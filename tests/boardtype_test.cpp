#include "board/boardtype.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "board/boardfile.h"

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

TEST(Boardtype, AFailedInitializeLeavesTheBoardAsItWas) {
  boardtype board(2, 4, 2, 1, 1);
  board.picture[1][2] = '#';
  board.tracks[0][1].set(1, 2);
  const std::vector<unsigned char> before = boards::encodeboard(board);
  EXPECT_THROW(board.initialize(3, 5, 2, -1, 1), std::invalid_argument);
  EXPECT_EQ(boards::encodeboard(board), before);
#ifndef BOARDS_SANITIZE
  // Memory running out part way, in a child whose address space is capped.
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit cap = {1 << 30, 1 << 30};
    ::setrlimit(RLIMIT_AS, &cap);
    try {
      board.initialize(4, 1 << 20, 1 << 27, 9, 1);
    } catch (const std::bad_alloc&) {
      std::_Exit(boards::encodeboard(board) == before ? 0 : 1);
    }
    std::_Exit(2);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

TEST(Boardtype, AMovedFromBoardIsEmpty) {
  boardtype board(2, 3, 4, 2, 1);
  board.header[0] = 7;
  board.finish.set(1, 1);
  boardtype taken = std::move(board);
  EXPECT_EQ(taken.header[0], 7);
  EXPECT_EQ(taken.trackholes(1).size(), 4u);
  EXPECT_EQ(boards::encodeboard(board), std::vector<unsigned char>(38, 0));
  board = std::move(taken);
  EXPECT_EQ(std::as_const(board).picturerow(1), "   ");
  EXPECT_EQ(boards::encodeboard(taken).size(), 38u);
}

TEST(Boardtype, ViewsFollowTheArraysNotSizesChangedByHand) {
  boardtype board(2, 3, 4, 2, 1);
  board.picturerow(1)[2] = '.';
  board.colorrow(0)[1] = 6;
  board.trackholes(1)[3].set(1, 2);
  board.pair(0)[1] = 7;
  EXPECT_EQ(board.picture[1][2], '.');
  EXPECT_EQ(board.colormap[0][1], 6);
  EXPECT_EQ(board.tracks[1][3].x, 2);
  EXPECT_EQ(board.pairs[0][1], 7);
  const boardtype& view = board;
  EXPECT_TRUE(view.picturerow(2).empty());
  EXPECT_TRUE(view.trackholes(-1).empty());
  EXPECT_TRUE(view.pair(1).empty());
  board.width = 9;
  board.holecount = 5;
  EXPECT_FALSE(board.arraysmatch());
  EXPECT_EQ(view.picturerow(0).size(), 3u);
  EXPECT_EQ(view.trackholes(0).size(), 4u);
}
