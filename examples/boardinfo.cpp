// boardinfo BOARD COPY: loads a board file, prints what it holds and what is
// wrong with it, and saves it again as COPY. A program that plays on boards
// starts the same way; it shows every failure in its own way, as the library
// never prints.

#include <board/boardcheck.h>
#include <board/boardfile.h>
#include <board/boardtype.h>
#include <board/version.h>

#include <cstdio>

static_assert(BOARDS_VERSION_MAJOR == 1 && BOARDS_VERSION_MINOR >= 1,
              "boardinfo needs the silent save and the checks of 1.1");

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: boardinfo BOARD COPY\n", stderr);
    return 2;
  }
  boards::boardtype board;
  const boards::loadresulttype loaded = boards::readboardfile(argv[1], board);
  if (!loaded.ok()) {
    std::fprintf(stderr, "boardinfo: %s: %s\n", argv[1],
                 loaded.describe().c_str());
    return 1;
  }
  std::printf("%d x %d picture, %d pairs, %d tracks of %d holes\n", board.width,
              board.height, board.paircount, board.trackcount, board.holecount);
  for (int t = 0; t < board.trackcount; ++t) {
    const auto holes = board.trackholes(t);
    if (holes.empty()) break;
    std::printf("track %d, color %d: from (%d, %d) to (%d, %d)\n", t,
                board.trackcolor[t], holes.front().y, holes.front().x,
                holes.back().y, holes.back().x);
  }
  std::printf("finish at (%d, %d)\n", board.finish.y, board.finish.x);
  for (const boards::boardproblem& problem : boards::checkboard(board)) {
    std::printf("problem: %s\n", problem.message.c_str());
  }
  const boards::saveresulttype saved = boards::writeboardfile(argv[2], board);
  if (!saved.ok()) {
    std::fprintf(stderr, "boardinfo: %s: %s\n", argv[2],
                 saved.describe().c_str());
    return 1;
  }
  return 0;
}
