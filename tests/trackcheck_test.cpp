#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "tests/scratch.h"
#include "trackcheck/draw.h"

using namespace boards;

namespace {

// A sound 4x3 board: two tracks of two holes and the finish, each on its own
// "." of the picture, with colors below the pair count of 3.
std::unique_ptr<boardtype> soundboard() {
  auto board = std::make_unique<boardtype>(3, 4, 2, 2, 3);
  const char* rows[] = {"..  ", " .. ", "  . "};
  for (int r = 0; r < 3; ++r) std::copy_n(rows[r], 5, board->picture[r].get());
  board->colormap[1][3] = 2;
  board->tracks[0][0].set(0, 0);
  board->tracks[0][1].set(0, 1);
  board->tracks[1][0].set(1, 1);
  board->tracks[1][1].set(1, 2);
  board->trackcolor[0] = 1;
  board->trackcolor[1] = 2;
  board->finish.set(2, 2);
  return board;
}

std::vector<std::string> problemsof(const boardtype& board) {
  std::vector<std::string> messages;
  for (const boardproblem& problem : checkboard(board)) {
    messages.push_back(problem.message);
  }
  return messages;
}

using lines = std::vector<std::string>;

}  // namespace

TEST(Checkboard, SoundBoardHasNone) {
  EXPECT_EQ(problemsof(*soundboard()), lines());
  // An empty board has no picture to hold its finish.
  EXPECT_EQ(problemsof(boardtype()),
            lines{"finish at (0, 0): outside the 0x0 picture"});
}

TEST(Checkboard, HolesOffThePictureOrOnBlanks) {
  auto board = soundboard();
  board->tracks[1][0].set(3, 1);
  board->tracks[0][1].set(0, 4);
  board->finish.set(2, 3);
  EXPECT_EQ(problemsof(*board),
            (lines{"track 0 hole 1 at (0, 4): outside the 4x3 picture",
                   "track 0 hole 1 at (0, 4): 4 cells from hole 0 at (0, 0)",
                   "track 1 hole 0 at (3, 1): outside the 4x3 picture",
                   "finish at (2, 3): on a blank cell"}));
}

TEST(Checkboard, HolesSharingACell) {
  auto board = soundboard();
  board->tracks[1][1].set(0, 1);
  board->finish.set(0, 0);
  EXPECT_EQ(problemsof(*board),
            (lines{"track 1 hole 1 at (0, 1): on the same cell as track 0 "
                   "hole 1",
                   "finish at (0, 0): on the same cell as track 0 hole 0"}));
}

TEST(Checkboard, ColorsMustBeBelowThePairCount) {
  auto board = soundboard();
  board->colormap[2][1] = 3;
  board->trackcolor[1] = 3;
  board->colormap[0][4] = 9;  // a row's last byte is no cell
  EXPECT_EQ(
      problemsof(*board),
      (lines{"colormap at (2, 1): color index 3 is not below the pair count 3",
             "track 1 color: color index 3 is not below the pair count 3"}));
}

TEST(Checkboard, ATrackThatLeapsHasSlipped) {
  boardtype board(1, 40, 10, 1, 1);
  std::fill_n(board.picture[0].get(), 40, '.');
  for (std::int32_t i = 0; i < 10; ++i) board.tracks[0][i].set(0, i);
  board.tracks[0][9].set(0, 11);  // a step of 3 is no leap
  board.finish.set(0, 39);        // nor is the way to the finish
  EXPECT_EQ(problemsof(board), lines());
  board.tracks[0][6].set(0, 36);
  EXPECT_EQ(
      problemsof(board),
      (lines{"track 0 hole 6 at (0, 36): 31 cells from hole 5 at (0, 5)",
             "track 0 hole 7 at (0, 7): 29 cells from hole 6 at (0, 36)"}));
  EXPECT_EQ(checkboard(board, {.maxstep = 31}).size(), 0u);
  const auto problem = checkboard(board, {.maxstep = 2})[0];
  EXPECT_EQ(std::tuple(problem.kind, problem.track, problem.hole),
            std::tuple(problemkind::longstep, 0, 6));
}

