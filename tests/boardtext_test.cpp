#include "board/boardtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "tests/sampleboard.h"

using namespace boards;

namespace {

// Track t as the mirror of track from across a column or a row (the axis
// doubled), wrapped to a byte where it falls outside.
void mirrortrack(boardtype& board, std::int32_t t, std::int32_t from,
                 bool acrossrow, int twice) {
  for (std::int32_t i = 0; i < board.holecount; ++i) {
    const holetype hole = board.tracks[from][i];
    board.tracks[t][i].set(acrossrow ? (twice - hole.y) & 255 : hole.y,
                           acrossrow ? hole.x : (twice - hole.x) & 255);
  }
}

// Track t snaking from (row, column) down legs of length cells, each a
// step over from the one before, or across.
void snaketrack(boardtype& board, std::int32_t t, int row, int column,
                int length, int step, bool down) {
  for (std::int32_t i = 0; i < board.holecount; ++i) {
    const int leg = i / length,
              along = leg % 2 ? length - 1 - i % length : i % length;
    const int a = (down ? row : column) + along;
    const int b = (down ? column : row) + leg * step;
    board.tracks[t][i].set((down ? a : b) & 255, (down ? b : a) & 255);
  }
}

// A board of random sizes whose every byte is random, with the values that
// need care in the text more likely than chance makes them: backslashes,
// bars, 0 and 255 in the picture; rows of digits, letters and of larger
// values in the colormap; rows whose last byte is not 0; tracks that walk in
// short straight stretches (runs, repeated holes, and steps across the
// edge of a byte), that snake, or that mirror an earlier track.
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
  // Half the colormaps are bands: rectangles, some on one character.
  for (int band = below(2) * below(6); band > 0; --band) {
    const int top = below(board.height + 1), left = below(board.width + 1);
    const int value = below(4) == 0 ? below(256) : below(4);
    const bool everywhere = below(2) == 0;
    const char on = tricky[below(8)];
    for (std::int32_t r = top; r < board.height; ++r) {
      for (std::int32_t c = left; c <= board.width; ++c) {
        const bool drawn = everywhere || board.picture[r][c] == on;
        if (c == board.width)
          board.colormap[r][c] = 0;
        else if (drawn)
          board.colormap[r][c] = static_cast<unsigned char>(value);
      }
    }
  }
  for (std::int32_t i = 0; i < board.paircount; ++i) {
    board.pairs[i][0] = static_cast<unsigned char>(below(256));
    board.pairs[i][1] = static_cast<unsigned char>(below(256));
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    board.trackcolor[t] = below(256);
    const int shape = below(4);
    if (shape == 0 && t > 0) {
      mirrortrack(board, t, below(t), below(2) == 0, below(300));
      continue;
    }
    int row = below(256), column = below(256), rowstep = 0, columnstep = 0;
    if (shape == 1) {
      snaketrack(board, t, row, column, 1 + below(8), 1 + below(3),
                 below(2) == 0);
      continue;
    }
    for (std::int32_t i = 0; i < board.holecount; ++i) {
      if (below(4) == 0) {
        rowstep = below(5) - 2;
        columnstep = below(5) - 2;
      }
      row = below(8) == 0 ? below(256) : (row + rowstep) & 255;
      column = (column + columnstep) & 255;
      board.tracks[t][i].set(row, column);
    }
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
  int filled = 0, snaked = 0, mirrored = 0;
  for (int run = 0; run < 1000; ++run) {
    const boardtype board = randomboard(random);
    for (const bool fills : {false, true}) {
      const std::string text =
          writeboardtext(board, textoptions{.fills = fills});
      filled += text.find("\nfill ") != std::string::npos;
      snaked += text.find(") snake") != std::string::npos;
      mirrored += text.find(" mirrors track ") != std::string::npos;
      boardtype built;
      const auto problems = readboardtext(text, built);
      ASSERT_TRUE(problems.empty())
          << run << ": " << problems[0].message << "\n"
          << text;
      ASSERT_EQ(encodeboard(built), encodeboard(board)) << text;
      ASSERT_EQ(writeboardtext(built, textoptions{.fills = fills}), text);
    }
  }
  EXPECT_GT(filled, 100);  // the fills were tried, not always refused
  EXPECT_GT(snaked, 50);
  EXPECT_GT(mirrored, 50);
}

// The scanner's pieces end anywhere: inside a number, an escape, a row
// read again for its length. Handed out a few bytes at a time, a text
// reads as it does whole, faults and places alike.
TEST(Boardtext, ATextReadsTheSameInPiecesOfAnySize) {
  std::mt19937 random(5);
  for (int run = 0; run < 300; ++run) {
    std::string text =
        writeboardtext(randomboard(random), textoptions{.fills = run % 2 == 0});
    if (run % 3 == 0) text[random() % text.size()] = "|\\x9(.#"[random() % 7];
    std::span<const unsigned char> rest(
        reinterpret_cast<const unsigned char*>(text.data()), text.size());
    const bytesource pieces = [&](std::size_t most) {
      const std::size_t length =
          std::min<std::size_t>({most, rest.size(), 1 + random() % 7});
      const auto piece = rest.first(length);
      rest = rest.subspan(length);
      return piece;
    };
    boardtype whole, pieced;
    const auto expected = readboardtext(text, whole);
    const auto found = readboardtext(pieces, pieced);
    ASSERT_EQ(found.size(), expected.size()) << text;
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].message, expected[i].message);
      EXPECT_EQ(std::pair(found[i].line, found[i].column),
                std::pair(expected[i].line, expected[i].column));
    }
    EXPECT_EQ(encodeboard(pieced), encodeboard(whole));
  }
}

