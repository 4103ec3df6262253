#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "board/boardfile.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;

namespace {

class Tracktext : public testing::Test {
 protected:
  runresult run(const char* tool, const std::string& args) {
    return runin(tool, dir_, args);
  }
  scratchdir dir_;
};

}  // namespace

TEST_F(Tracktext, TheThreePlayerTextBuildsWhatTrackgenWrites) {
  ASSERT_EQ(run(TRACKGEN, "").status, 0);
  const std::string text = std::string(BOARDS_DIR) + "/3player.txt";
  EXPECT_EQ(run(TRACKBUILD, "'" + text + "' built.board").status, 0);
  EXPECT_EQ(readbytes(dir_ / "built.board"), readbytes(dir_ / "3player.board"));
  // The dump, from standard input, builds the same bytes too.
  const runresult dump = run(TRACKDUMP, "3player.board");
  ASSERT_EQ(dump.status, 0);
  writebytes(dir_ / "dump.txt", bytes(dump.output.begin(), dump.output.end()));
  EXPECT_EQ(run(TRACKBUILD, "- again.board < dump.txt").status, 0);
  EXPECT_EQ(readbytes(dir_ / "again.board"), readbytes(dir_ / "3player.board"));
}

// Every board in boards/ builds without a warning, checks clean, and comes
// back as the same bytes through its dump, with rows and with fills.
TEST_F(Tracktext, EveryBoardDesignedAsTextIsSound) {
  for (const auto& entry : fs::directory_iterator(BOARDS_DIR)) {
    if (entry.path().extension() != ".txt") continue;
    const std::string text = entry.path().string();
    SCOPED_TRACE(text);
    const runresult built = run(TRACKBUILD, "--strict '" + text + "' x.board");
    ASSERT_EQ(built.status, 0) << built.errors;
    const runresult check = run(TRACKCHECK, "--holes --color=always x.board");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("\x1b["), std::string::npos);
    for (const char* dump : {"x.board", "--fills x.board"}) {
      const runresult dumped = run(TRACKDUMP, dump);
      ASSERT_EQ(dumped.status, 0);
      writebytes(dir_ / "d.txt",
                 bytes(dumped.output.begin(), dumped.output.end()));
      ASSERT_EQ(run(TRACKBUILD, "d.txt y.board").status, 0);
      EXPECT_EQ(readbytes(dir_ / "y.board"), readbytes(dir_ / "x.board"));
    }
  }
}

// A hole moved onto a label sits on a drawn cell, a step from its
// neighbours: the one slip is a warning of trackbuild, which --strict
// refuses, and a problem of trackcheck.
TEST_F(Tracktext, AHoleOnALabelIsASlip) {
  const std::string text = std::string(BOARDS_DIR) + "/2player.txt";
  ASSERT_EQ(run(TRACKBUILD, "'" + text + "' x.board").status, 0);
  boardtype board;
  ASSERT_TRUE(boards::readboardfile((dir_ / "x.board").c_str(), board).ok());
  board.tracks[0][3].set(1, 4);  // the label "5"
  writebytes(dir_ / "x.board", boards::encodeboard(board));
  const std::string slip =
      "track 0 hole 3 at (1, 4): on '5', where the track's other 49 holes are "
      "on '.'";
  const runresult check = run(TRACKCHECK, "x.board");
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.output.find(slip), std::string::npos) << check.output;
  const runresult dumped = run(TRACKDUMP, "x.board");
  writebytes(dir_ / "x.txt", bytes(dumped.output.begin(), dumped.output.end()));
  const runresult built = run(TRACKBUILD, "--strict x.txt y.board");
  EXPECT_EQ(built.status, 1);
  EXPECT_NE(built.errors.find(": warning: " + slip + "\n"), std::string::npos)
      << built.errors;
  EXPECT_NE(built.errors.find("1 warning; y.board not written"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "y.board"));
}

// A text with a 300 MB comment line is read in a fixed amount of memory.
TEST_F(Tracktext, ALongCommentLineTakesLittleMemory) {
#ifdef BOARDS_SANITIZE
  GTEST_SKIP() << "the sanitizer's own memory hides the reader's";
#endif
  const std::string text = std::string(BOARDS_DIR) + "/2player.txt";
  ASSERT_EQ(run(TRACKBUILD, "'" + text + "' x.board").status, 0);
  const std::string command = "cd '" + dir_.path().string() +
                              "' && { printf '#'; head -c 300000000 "
                              "/dev/zero | tr '\\0' x; printf '\\n'; cat '" +
                              text + "'; } | '" + TRACKBUILD + "' - y.board";
  ASSERT_EQ(std::system(command.c_str()), 0);
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 64 * 1024);  // in KiB
  EXPECT_EQ(readbytes(dir_ / "y.board"), readbytes(dir_ / "x.board"));
}