TEST(Checkboard, ProblemsNameTheirHoleAndCell) {
  auto board = soundboard();
  board->tracks[1][1].set(0, 3);
  board->finish.set(9, 8);
  board->trackcolor[0] = 5;
  const std::vector<boardproblem> problems = checkboard(*board);
  ASSERT_EQ(problems.size(), 3u);
  const auto fields = [](const boardproblem& p) {
    return std::tuple(p.kind, p.track, p.hole, p.row, p.column);
  };
  EXPECT_EQ(fields(problems[0]), std::tuple(problemkind::blank, 1, 1, 0, 3));
  EXPECT_EQ(fields(problems[1]),
            std::tuple(problemkind::outside, -1, -1, 9, 8));
  EXPECT_EQ(fields(problems[2]),
            std::tuple(problemkind::trackcolor, 0, -1, -1, -1));
  // Sizes changed by hand are a problem, and not followed past the arrays;
  // arrays the board did not make are not read at all.
  board->width = 400;
  board->holecount = 9;
  EXPECT_EQ(checkboard(*board).size(), 4u);
  EXPECT_EQ(checkboard(*board)[0].kind, problemkind::mismatch);
  board->pairs[1].reset();
  EXPECT_EQ(checkboard(*board).size(), 1u);
}

class Trackcheck : public testing::Test {
 protected:
  void write(const std::string& name, const boardtype& board,
             std::size_t extra = 0) {
    bytes file = encodeboard(board);
    file.resize(file.size() + extra, 'x');
    writebytes(dir_ / name, file);
  }
  runresult run(const std::string& args) {
    return runin(TRACKCHECK, dir_, args);
  }
  scratchdir dir_;
};

TEST_F(Trackcheck, TheGeneratedBoardIsSound) {
  ASSERT_EQ(runin(TRACKGEN, dir_).status, 0);
  const runresult result = run("3player.board");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            "3player.board: ok, 3 tracks of 120 holes, 55x12 picture, 7 "
            "pairs\n");
  // Its turns take steps of 3, but no longer.
  EXPECT_EQ(run("--max-step=2 3player.board").status, 1);
  EXPECT_EQ(run("--max-step=3 3player.board").status, 0);
}

TEST_F(Trackcheck, ReportsEachFileAndFailsOnAnyProblem) {
  write("sound.board", *soundboard());
  write("long.board", *soundboard(), 3);
  const bytes whole = encodeboard(*soundboard());
  writebytes(dir_ / "cut.board", bytes(whole.begin(), whole.end() - 1));
  const runresult result =
      run("sound.board long.board cut.board missing.board");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            "sound.board: ok, 2 tracks of 2 holes, 4x3 picture, 3 pairs\n"
            "long.board: 3 bytes beyond the layout, lost on a copy\n"
            "long.board: 1 problem\n"
            "cut.board: shorter than its layout: needs 84 bytes, has 83\n"
            "cut.board: 1 problem\n"
            "missing.board: cannot open: No such file or directory\n"
            "missing.board: 1 problem\n");
}

TEST_F(Trackcheck, ShowDrawsThePictureUnderRulers) {
  write("sound.board", *soundboard());
  runresult result = run("--show sound.board");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            "  0\n  |...\n +----+\n0|..  |\n1| .. |\n2|  . |\n +----+\n"
            "sound.board: ok, 2 tracks of 2 holes, 4x3 picture, 3 pairs\n");
  // Row numbers take the room of the widest; counts of one are singular.
  boardtype wide(11, 12, 1, 1, 1);
  wide.finish.set(10, 11);
  wide.picture[10][11] = wide.picture[0][0] = '.';
  write("wide.board", wide);
  result = run("--holes wide.board");
  EXPECT_EQ(result.output.substr(0, result.output.find("\n 1|")),
            "   0         10\n   |....+....|.\n  +------------+\n"
            " 0|0           |");
  EXPECT_EQ(result.output.substr(result.output.find("\n10|")),
            "\n10|           *|\n  +------------+\n"
            "wide.board: ok, 1 track of 1 hole, 12x11 picture, 1 pair\n");
  wide.picture[0][0] = ' ';
  write("wide.board", wide);
  EXPECT_EQ(run("wide.board").output,
            "wide.board: track 0 hole 0 at (0, 0): on a blank cell\n"
            "wide.board: 1 problem\n");
  wide.initialize(1, 101, 0, 0, 0);
  wide.picture[0][0] = '.';
  wide.finish.set(0, 0);
  write("wide.board", wide);
  result = run("wide.board");
  EXPECT_NE(result.output.find("wide.board: 1 more problem not listed\n"
                               "wide.board: 101 problems\n"),
            std::string::npos);
}