// Rows of dots in groups, parted by bars and blanks, a track running along
// each row in turn, or down each column: one snake "on '.'", and nothing
// else.
TEST(Boardtext, ATrackSnakingAlongDottedGroupsTakesOneItem) {
  std::mt19937 random(22);
  for (int run = 0; run < 50; ++run) {
    const auto below = [&random](int n) {
      return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    const int height = 1 + below(8), width = 3 + below(60);
    const bool down = below(2) == 0;  // the board turned: snaking down
    std::vector<std::pair<int, int>> holes;
    std::vector<std::string> rows(height);
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c)
        rows[r] += below(4) ? '.' : "| "[below(2)];
      rows[r][0] = rows[r][1] = rows[r][width - 1] = '.';
      for (int i = 0; i < width; ++i) {
        const int c = r % 2 ? width - 1 - i : i;
        if (rows[r][c] == '.') holes.emplace_back(r, c);
      }
    }
    boardtype board(down ? width : height, down ? height : width,
                    static_cast<std::int32_t>(holes.size()), 1, 1);
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        (down ? board.picture[c][r] : board.picture[r][c]) = rows[r][c];
      }
    }
    for (std::size_t i = 0; i < holes.size(); ++i) {
      const auto [r, c] = holes[i];
      board.tracks[0][i].set(down ? c : r, down ? r : c);
    }
    const std::string text = writeboardtext(board);
    const std::string track = text.substr(text.find("track 0"));
    EXPECT_EQ(std::count(track.begin(), track.end(), '\n'), 4) << track;
    boardtype built;
    ASSERT_TRUE(readboardtext(text, built).empty());
    EXPECT_EQ(encodeboard(built), encodeboard(board));
  }
}