TEST_F(Tracktext, ABadTextWritesNothing) {
  writebytes(dir_ / "bad.txt", {'h', 'e', 'a', 'd', 'e', 'r', ' ', '1', '\n'});
  writebytes(dir_ / "out.board", {'o', 'l', 'd'});
  runresult result = run(TRACKBUILD, "bad.txt out.board");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.errors.rfind(
          "bad.txt:1:9: expected a header value, found the end of the line\n",
          0),
      0u);
  EXPECT_EQ(readbytes(dir_ / "out.board"), (bytes{'o', 'l', 'd'}));
  result = run(TRACKBUILD, "- new.board < bad.txt");
  EXPECT_EQ(result.errors.rfind("<stdin>:1:9: ", 0), 0u);
  EXPECT_FALSE(fs::exists(dir_ / "new.board"));
  EXPECT_EQ(run(TRACKBUILD, "missing.txt new.board").status, 1);
  // A text named as its own output, even through a link, stays a text.
  fs::copy_file(fs::path(BOARDS_DIR) / "2player.txt", dir_ / "two.txt");
  fs::create_symlink("two.txt", dir_ / "link.board");
  for (const char* args : {"two.txt two.txt", "two.txt link.board"}) {
    result = run(TRACKBUILD, args);
    EXPECT_EQ(result.status, 1) << args;
    EXPECT_EQ(result.errors,
              "trackbuild: two.txt: is also the output; not written\n");
  }
  EXPECT_EQ(readbytes(dir_ / "two.txt"),
            readbytes(fs::path(BOARDS_DIR) / "2player.txt"));
}

TEST_F(Tracktext, WarningsPointIntoTheTextAndStrictRefuses) {
  const bytes original = readbytes(std::string(BOARDS_DIR) + "/2player.txt");
  std::string text(original.begin(), original.end());
  // Where a part stands: "LINE:COLUMN", counted from 1.
  const auto place = [&text](std::size_t at) {
    const std::size_t start = text.rfind('\n', at) + 1;
    return std::to_string(std::count(text.begin(), text.begin() + at, '\n') +
                          1) +
           ":" + std::to_string(at - start + 1);
  };
  text[text.find("|          . <- home") + 3] = '\t';
  const std::size_t slip = text.find("(7, 25)");
  text.replace(slip, 7, "(7, 5)");
  writebytes(dir_ / "slips.txt", bytes(text.begin(), text.end()));
  writebytes(dir_ / "out.board", {'o', 'l', 'd'});
  runresult result = run(TRACKBUILD, "--strict slips.txt out.board");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(readbytes(dir_ / "out.board"), (bytes{'o', 'l', 'd'}));
  EXPECT_EQ(
      result.errors,
      "slips.txt:" + place(text.find('\t')) +
          ": warning: a raw control byte in a picture row: write \\x09 if it "
          "is meant\n"
          "slips.txt:" +
          place(slip) +
          ": warning: track 1 hole 21 at (7, 5): on a blank cell\n"
          "slips.txt:" +
          place(slip) +
          ": warning: track 1 hole 21 at (7, 5): 19 cells from hole 20 at "
          "(8, 24)\n"
          "slips.txt:" +
          place(text.find("(6, 24..0)")) +
          ": warning: track 1 hole 22 at (6, 24): 19 cells from hole 21 at "
          "(7, 5)\n"
          "trackbuild: slips.txt: 4 warnings; out.board not written "
          "(--strict)\n");
  result = run(TRACKBUILD, "slips.txt out.board");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(readbytes(dir_ / "out.board"), (bytes{'o', 'l', 'd'}));
}

TEST_F(Tracktext, TrackdumpSaysWhatItLeavesOut) {
  bytes file = boards::encodeboard(*sampleboard(2, 3, 1, 1, 1));
  file.insert(file.end(), {1, 2, 3});
  writebytes(dir_ / "long.board", file);
  runresult result = run(TRACKDUMP, "long.board");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.errors,
            "trackdump: long.board: 3 bytes beyond the layout left out\n");
  result = run(TRACKDUMP, "missing.board");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "");
}

TEST_F(Tracktext, UsageHelpAndVersion) {
  for (const char* tool : {TRACKDUMP, TRACKBUILD}) {
    SCOPED_TRACE(tool);
    EXPECT_EQ(run(tool, "").status, 2);
    EXPECT_EQ(run(tool, "--bogus a b").status, 2);
    EXPECT_EQ(run(tool, "--help").status, 0);
    EXPECT_NE(run(tool, "--version").output.find(" 1."), std::string::npos);
  }
}

TEST_F(Tracktext, OutputThatCannotBeWrittenIsAFailure) {
  ASSERT_EQ(run(TRACKGEN, "").status, 0);
  for (const auto& [tool, args] :
       {std::pair{TRACKDUMP, "3player.board"},
        std::pair{TRACKCHECK, "--show 3player.board"},
        std::pair{TRACKCHECK, "--help"}, std::pair{TRACKGEN, "--help"},
        std::pair{TRACKCOPY, "--version"}, std::pair{TRACKEDIT, "--help"}}) {
    SCOPED_TRACE(tool);
    const std::string command = "cd '" + dir_.path().string() + "' && '" +
                                tool + "' " + args + " > /dev/full 2> err";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    const bytes errors = readbytes(dir_ / "err");
    EXPECT_NE(std::string(errors.begin(), errors.end())
                  .find("cannot write standard output"),
              std::string::npos);
  }
}