TEST_F(Trackcheck, UsageErrorsAndHelp) {
  runresult result = run("");
  EXPECT_EQ(result.status, 2);
  const std::string usage = result.errors.substr(result.errors.find('\n') + 1);
  EXPECT_EQ(usage.rfind("usage: trackcheck [--show] [--holes]", 0), 0u);
  result = run("--shwo sound.board");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.errors, "trackcheck: unknown option --shwo\n" + usage);
  EXPECT_EQ(result.output, "");
  for (const char* bad : {"--color=sometimes", "--max-step=", "--max-step=-1",
                          "--max-step=3x", "--max-step=2147483648"}) {
    EXPECT_EQ(run(std::string(bad) + " sound.board").status, 2) << bad;
  }
  result = run("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, usage);
}

TEST(Drawpicture, ColorsPairsAndMarksHoles) {
  auto board = soundboard();  // pairs: 0 on 0 unless set
  const unsigned char pairs[3][2] = {{3, 4}, {12, 200}, {7, 0}};
  for (int i = 0; i < 3; ++i) std::copy_n(pairs[i], 2, board->pairs[i].get());
  board->colormap[0][0] = 1;
  board->colormap[0][2] = 9;  // no such pair: drawn plainly
  const auto row = [](const std::string& picture, int r) {
    const std::size_t start = picture.find("\n" + std::to_string(r) + "|");
    return picture.substr(start + 1, picture.find('\n', start + 1) - start - 1);
  };
  EXPECT_EQ(row(drawpicture(*board, {true, false}), 0),
            "0|\x1b[0;94;48;5;200m.\x1b[0;33;44m.\x1b[0m \x1b[0;33;44m "
            "\x1b[0m|");
  // Holes take their track's pair and the finish a bold look of its own,
  // which leaves its blue cell's blue; plainly, track glyphs.
  const std::string holes = drawpicture(*board, {true, true});
  EXPECT_EQ(row(holes, 0),
            "0|\x1b[0;94;48;5;200m..\x1b[0m \x1b[0;33;44m \x1b[0m|");
  EXPECT_EQ(row(holes, 1), "1|\x1b[0;33;44m \x1b[0;37;40m.. \x1b[0m|");
  EXPECT_EQ(row(holes, 2),
            "2|\x1b[0;33;44m  \x1b[0;1;97;41m.\x1b[0;33;44m \x1b[0m|");
  const std::string plain = drawpicture(*board, {false, true});
  EXPECT_EQ(plain.substr(plain.find("+\n")),
            "+\n0|00  |\n1| 11 |\n2|  * |\n +----+\n");
}

// trackcheck(1) lists every kind a problem can have, by its stable name.
TEST(Trackcheckman, NamesEveryProblemKind) {
  const bytes page =
      readbytes(std::filesystem::path(BOARDS_DIR) / "../man/trackcheck.1");
  const std::string text(page.begin(), page.end());
  for (int kind = 0; kind <= static_cast<int>(problemkind::unlike); ++kind) {
    const std::string name = kindname(static_cast<problemkind>(kind));
    EXPECT_NE(text.find("\n.B " + name + "\n"), std::string::npos) << name;
  }
}