TEST(Boardtext, RunsStandForTheirHolesInOrder) {
  const std::string runs =
      "(0, 0..2) (10, 46..44) (2..3, 54) (0, 48..52 by 2) (8..2 by 3, 54)\n"
      "(0..3, 5..2) (9..5 by 2, 3..5) (7..7, 7) (1, 1)\n"
      "(0..1, 4..8 by 2) snake (5..4, 0..2) snake down\n"  // across, down
      "(0..2 by 2, 9..8) snake\n";                         // as long: down
  const std::vector<std::pair<int, int>> holes = {
      {0, 0},  {0, 1},  {0, 2},  {10, 46}, {10, 45}, {10, 44}, {2, 54}, {3, 54},
      {0, 48}, {0, 50}, {0, 52}, {8, 54},  {5, 54},  {2, 54},  {0, 5},  {1, 4},
      {2, 3},  {3, 2},  {9, 3},  {7, 4},   {5, 5},   {7, 7},   {1, 1},  {0, 4},
      {0, 6},  {0, 8},  {1, 8},  {1, 6},   {1, 4},   {5, 0},   {4, 0},  {4, 1},
      {5, 1},  {5, 2},  {4, 2},  {0, 9},   {2, 9},   {2, 8},   {0, 8}};
  std::string text = small;
  text.replace(text.find("holes 2"), 7, "holes 39");
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
            "15:1: track 0 has 3 holes, 1 more than 2; this run holds 2 "
            "holes, the item beside it 1");
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
  EXPECT_EQ(with("track 0 color 0", "track 0 colors 0"),
            "14:9: expected 'color', found 'colors'");
  EXPECT_EQ(with("track 0 color 0", "track 0 color 0 mirrors track 0 across"),
            "14:31: track 0 has no earlier track");
  EXPECT_EQ(with("(1, 2)", "(1, 0..2) on '\\x00. "),
            "16:16: expected ''' to close the characters");
  EXPECT_EQ(with("(1, 2)", "(1, 0..2) on 'z.'"), "built");
  EXPECT_EQ(with("(1, 2)", "(1, 0..2) snake on 'z'"),
            "16:3: no cell of the run is drawn with 'z'");
  EXPECT_EQ(with("finish (1, 1)\n", "finish (1, 1)\npair 1 1\n"),
            "18:1: text after the end of the board");
  EXPECT_EQ(with("finish (1, 1)\n", ""),
            "17:1: expected 'finish' before the end");
  EXPECT_EQ(with("finish (1, 1)", "finish (1, 256)"),
            "17:12: the finish column 256 is above 255");
  EXPECT_EQ(with("\\x00", "\\x0g"),
            "9:2: bad escape: '\\\\' is a backslash, '\\xHH' any byte");
  EXPECT_EQ(with("255", "2555555555555555555555555555"),
            "12:7: a color index 255555555555555555555555... is above 255");
  EXPECT_EQ(with("(1, 2)", "(1, 0..2) on 'z'"),
            "16:3: no cell of the run is drawn with 'z'");
  EXPECT_EQ(with("(1, 2)", "(1, 2) on '\\q'"),
            "16:14: expected a character: as in picture rows, '\\\\' is a "
            "backslash, '\\xHH' any byte");
  EXPECT_EQ(with("|012|\n[0 10 255]", "fill 1 (0..2, 1)"),
            "11:12: row 2 is outside the 3x2 picture");
  EXPECT_EQ(with("|012|\n[0 10 255]", "fill 256"),
            "11:6: a color index 256 is above 255");
  EXPECT_EQ(with("|012|\n[0 10 255]", "fill 1 (0, 0..1) on"),
            "11:20: expected ''', found the end of the line");
  // Memory follows the text: a track is not made as long as it claims, and
  // a huge row is refused once three cells are read.
  EXPECT_EQ(with("holes 2", "holes 2000000000"),
            "15:1: track 0 has 2 holes, 1999999998 fewer than 2000000000");
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
  // A fault ends its statement: the rest of the line, a comment above all,
  // is not read, and the track's count is no longer known.
  text = small;
  text.replace(text.find("(0, 1)\n  (1, 2)"), 15,
               "(0, 1),(1, 2) (2 2)  # (9, 9) (1, 300)");
  problems = readboardtext(text, board);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].column, 7u);
  EXPECT_EQ(problems[0].message, "expected '(', found ','");
  // However many lines hold faults, at most 20 are told.
  text = small;
  std::string bad;
  for (int i = 0; i < 100000; ++i) bad += "(0, x)\n";
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
            "track 0 has 9 holes, 1 fewer than 10; this run holds 4 holes, the "
            "item beside it 5; the longest step, 2 cells, is from hole 3 at "
            "(0, 3) to hole 4 at (0, 5)");
  EXPECT_EQ(problems.front().line,
            std::count(text.begin(), text.begin() + run, '\n') + 1);
}

