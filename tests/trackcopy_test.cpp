#include <gtest/gtest.h>

#include <filesystem>

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
