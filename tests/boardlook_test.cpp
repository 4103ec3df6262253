#include "board/boardlook.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>

#include "tests/sampleboard.h"

using namespace boards;

TEST(Terminalrgb, CubeAndGraysDecodeBackToTheirNumbers) {
  const std::string levels = {0,         95,        char(135),
                              char(175), char(215), char(255)};
  for (int color = 16; color < 232; ++color) {
    const rgbtype rgb = terminalrgb(static_cast<unsigned char>(color));
    const auto step = [&](unsigned char v) {
      return static_cast<int>(levels.find(static_cast<char>(v)));
    };
    EXPECT_EQ(16 + 36 * step(rgb.red) + 6 * step(rgb.green) + step(rgb.blue),
              color);
  }
  for (int color = 232; color < 256; ++color) {
    const rgbtype rgb = terminalrgb(static_cast<unsigned char>(color));
    EXPECT_EQ(rgb.red, 8 + 10 * (color - 232));
    EXPECT_TRUE(rgb.red == rgb.green && rgb.green == rgb.blue);
  }
  EXPECT_EQ(terminalrgb(9).red, 255);
  EXPECT_EQ(terminalrgb(15).blue, 255);
}

TEST(Finishcolors, StandOutOnEveryBackground) {
  auto board = sampleboard(1, 1, 0, 0, 1);
  for (int background = 0; background < 256; ++background) {
    board->pairs[0][1] = static_cast<unsigned char>(background);
    const colorpair finish = finishcolors(*board, 0);
    const rgbtype a = terminalrgb(finish[1]);
    const rgbtype b = terminalrgb(static_cast<unsigned char>(background));
    const int distance = (a.red - b.red) * (a.red - b.red) +
                         (a.green - b.green) * (a.green - b.green) +
                         (a.blue - b.blue) * (a.blue - b.blue);
    EXPECT_GT(distance, 150 * 150) << "background " << background;
  }
}

// For random boards, holes off the picture included, the map marks exactly
// the cells where holes stand, each with a track that has a hole there, and
// a cell shows its hole's glyph in its track's color.
TEST(Holemap, MarksTheCellsOfHolesOnThePicture) {
  std::mt19937 random(15);
  for (int round = 0; round < 50; ++round) {
    const int h = random() % 6, w = random() % 6, t = random() % 40 + 1;
    auto board = sampleboard(h, w, random() % 4, t, 3);
    std::set<std::pair<int, int>> holes;
    for (int k = 0; k < t; ++k) {
      for (int i = 0; i < board->holecount; ++i) {
        holetype& hole = board->tracks[k][i];
        hole.set(random() % 8 - 1, random() % 8 - 1);
        if (hole.y >= 0 && hole.y < h && hole.x >= 0 && hole.x < w) {
          holes.insert({hole.y, hole.x});
        }
      }
    }
    const holemap map(*board);
    for (int r = -1; r <= h; ++r) {
      for (int c = -1; c <= w; ++c) {
        const std::int32_t track = map.at(r, c);
        EXPECT_EQ(track != nohole, holes.count({r, c}) == 1);
        if (track == nohole) continue;
        const celllook look = lookofcell(*board, r, c, track);
        EXPECT_EQ(look.glyph, trackglyph(track));
        EXPECT_EQ(look.pair, board->trackcolor[track]);
        EXPECT_EQ(look.picture, board->picture[r][c]);
      }
    }
  }
}

TEST(Lookofcell, GlyphsAndTheFinish) {
  std::set<char> glyphs;
  for (int track = 0; track < 36; ++track) glyphs.insert(trackglyph(track));
  EXPECT_EQ(glyphs.size(), 36u);
  EXPECT_EQ(trackglyph(36), '+');
  auto board = sampleboard(2, 3, 1, 1, 3);
  board->picture[0][1] = '\t';
  board->tracks[0][0].set(1, 2);
  board->finish.set(1, 2);  // the finish hides the hole under it
  const holemap map(*board);
  const celllook finish = lookofcell(*board, 1, 2, map.at(1, 2));
  EXPECT_TRUE(finish.finish());
  EXPECT_EQ(finish.glyph, '*');
  EXPECT_EQ(finish.pair, board->colormap[1][2]);
  const celllook tab = lookofcell(*board, 0, 1, map.at(0, 1));
  EXPECT_EQ(tab.glyph, '?');
  EXPECT_EQ(tab.pair, board->colormap[0][1]);
  EXPECT_FALSE(paircolors(*board, 3));
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