// A track of 61 holes in groups of five, one run a group, a line each or
// all on one line: a run with a wrong end is told at that run, with the
// true count, whether it holds too many holes or too few, and the gaps
// between groups are not blamed; so is a group left out. The hole typed
// onto a blank cell is still told where it stands.
TEST(Boardtext, AWrongHoleCountIsToldAtTheLikeliestItem) {
  const struct {
    std::string from, to;
    std::string message;
  } slips[] = {
      {"(2, 0..4)", "(2, 0..5)",
       "track 0 has 62 holes, 1 more than 61; this run holds 6 holes, the "
       "item beside it 5"},
      {"(2, 54..58)", "(2, 54..62)",
       "track 0 has 65 holes, 4 more than 61; this run holds 9 holes, the "
       "items beside it 5 and 5"},
      {"(2, 18..22)", "(2, 18..20)",
       "track 0 has 59 holes, 2 fewer than 61; this run holds 3 holes, the "
       "items beside it 5 and 5"},
      {"(2, 30..34) ", "",
       "track 0 has 56 holes, 5 fewer than 61; the longest step, 8 cells, is "
       "from hole 24 at (2, 28) to hole 25 at (2, 36)"},
  };
  std::string picture;
  for (int r = 0; r < 4; ++r) picture += "|" + std::string(72, '.') + "|\n";
  picture[picture.size() - 3] = ' ';  // under the last hole, (3, 71)
  for (const char* between : {"\n", " "}) {
    std::string runs;
    for (int group = 0; group < 12; ++group) {
      runs += "(2, " + std::to_string(group * 6) + ".." +
              std::to_string(group * 6 + 4) + ") ";
      if (*between == '\n') runs.back() = '\n';
    }
    runs += "(3, 71)\n";
    for (const auto& slip : slips) {
      std::string text = runs;
      const std::size_t at = text.find(slip.from.substr(0, 11));
      text.replace(at, slip.from.size(), slip.to);
      text =
          "header 0 0 0 0\nwidth 72\nheight 4\nholes 61\ntracks 1\npairs "
          "1\npicture\n" +
          picture + "colormap\nfill 0\npair 0 0\ntrack 0 color 0\n" + text +
          "finish (0, 0)\n";
      boardtype board;
      textplaces places;
      const auto problems = readboardtext(text, board, places);
      ASSERT_EQ(problems.size(), 1u) << slip.to;
      EXPECT_EQ(problems[0].message, slip.message);
      const std::size_t item = text.find(slip.to.empty() ? "(2, 24" : slip.to);
      EXPECT_EQ(problems[0].line,
                std::count(text.begin(), text.begin() + item, '\n') + 1);
      EXPECT_EQ(problems[0].column, item - text.rfind('\n', item));
      const std::size_t last = text.find("(3, 71)");
      EXPECT_TRUE(std::any_of(
          places.warnings.begin(), places.warnings.end(),
          [&](const textproblem& warning) {
            return warning.column == last - text.rfind('\n', last) &&
                   warning.message.ends_with("(3, 71): on a blank cell");
          }));
    }
  }
}

// Colormap warnings stand at the cell's own column, or at its fill line.
TEST(Boardtext, AColormapCellIsPlacedAtItsOwnColumn) {
  const std::string from = "|012|\n[0 10 255]";
  const struct {
    std::string colormap;
    std::int32_t row, column;
    std::uint64_t line, at;
  } cells[] = {
      {"|012|\n[0 10 255]", 0, 2, 11, 4},
      {"|012|\n[0 10 255]", 1, 2, 12, 7},
      {"|012|\n[0  10 255]", 1, 1, 12, 5},
      {"fill 3\nfill 0 (1, 0..2)\nfill 2 (0..1, 1) on '\\\\'", 0, 0, 11, 1},
      {"fill 3\nfill 0 (1, 0..2)\nfill 2 (0..1, 1) on '\\\\'", 0, 1, 13, 1},
  };
  for (const auto& cell : cells) {
    std::string text = small;
    text.replace(text.find(from), from.size(), cell.colormap);
    boardtype board;
    textplaces places;
    ASSERT_TRUE(readboardtext(text, board, places).empty()) << cell.colormap;
    boardproblem problem;
    problem.kind = problemkind::colorindex;
    problem.row = cell.row;
    problem.column = cell.column;
    const textplace place = places.of(problem);
    EXPECT_EQ(std::pair(place.line, place.column),
              std::pair(cell.line, cell.at))
        << cell.colormap;
  }
}

