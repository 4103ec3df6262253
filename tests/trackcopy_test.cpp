#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "board/boardfile.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

using namespace boards;

namespace {

const bytes sample = encodeboard(*sampleboard(3, 4, 5, 2, 3));
const bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

}  // namespace

TEST(Trackcopy, CopiesTheBoardLessTrailingBytes) {
  const scratchdir dir;
  bytes longer = sample;
  longer.push_back(7);
  writebytes(dir / "default.board", longer);
  const runresult run = runin(TRACKCOPY, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(readbytes(dir / "test.board"), sample);
}

TEST(Trackcopy, WritesNothingWhenTheInputCannotBeRead) {
  const scratchdir dir;
  runresult run = runin(TRACKCOPY, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Error opening load file.\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "test.board"));

  writebytes(dir / "test.board", earlier);
  writebytes(dir / "default.board", bytes(sample.begin(), sample.end() - 1));
  run = runin(TRACKCOPY, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Error reading load file.\n");
  EXPECT_EQ(readbytes(dir / "test.board"), earlier);
}

TEST(Trackcopy, ReportsAnOutputThatCannotBeWritten) {
  const scratchdir dir;
  writebytes(dir / "default.board", sample);
  expectunwritable(TRACKCOPY, dir, "test.board");
}

// trackgen and trackcopy write in the current folder and take no arguments:
// asked for help they answer, given anything else they refuse, and neither
// writes a byte.
TEST(ToolsWithoutArguments, AnswerHelpOrRefuseAndWriteNothing) {
  struct tool {
    const char* path;
    std::string name;
  };
  struct call {
    const char* args;
    int status;
    std::string printed;  // how standard output begins, before the tool's name
    bool complains;       // and then standard output is empty
  };
  const call calls[] = {{"--help", 0, "usage: ", false},
                        {"--version", 0, "", false},
                        {"--bogus", 2, "", true},
                        {"3player.board", 2, "", true},
                        {"--", 2, "", true}};
  for (const tool& t : {tool{TRACKGEN, "trackgen"}, {TRACKCOPY, "trackcopy"}}) {
    for (const call& c : calls) {
      SCOPED_TRACE(t.name + " " + c.args);
      const scratchdir dir;
      for (const char* name :
           {"default.board", "test.board", "3player.board"}) {
        writebytes(dir / name, sample);
      }
      const runresult run = runin(t.path, dir, c.args);
      EXPECT_EQ(run.status, c.status);
      EXPECT_EQ(run.output.starts_with(c.printed + t.name), !c.complains);
      EXPECT_EQ(run.output.empty(), c.complains);
      EXPECT_EQ(run.errors.starts_with(t.name + ": "), c.complains);
      EXPECT_EQ(run.errors.find("usage: " + t.name) != std::string::npos,
                c.complains);
      std::size_t files = 0;
      for (const auto& entry :
           std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(readbytes(entry.path()), sample) << entry.path();
        ++files;
      }
      EXPECT_EQ(files, 3u);
    }
  }
}
