#include "board/boardtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/boardfile.h"
#include "tests/sampleboard.h"

using namespace boards;

namespace {

// A board of random sizes whose every byte is random, with the values that
// need care in the text more likely than chance makes them: backslashes,
// bars, 0 and 255 in the picture; rows of digits, letters and of larger
// values in the colormap; rows whose last byte is not 0; tracks that walk in
// short straight stretches (runs, repeated holes, and steps across the
// edge of a byte).
boardtype randomboard(std::mt19937& random) {
  const auto below = [&random](int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
  };
  boardtype board(below(6), below(9), below(40), below(4), below(5));
  for (std::int32_t& value : board.header) value = std::int32_t(random());
  const char tricky[] = {'\\', '|', '#', ' ', '\0', '\xff', 'x', '"'};
  for (std::int32_t r = 0; r < board.height; ++r) {
    const bool digits = below(2) == 0;
    for (std::int32_t c = 0; c <= board.width; ++c) {
      board.picture[r][c] = char(below(2) ? tricky[below(8)] : below(256));
      board.colormap[r][c] =
          static_cast<unsigned char>(digits ? below(36) : below(256));
    }
    if (below(3) != 0) board.picture[r][board.width] = 0;
    if (below(3) != 0) board.colormap[r][board.width] = 0;
  }
  for (std::int32_t i = 0; i < board.paircount; ++i) {
    board.pairs[i][0] = static_cast<unsigned char>(below(256));
    board.pairs[i][1] = static_cast<unsigned char>(below(256));
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    int row = below(256), column = below(256), rowstep = 0, columnstep = 0;
    for (std::int32_t i = 0; i < board.holecount; ++i) {
      if (below(4) == 0) {
        rowstep = below(5) - 2;
        columnstep = below(5) - 2;
      }
      row = below(8) == 0 ? below(256) : (row + rowstep) & 255;
      column = (column + columnstep) & 255;
      board.tracks[t][i].set(row, column);
    }
    board.trackcolor[t] = below(256);
  }
  board.finish.set(below(256), below(256));
  return board;
}

// The first problem as "line:column: message".
std::string firstproblem(const std::string& text) {
  boardtype board;
  const auto problems = readboardtext(text, board);
  if (problems.empty()) return "built";
  const textproblem& first = problems.front();
  return std::to_string(first.line) + ":" + std::to_string(first.column) +
         ": " + first.message;
}

const std::string small =
    "header 1 -2 3 4\nwidth 3\nheight 2\nholes 2\ntracks 1\npairs 1\n"
    "picture\n|a\\\\b|\n|\\x00 .| end 7  # the last byte\n"
    "colormap\n|012|\n[0 10 255]\npair 0 7\ntrack 0 color 0\n"
    "(0, 1)\n  (1, 2)\nfinish (1, 1)\n";

}  // namespace

TEST(Boardtext, EveryBoardRoundTripsThroughItsText) {
  std::mt19937 random(1208);
  for (int run = 0; run < 500; ++run) {
    const boardtype board = randomboard(random);
    const std::string text = writeboardtext(board);
    boardtype built;
    const auto problems = readboardtext(text, built);
    ASSERT_TRUE(problems.empty()) << run << ": " << problems[0].message << "\n"
                                  << text;
    ASSERT_EQ(encodeboard(built), encodeboard(board)) << text;
    ASSERT_EQ(writeboardtext(built), text);
  }
}

TEST(Boardtext, RunsStandForTheirHolesInOrder) {
  const std::string runs =
      "(0, 0..2) (10, 46..44) (2..3, 54) (0, 48..52 by 2) (8..2 by 3, 54)\n"
      "(0..3, 5..2) (9..5 by 2, 3..5) (7..7, 7) (1, 1)\n";
  const std::vector<std::pair<int, int>> holes = {
      {0, 0},  {0, 1},  {0, 2},  {10, 46}, {10, 45}, {10, 44}, {2, 54}, {3, 54},
      {0, 48}, {0, 50}, {0, 52}, {8, 54},  {5, 54},  {2, 54},  {0, 5},  {1, 4},
      {2, 3},  {3, 2},  {9, 3},  {7, 4},   {5, 5},   {7, 7},   {1, 1}};
  std::string text = small;
  text.replace(text.find("holes 2"), 7, "holes 23");
  text.replace(text.find("(0, 1)\n  (1, 2)\n"), 16, runs);
  boardtype board;
  const auto problems = readboardtext(text, board);
  ASSERT_TRUE(problems.empty()) << problems[0].message;
  for (std::size_t i = 0; i < holes.size(); ++i) {
    EXPECT_EQ(std::pair(board.tracks[0][i].y, board.tracks[0][i].x), holes[i])
        << i;
  }
}

TEST(Boardtext, ReadsWhatPeopleWrite) {
  boardtype board;
  ASSERT_TRUE(readboardtext(small, board).empty());
  EXPECT_EQ(std::string(board.picture[0].get(), 4), std::string("a\\b\0", 4));
  EXPECT_EQ(board.picture[1][0], '\0');
  EXPECT_EQ(board.picture[1][3], 7);
  EXPECT_EQ(board.colormap[1][2], 255);
  EXPECT_EQ(board.header[1], -2);
  EXPECT_EQ(board.tracks[0][1].y, 1);
  EXPECT_EQ(board.tracks[0][1].x, 2);
}