// A comment or a row is never held whole, however long its line.
TEST(Boardtext, ALongLineIsReadAPieceAtATime) {
  std::string text = small;
  text.replace(text.find("# the last byte"), 15, "#");
  const std::size_t cut = text.find("#") + 1;
  const std::string filler(boardpiecelength, 'x');
  std::size_t handed = 0;
  const std::size_t pieces = 64;  // 4 MiB of comment
  bytesource source = [&](std::size_t) -> std::span<const unsigned char> {
    const std::string* from = &text;
    std::size_t at = handed;
    if (handed >= cut && handed < cut + pieces * filler.size()) {
      from = &filler;
      at = (handed - cut) % filler.size();
    } else if (handed >= cut) {
      at = handed - pieces * filler.size();
    }
    const std::size_t end =
        from == &filler ? filler.size() : (handed < cut ? cut : text.size());
    const std::span<const unsigned char> piece(
        reinterpret_cast<const unsigned char*>(from->data()) + at,
        std::min(end - at, boardpiecelength));
    handed += piece.size();
    return piece;
  };
  boardtype board;
  ASSERT_TRUE(readboardtext(source, board).empty());
  EXPECT_EQ(board.picture[1][3], 7);
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

// A hole on a character or a color unlike nearly all of its track's others
// is one problem of its own kind; a track split between two is none, and a
// hole on a blank cell is told only as that.
TEST(Boardcheck, AHoleUnlikeItsTracksOthersIsAProblem) {
  const struct {
    int column;
    char drawn;
    unsigned char color;
    int unlike;
    int columns = 1;  // from column on, drawn so: 2 leaves nine in ten
  } cases[] = {{5, '.', 1, 0},    {5, '7', 1, 1},   {5, '.', 2, 1},
               {5, '7', 2, 2},    {5, ' ', 2, 0},   {25, '.', 1, 0},
               {5, '7', 1, 2, 2}, {5, '7', 1, 0, 3}};
  for (const auto& each : cases) {
    boardtype board(2, 30, 20, 1, 3);
    for (std::int32_t c = 0; c < 30; ++c) {
      board.picture[0][c] = c < 20 ? '.' : '-';
      board.colormap[0][c] = c < 20 ? 1 : 2;
    }
    for (int c = each.column; c < each.column + each.columns; ++c) {
      board.picture[0][c] = each.drawn;
      board.colormap[0][c] = each.color;
    }
    for (std::int32_t i = 0; i < 20; ++i) board.tracks[0][i].set(0, i);
    // Half the holes off the dots leave no "nearly all".
    if (each.column == 25) {
      for (std::int32_t i = 10; i < 20; ++i) board.tracks[0][i].set(0, i + 10);
    }
    const auto problems = checkboard(board, checkoptions{.maxstep = 20});
    EXPECT_EQ(std::count_if(problems.begin(), problems.end(),
                            [](const boardproblem& problem) {
                              return problem.kind == problemkind::unlike;
                            }),
              each.unlike)
        << each.drawn << int(each.color);
  }
}

// A letter or digit of a drawn word whose color index stands out from the
// word's cells beside it is one problem, at that cell; a word in one color,
// or in colors that change from letter to letter, is none.
TEST(Boardcheck, ALabelLetterInAColorOfItsOwnIsAProblem) {
  const struct {
    const char* row;
    const char* colors;
    int column;  // of the problem, -1 for none
  } cases[] = {{" HOME 12 ", "011110330", -1},
               {" HOME 12 ", "011210330", 3},
               {" HOME 12 ", "021110330", 1},
               {" HOME 12 ", "011120330", 4},
               {" HOME 12 ", "011110030", 7},
               {" HOME 12 ", "011110300", 6},
               {" 5 10 15 20 ", "020220420220", 6},
               {" HOME ", "012340", -1},
               {"HOME+12", "1121333", 2}};
  for (const auto& each : cases) {
    const int width = static_cast<int>(std::string(each.row).size());
    boardtype board(1, width, 0, 0, 4);
    for (int c = 0; c < width; ++c) {
      board.picture[0][c] = each.row[c];
      board.colormap[0][c] = static_cast<unsigned char>(each.colors[c] - '0');
    }
    auto problems = checkboard(board);
    std::erase_if(problems, [](const boardproblem& problem) {
      return problem.kind != problemkind::labelcolor;  // the finish's
    });
    ASSERT_EQ(problems.size(), each.column < 0 ? 0u : 1u) << each.colors;
    if (each.column < 0) continue;
    EXPECT_EQ(problems[0].column, each.column) << each.colors;
    EXPECT_EQ(problems[0].value, each.colors[each.column] - '0');
  }
}
