#include "board/boardlook.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>

#include "tests/sampleboard.h"

using namespace boards;

TEST(Terminalrgb, CubeDecodesBackToItsNumbersAndGraysRise) {
  const std::string levels = {0,         95,        char(135),
                              char(175), char(215), char(255)};
  const auto step = [&](unsigned char v) {
    return static_cast<int>(levels.find(static_cast<char>(v)));
  };
  for (int color = 16; color < 232; ++color) {
    const rgbtype rgb = terminalrgb(static_cast<unsigned char>(color));
    EXPECT_EQ(16 + 36 * step(rgb.red) + 6 * step(rgb.green) + step(rgb.blue),
              color);
  }
  EXPECT_EQ(terminalrgb(232).green, 8);
  EXPECT_EQ(terminalrgb(255).blue, 238);
}

TEST(Finishcolors, StandOutOnEveryBackground) {
  auto board = sampleboard(1, 1, 0, 0, 1);
  for (int background = 0; background < 256; ++background) {
    board->pairs[0][1] = static_cast<unsigned char>(background);
    const rgbtype a = terminalrgb(finishcolors(*board, 0)[1]);
    const rgbtype b = terminalrgb(static_cast<unsigned char>(background));
    const int square = (a.red - b.red) * (a.red - b.red) +
                       (a.green - b.green) * (a.green - b.green) +
                       (a.blue - b.blue) * (a.blue - b.blue);
    EXPECT_GT(square, 150 * 150) << "background " << background;
  }
}

// For random boards, holes off the picture included, the map marks exactly
// the cells where holes stand, the finish over any hole, and a hole's cell
// shows its track's glyph in its track's color.
TEST(Holemap, MarksTheCellsOfHolesOnThePicture) {
  std::mt19937 random(15);
  for (int round = 0; round < 50; ++round) {
    const int h = random() % 6, w = random() % 6, t = random() % 40 + 1;
    auto board = sampleboard(h, w, random() % 4, t, 3);
    std::set<std::pair<int, int>> holes;
    const auto place = [&](holetype& hole) {
      hole.set(random() % 8 - 1, random() % 8 - 1);
      if (hole.y >= 0 && hole.y < h && hole.x >= 0 && hole.x < w) {
        holes.insert({hole.y, hole.x});
      }
    };
    for (int k = 0; k < t; ++k) {
      for (int i = 0; i < board->holecount; ++i) place(board->tracks[k][i]);
    }
    place(board->finish);
    const holemap map(*board);
    for (int r = -1; r <= h; ++r) {
      for (int c = -1; c <= w; ++c) {
        const std::int32_t hole = map.at(r, c);
        EXPECT_EQ(hole != nohole, holes.count({r, c}) == 1);
        const bool finish = board->finish.y == r && board->finish.x == c;
        EXPECT_EQ(hole == finishhole, finish && hole != nohole);
        if (hole < 0) continue;
        const celllook look = lookofcell(*board, r, c, hole);
        EXPECT_EQ(look.glyph, trackglyph(hole));
        EXPECT_EQ(look.pair, board->trackcolor[hole]);
      }
    }
  }
}

// A window of the rulers is the same window of the whole rulers, so a
// view that scrolls shows the same numbers; every label reads its column.
TEST(Columnrulers, WindowsAgreeWithTheWhole) {
  const std::string labels = columnlabels(0, 300);
  const std::string ticks = columnticks(0, 300);
  for (int column = 0; column < 290; column += 10) {
    EXPECT_EQ(std::stoi(labels.substr(column)), column);
    EXPECT_EQ(ticks[column], '|');
  }
  for (int first = 0; first < 260; first += 7) {
    for (int count : {0, 1, 9, 23}) {
      EXPECT_EQ(columnlabels(first, count), labels.substr(first, count));
      EXPECT_EQ(columnticks(first, count), ticks.substr(first, count));
    }
  }
}

TEST(Lookofcell, ABoardResizedByHandIsNotReadPastItsArrays) {
  auto board = sampleboard(2, 3, 1, 1, 1);
  board->width = 40;
  board->height = 9;
  board->trackcount = board->paircount = 5;
  const holemap map(*board);
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 40; ++c) {
      const celllook look = lookofcell(*board, r, c, map.at(r, c));
      EXPECT_EQ(look.picture == ' ', r >= 2 || c >= 3);
    }
  }
  EXPECT_FALSE(paircolors(*board, 3));
}