TEST(Boardtext, FaultsAreLocated) {
  const auto with = [](const std::string& from, const std::string& to) {
    std::string text = small;
    text.replace(text.find(from), from.size(), to);
    return firstproblem(text);
  };
  EXPECT_EQ(with("|a\\\\b|", "|ab|"),
            "8:4: the row has 2 characters; the width is 3");
  EXPECT_EQ(with("|a\\\\b|", "|abcd|"),
            "8:6: the row has 4 characters; the width is 3");
  EXPECT_EQ(with("\\\\", "\\n"),
            "8:3: bad escape: '\\\\' is a backslash, '\\xHH' any byte");
  EXPECT_EQ(with("|012|", "|01|  # a|"),
            "11:4: the row has 2 characters; the width is 3");
  EXPECT_EQ(with("|012|", "|0A2|"),
            "11:3: expected a digit or a letter a-z (10 to 35); larger values "
            "take a row of numbers in brackets");
  EXPECT_EQ(with("255", "256"), "12:7: a color index 256 is above 255");
  EXPECT_EQ(with("(1, 2)", "(1, 300)"), "16:7: a hole column 300 is above 255");
  EXPECT_EQ(with("(0, 1)\n  (1, 2)", "(0, 250..256)"),
            "15:10: a hole column 256 is above 255");
  EXPECT_EQ(with("(0, 1)\n  (1, 2)", "(0, 1..4 by 2)"),
            "15:5: steps of 2 from 1 miss 4");
  EXPECT_EQ(with("(0, 1)\n  (1, 2)", "(0, 1..2 by 0)"),
            "15:13: a step 0 is below 1");
  EXPECT_EQ(with("(0, 1)\n  (1, 2)", "(0..1, 3..1)"),
            "15:1: a diagonal run takes as many rows as columns, found 2 rows "
            "and 3 columns");
  EXPECT_EQ(with("(0, 1)", "(0, 1..2)"),
            "15:1: track 0 has 3 holes, 1 more than 2; the longest step, 1 "
            "cell, is from hole 0 at (0, 1) to hole 1 at (0, 2)");
  EXPECT_EQ(with("width 3", "width 2147483648"),
            "2:7: width 2147483648 is above 2147483647");
  EXPECT_EQ(with("holes 2", "holes -1"), "4:7: holes -1 is below 0");
  EXPECT_EQ(with("height 2", "height 3"),
            "10:1: expected 3 picture rows, found 2");
  EXPECT_EQ(with("pair 0 7\n", ""), "13:1: expected 1 pair, found 0");
  EXPECT_EQ(with("  (1, 2)\n", ""), "15:1: track 0 has 1 hole, 1 fewer than 2");
  EXPECT_EQ(with("colormap", "colourmap"),
            "10:1: expected 'colormap', found 'colourmap'");
  EXPECT_EQ(with("track 0 color 0", "track 0 colour 0"),
            "14:9: expected 'color', found 'colour'");
  EXPECT_EQ(with("finish (1, 1)\n", "finish (1, 1)\npair 1 1\n"),
            "18:1: text after the end of the board");
  EXPECT_EQ(with("finish (1, 1)\n", ""),
            "17:1: expected 'finish' before the end");
  // Memory follows the text: a huge row is refused once three cells are read.
  EXPECT_EQ(with("width 3", "width 2147483647"),
            "8:6: the row has 3 characters; the width is 2147483647");
}

TEST(Boardtext, ReportsEveryFaultThatStandsOnItsOwn) {
  std::string text = small;
  text.replace(text.find("|012|"), 5, "|01|");
  text.replace(text.find("(0, 1)"), 6, "(0, -1)");
  boardtype board;
  auto problems = readboardtext(text, board);
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_EQ(board.height, 0);  // nothing was built
  // A stray separator is one problem and no hole: the count stays true.
  text = small;
  text.replace(text.find("(0, 1)\n  (1, 2)"), 15, "(0, 1),(1, 2) (2, 2)");
  problems = readboardtext(text, board);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].message, "expected '(', found ','");
  EXPECT_EQ(problems[1].message.substr(0, 35),
            "track 0 has 3 holes, 1 more than 2;");
  // However many faults a line holds, at most 20 are told.
  text = small;
  std::string bad;
  for (int i = 0; i < 100000; ++i) bad += i % 2 ? ", " : "(0, x) ";
  text.replace(text.find("(0, 1)"), 6, bad);
  EXPECT_EQ(readboardtext(text, board).size(), 20u);
}

TEST(Boardtext, AShortTrackSaysWhereTheGapMostLikelyIs) {
  boardtype board(1, 12, 10, 1, 0);
  for (std::int32_t i = 0; i < 10; ++i) board.tracks[0][i].set(0, i);
  std::string text = writeboardtext(board);
  const std::size_t run = text.find("(0, 0..9)");
  ASSERT_NE(run, std::string::npos);
  text.replace(run, 9, "(0, 0..3)\n(0, 5..9)");
  const auto problems = readboardtext(text, board);
  EXPECT_EQ(problems.front().message,
            "track 0 has 9 holes, 1 fewer than 10; the longest step, 2 "
            "cells, is from hole 3 at (0, 3) to hole 4 at (0, 5)");
  EXPECT_EQ(problems.front().line,
            std::count(text.begin(), text.begin() + run, '\n') + 2);
}

TEST(Boardtext, EveryCutOfATextIsBuiltOrRefusedWithAPlace) {
  const std::string text = writeboardtext(*sampleboard(3, 4, 5, 2, 3));
  for (std::size_t length = 0; length < text.size(); ++length) {
    boardtype board;
    const auto problems = readboardtext(text.substr(0, length), board);
    for (const textproblem& problem : problems) {
      ASSERT_GE(problem.line, 1u);
      ASSERT_GE(problem.column, 1u);
    }
    // A cut inside the last comment still holds the whole board.
    if (problems.empty()) {
      ASSERT_GT(length, text.rfind("finish"));
    }
  }
}
