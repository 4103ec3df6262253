// The tools' saves as a shell drives them, and loads of hostile files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "board/int32.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;

namespace {

const std::string text = std::string(BOARDS_DIR) + "/2player.txt";

bytes builtboard(const scratchdir& dir) {
  EXPECT_EQ(runin(TRACKBUILD, dir, "'" + text + "' built.board").status, 0);
  return readbytes(dir / "built.board");
}

// Runs a command line under bash, which reads $'...' as the tools quote.
runresult inbash(const scratchdir& dir, const std::string& line) {
  return runin("bash", dir, "-c \"" + line + "\"");
}

std::string asstring(const bytes& content) {
  return std::string(content.begin(), content.end());
}

}  // namespace

TEST(Toolsaves, StandardOutputIsWrittenWhereTheShellOpenedIt) {
  const scratchdir dir;
  const std::string board = asstring(builtboard(dir));
  writebytes(dir / "log", {'e', 'a', 'r', 'l', 'y', '\n'});
  // ">>" appends, a pipe receives the board, and "-" is standard output.
  const auto shell = [&dir](const std::string& line) {
    return inbash(dir, line).status;
  };
  const std::string build = "'" TRACKBUILD "' '" + text + "' ";
  for (const char* output : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
    EXPECT_EQ(shell(build + output + " >> log"), 0);
    EXPECT_EQ(shell(build + output + " | cat > piped"), 0);
    EXPECT_TRUE(asstring(readbytes(dir / "piped")) == board) << output;
  }
  EXPECT_EQ(shell(build + "- > dashed"), 0);
  EXPECT_TRUE(asstring(readbytes(dir / "dashed")) == board);
  EXPECT_TRUE(asstring(readbytes(dir / "log")) ==
              "early\n" + board + board + board);
}

TEST(Toolsaves, AFailedSaveIsToldOnStandardErrorWithTheQuotedName) {
  const scratchdir dir;
  const runresult run =
      inbash(dir, "'" TRACKBUILD "' '" + text + "' $'none/\\e[2J.board'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "");
  EXPECT_TRUE(
      run.errors.starts_with("trackbuild: $'none/\\e[2J.board': cannot open"))
      << run.errors;
  const runresult check =
      inbash(dir, "'" TRACKCHECK "' $'evil\\e]0;owned\\a.board'");
  EXPECT_EQ(check.output.find('\x1b'), std::string::npos);
  EXPECT_TRUE(check.output.starts_with("$'evil\\e]0;owned\\a.board': "));
}

TEST(Toolsaves, AHeadClaimingMoreThanMemoryHoldsIsALoadFault) {
#ifdef BOARDS_SANITIZE
  GTEST_SKIP() << "AddressSanitizer cannot run under a memory limit";
#endif
  const scratchdir dir;
  // A sparse file as long as its head claims: 2^31 - 1 rows of width 0.
  bytes head(36, 0);
  boards::putint32(head.data() + 20, 0x7fffffff);
  writebytes(dir / "default.board", head);
  fs::resize_file(dir / "default.board",
                  36 + 2 * std::uint64_t{0x7fffffff} + 2);
  for (const char* tool : {TRACKCHECK, TRACKDUMP, TRACKCOPY}) {
    // A limit keeps the test from taking what the head asks for; trackcopy
    // reads default.board unasked, under the library's own limit.
    const std::string file =
        tool == std::string(TRACKCOPY) ? "" : " --max-size=8G default.board";
    const runresult run =
        inbash(dir, "ulimit -v 1000000; '" + std::string(tool) + "'" + file);
    EXPECT_EQ(run.status, 1) << tool;
    EXPECT_NE(
        (run.output + run.errors)
            .find(std::string(tool) == TRACKCOPY ? "Error reading load file."
                                                 : "not enough memory"),
        std::string::npos)
        << tool << ": " << run.output << run.errors;
  }
  EXPECT_FALSE(fs::exists(dir / "test.board"));
}
