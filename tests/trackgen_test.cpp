#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

#include "board/boardfile.h"
#include "board/int32.h"
#include "tests/scratch.h"

using namespace boards;

namespace {

constexpr std::size_t threeplayerlength = 2119;
constexpr std::size_t picturestart = 36;
constexpr std::size_t rowlength = 56;
constexpr std::size_t colormapstart = picturestart + 12 * rowlength;
constexpr std::size_t pairstart = colormapstart + 12 * rowlength;
constexpr std::size_t trackstart = pairstart + 14;
constexpr std::size_t tracklength = 241;

// Runs trackgen in a fresh folder and keeps what it wrote.
class Trackgen : public testing::Test {
 protected:
  void SetUp() override {
    const runresult run = runin(TRACKGEN, dir_);
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.output, "");
    file_ = readbytes(dir_ / "3player.board");
    ASSERT_EQ(file_.size(), threeplayerlength);
  }

  using cell = std::pair<std::int32_t, std::int32_t>;  // row, column
  static cell at(const holetype& hole) { return {hole.y, hole.x}; }

  scratchdir dir_;
  bytes file_;
};

}  // namespace

TEST_F(Trackgen, HeadAndSectionsHoldTheThreePlayerBoard) {
  const std::int32_t head[] = {4, 1, 5, 1, 55, 12, 120, 3, 7};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(getint32(file_.data() + 4 * i), head[i]) << "head value " << i;
  }
  for (std::size_t r = 0; r < 12; ++r) {
    EXPECT_EQ(file_[picturestart + r * rowlength + 55], 0) << "picture " << r;
    EXPECT_EQ(file_[colormapstart + r * rowlength + 55], 0) << "colormap " << r;
    for (std::size_t c = 0; c < 55; ++c) {
      EXPECT_LE(file_[colormapstart + r * rowlength + c], 3);
    }
  }
  const bytes pairs(file_.begin() + pairstart, file_.begin() + trackstart);
  EXPECT_EQ(pairs, (bytes{0, 7, 0, 1, 0, 4, 0, 2, 6, 1, 3, 4, 5, 2}));
  for (std::size_t t = 0; t < 3; ++t) {
    EXPECT_EQ(file_[trackstart + (t + 1) * tracklength - 1], 4 + t);
  }
  EXPECT_EQ(file_[2117], 44);
  EXPECT_EQ(file_[2118], 5);
}

TEST_F(Trackgen, PictureRowsCarryTheirLabels) {
  const auto row = [this](std::size_t r) {
    return std::string(file_.begin() + picturestart + r * rowlength,
                       file_.begin() + picturestart + r * rowlength + 55);
  };
  EXPECT_EQ(row(3), "     5     10    15    20    25    30    35    40 .    ");
  EXPECT_EQ(row(5), "  . .|.....|.....|.....|.....|.....|.....|  .    45----");
  EXPECT_EQ(row(7), ".. . S     95   100   105   110   115   120       .    ");
  EXPECT_EQ(row(11), "     85    80    75    70    65    60    55    50      ");
}

TEST_F(Trackgen, EveryHoleStandsOnItsOwnDotOfItsTrackColor) {
  boardtype board;
  ASSERT_TRUE(decodeboard(file_, board).ok());
  std::set<cell> dots;
  for (std::int32_t r = 0; r < board.height; ++r) {
    for (std::int32_t c = 0; c < board.width; ++c) {
      if (board.picture[r][c] == '.') dots.insert({r, c});
    }
  }
  EXPECT_EQ(dots.size(), 361u);

  std::set<cell> holes;
  for (std::int32_t t = 0; t < 3; ++t) {
    for (std::int32_t i = 0; i < 120; ++i) {
      const cell c = at(board.tracks[t][i]);
      SCOPED_TRACE(testing::Message() << "track " << t << " hole " << i);
      EXPECT_TRUE(dots.contains(c));
      EXPECT_TRUE(holes.insert(c).second) << "a second hole on this cell";
      EXPECT_EQ(board.colormap[c.first][c.second], t + 1);
    }
  }
  const cell finish = at(board.finish);
  EXPECT_TRUE(holes.insert(finish).second);
  EXPECT_EQ(holes, dots);
  EXPECT_EQ(board.colormap[finish.first][finish.second], 3);
}

TEST_F(Trackgen, StraightsAndTurnsMeetAtTheirSeams) {
  boardtype board;
  ASSERT_TRUE(decodeboard(file_, board).ok());
  const auto hole = [&](int t, int i) { return at(board.tracks[t][i]); };
  EXPECT_EQ(hole(0, 0), cell(0, 0));
  EXPECT_EQ(hole(0, 119), cell(4, 40));
  EXPECT_EQ(hole(1, 119), cell(6, 40));
  EXPECT_EQ(hole(2, 119), cell(5, 40));
  const std::int32_t outbound[] = {0, 2, 1};
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(hole(t, 4), cell(outbound[t], 4));
    EXPECT_EQ(hole(t, 5), cell(outbound[t], 6));
    EXPECT_EQ(hole(t, 39), cell(outbound[t], 46));
    EXPECT_EQ(board.picture[outbound[t]][5], '|');
  }
  EXPECT_EQ(hole(0, 40), cell(0, 48));
  EXPECT_EQ(hole(1, 46), cell(7, 50));
  EXPECT_EQ(hole(2, 49), cell(9, 48));
  EXPECT_EQ(hole(0, 50), cell(10, 46));
  EXPECT_EQ(hole(1, 84), cell(8, 6));
  EXPECT_EQ(hole(2, 87), cell(7, 1));
  EXPECT_EQ(hole(0, 89), cell(4, 4));
  EXPECT_EQ(hole(1, 90), cell(6, 6));
}

TEST_F(Trackgen, OutputIsStableAndPassesThroughTrackcopy) {
  std::filesystem::rename(dir_ / "3player.board", dir_ / "default.board");
  ASSERT_EQ(runin(TRACKCOPY, dir_).status, 0);
  EXPECT_EQ(readbytes(dir_ / "test.board"), file_);
  ASSERT_EQ(runin(TRACKGEN, dir_).status, 0);
  EXPECT_EQ(readbytes(dir_ / "3player.board"), file_);
}

TEST_F(Trackgen, ReportsAnOutputThatCannotBeWritten) {
  expectunwritable(TRACKGEN, dir_, "3player.board");
}
