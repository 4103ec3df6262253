#include "board/boardfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "board/int32.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

using namespace boards;

namespace {

using fault = loadresulttype::fault;

struct shape {
  std::int32_t h, w, n, t, p;
};
// Zero sizes in every section, alone and together.
constexpr shape shapes[] = {{0, 0, 0, 0, 0}, {3, 4, 5, 2, 3}, {2, 0, 0, 0, 0},
                            {0, 6, 4, 0, 1}, {1, 1, 0, 3, 0}, {4, 2, 3, 0, 2},
                            {0, 0, 2, 1, 0}};

bytes encoded(const boardtype& board) { return encodeboard(board); }

bytes head(std::int32_t w, std::int32_t h, std::int32_t n, std::int32_t t,
           std::int32_t p) {
  bytes out(boardheadlength, 0);
  const std::int32_t sizes[] = {w, h, n, t, p};
  for (int i = 0; i < 5; ++i) putint32(out.data() + 16 + 4 * i, sizes[i]);
  return out;
}

// Loads the file into a board that already holds something and expects the
// load to fail with the message, leaving the board exactly as it was.
void expectrejected(const std::string& path, const std::string& message) {
  const auto board = sampleboard(1, 2, 1, 1, 1);
  const bytes before = encoded(*board);
  testing::internal::CaptureStdout();
  EXPECT_EQ(board->load(path.c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
  EXPECT_EQ(encoded(*board), before);
}

constexpr char readerror[] = "Error reading load file.\n";

}  // namespace

TEST(Boardfile, Int32IsLittleEndianTwosComplement) {
  unsigned char out[4];
  putint32(out, -2);
  EXPECT_EQ(bytes(out, out + 4), (bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  putint32(out, 0x01020304);
  EXPECT_EQ(bytes(out, out + 4), (bytes{4, 3, 2, 1}));
  for (const std::int32_t value :
       {0, 1, -1, 300, std::numeric_limits<std::int32_t>::min(),
        std::numeric_limits<std::int32_t>::max()}) {
    putint32(out, value);
    EXPECT_EQ(getint32(out), value);
  }
}

TEST(Boardfile, ExactBytesOfASmallBoard) {
  boardtype board(1, 2, 1, 2, 1);
  const std::int32_t header[4] = {1, -2, 300, 0x01020304};
  std::copy_n(header, 4, board.header);
  board.picture[0][0] = 'a';
  board.picture[0][1] = 'b';
  board.picture[0][2] = '\0';
  board.colormap[0][0] = 1;
  board.colormap[0][1] = 2;
  board.pairs[0][0] = 3;
  board.pairs[0][1] = 4;
  board.tracks[0][0].set(2, 44);
  board.trackcolor[0] = 5;
  board.tracks[1][0].set(7, 6);
  board.trackcolor[1] = 1;
  board.finish.set(5, 44);
  // clang-format off
  const bytes expected = {
      1, 0, 0, 0,  0xFE, 0xFF, 0xFF, 0xFF,  44, 1, 0, 0,  4, 3, 2, 1,  // header
      2, 0, 0, 0,  1, 0, 0, 0,  1, 0, 0, 0,  2, 0, 0, 0,  1, 0, 0, 0,  // sizes
      'a', 'b', 0,  // picture
      1, 2, 0,      // colormap
      3, 4,         // pairs
      44, 2, 5,     // track 0
      6, 7, 1,      // track 1
      44, 5};       // finish
  // clang-format on
  EXPECT_EQ(encoded(board), expected);
  EXPECT_EQ(boardfilelength(2, 1, 1, 2, 1), expected.size());
}

TEST(Boardfile, EmptyBoardIsThirtyEightZeroBytes) {
  EXPECT_EQ(encoded(boardtype()), bytes(38, 0));
}

TEST(Boardfile, RoundTripsThroughFilesByteForByte) {
  const scratchdir dir;
  const std::string first = dir / "first.board";
  const std::string second = dir / "second.board";
  for (const shape& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.h << " " << s.w << " " << s.n << " "
                                    << s.t << " " << s.p);
    const auto board = sampleboard(s.h, s.w, s.n, s.t, s.p);
    ASSERT_EQ(board->save(first.c_str()), 0);
    boardtype copy;
    ASSERT_EQ(copy.load(first.c_str()), 0);
    ASSERT_EQ(copy.save(second.c_str()), 0);
    EXPECT_EQ(readbytes(second), readbytes(first));
    EXPECT_EQ(readbytes(first).size(),
              boardfilelength(s.w, s.h, s.n, s.t, s.p));
  }
}

TEST(Boardfile, DecodedValuesAreTheFileBytes) {
  const auto board = sampleboard(2, 3, 2, 2, 2);
  board->tracks[1][1].set(2, 255);
  board->trackcolor[0] = 255;
  boardtype copy;
  ASSERT_TRUE(decodeboard(encoded(*board), copy).ok());
  EXPECT_EQ(copy.tracks[1][1].y, 2);
  EXPECT_EQ(copy.tracks[1][1].x, 255);
  EXPECT_EQ(copy.trackcolor[0], 255);
  EXPECT_EQ(copy.header[1], -2);
  EXPECT_EQ(copy.picture[1][3], ' ');
  EXPECT_EQ(copy.finish.x, 9);
  EXPECT_EQ(copy.finish.y, 8);
}

TEST(Boardfile, TrailingBytesAreDropped) {
  const scratchdir dir;
  const bytes whole = encoded(*sampleboard(3, 4, 5, 2, 3));
  bytes longer = whole;
  longer.insert(longer.end(), {'x', 'y', 'z'});
  writebytes(dir / "long.board", longer);
  boardtype board;
  const loadresulttype result =
      readboardfile((dir / "long.board").c_str(), board);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.needed, whole.size());
  EXPECT_EQ(result.found, longer.size());
  EXPECT_EQ(encoded(board), whole);
}

TEST(Boardfile, EveryCutOfAValidFileIsRejected) {
  const scratchdir dir;
  const std::string path = dir / "cut.board";
  const bytes whole = encoded(*sampleboard(3, 4, 5, 2, 3));
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    const bytes cut(whole.begin(), whole.begin() + length);
    boardtype board;
    const loadresulttype result = decodeboard(cut, board);
    EXPECT_EQ(result.what,
              length < boardheadlength ? fault::shorthead : fault::shortlayout);
    EXPECT_EQ(result.found, length);
    EXPECT_EQ(board.height, 0);
    writebytes(path, cut);
    expectrejected(path, readerror);
  }
}

TEST(Boardfile, NegativeSizesAreNamed) {
  const char* names[] = {"width", "height", "holecount", "trackcount",
                         "paircount"};
  for (int i = 0; i < 5; ++i) {
    bytes input = head(0, 0, 0, 0, 0);
    input.resize(1000);
    putint32(input.data() + 16 + 4 * i, -1 - i);
    boardtype board;
    const loadresulttype result = decodeboard(input, board);
    EXPECT_EQ(result.what, fault::negativesize);
    EXPECT_STREQ(result.size, names[i]);
    EXPECT_EQ(result.value, -1 - i);
    EXPECT_EQ(result.describe(), std::string("negative ") + names[i] + ": " +
                                     std::to_string(-1 - i));
  }
}

TEST(Boardfile, HugeSizesAreCountedIn64Bits) {
  // 2 * 32768 * 65536 is 2^32: in 32 bits the grids would take no bytes.
  bytes input = head(65535, 32768, 0, 0, 0);
  input.resize(38);
  boardtype board;
  loadresulttype result = decodeboard(input, board);
  EXPECT_EQ(result.what, fault::shortlayout);
  EXPECT_EQ(result.needed, 38 + (std::uint64_t{1} << 32));
  EXPECT_EQ(result.describe(),
            "shorter than its layout: needs 4294967334 bytes, has 38");

  constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
  result = decodeboard(head(most, most, most, most, most), board);
  EXPECT_EQ(result.what, fault::shortlayout);
  EXPECT_EQ(result.needed, 18446744067267100709u);
  EXPECT_EQ(board.height, 0);
}

TEST(Boardfile, LoadReportsWhatCannotBeRead) {
  const scratchdir dir;
  expectrejected(dir / "missing.board", "Error opening load file.\n");
  expectrejected(dir.path().string(), readerror);
  const std::string fifo = dir / "fifo.board";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  expectrejected(fifo, readerror);  // returns at once: nobody writes to it
  bytes negative = head(0, -5, 0, 0, 0);
  negative.resize(200);
  writebytes(dir / "negative.board", negative);
  expectrejected(dir / "negative.board", readerror);

  boardtype board;
  EXPECT_EQ(readboardfile(fifo.c_str(), board).what, fault::notregular);
  EXPECT_EQ(readboardfile((dir / "missing.board").c_str(), board).describe(),
            "cannot open: No such file or directory");
}

TEST(Boardfile, SaveReportsWhatCannotBeWritten) {
  const scratchdir dir;
  const auto board = sampleboard(2, 2, 2, 2, 2);
  testing::internal::CaptureStdout();
  EXPECT_EQ(board->save(dir.path().c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error opening save file.\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(board->save("/dev/full"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error writing save file.\n");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST(Boardfile, SourcesMayHandOutFewerBytesThanAskedFor) {
  const bytes whole = encoded(*sampleboard(30, 40, 5, 2, 3));
  std::span<const unsigned char> rest(whole);
  const bytesource trickle = [&rest](std::size_t most) {
    const auto view = rest.first(std::min({most, rest.size(), std::size_t{7}}));
    rest = rest.subspan(view.size());
    return view;
  };
  boardtype board;
  ASSERT_TRUE(decodeboard(trickle, whole.size(), board).ok());
  EXPECT_EQ(encoded(board), whole);
}

TEST(Boardfile, ASourceThatFailsPartWayLeavesTheBoardAsItWas) {
  // Like a file that shrinks while it is read: the head promised the bytes.
  const bytes whole = encoded(*sampleboard(30, 40, 5, 2, 3));
  for (const std::size_t failat :
       {std::size_t{0}, std::size_t{20}, std::size_t{36}, std::size_t{1000},
        whole.size() - 1}) {
    SCOPED_TRACE(failat);
    const std::span<const unsigned char> cut(whole.data(), failat);
    std::span<const unsigned char> rest = cut;
    const bytesource failing = [&rest](std::size_t most) {
      const auto view = rest.first(std::min(most, rest.size()));
      rest = rest.subspan(view.size());
      return view;
    };
    const auto board = sampleboard(1, 2, 1, 1, 1);
    const bytes before = encoded(*board);
    EXPECT_EQ(decodeboard(failing, whole.size(), *board).what,
              fault::readfailed);
    EXPECT_EQ(encoded(*board), before);
  }
}
