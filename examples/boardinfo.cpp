// boardinfo BOARD COPY: loads a board file, prints what it holds, and saves
// it again as COPY. A program that plays on boards starts the same way.

#include <board/boardfile.h>
#include <board/boardtype.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: boardinfo BOARD COPY\n", stderr);
    return 2;
  }
  boardtype board;
  const boards::loadresulttype loaded = boards::readboardfile(argv[1], board);
  if (!loaded.ok()) {
    std::fprintf(stderr, "boardinfo: %s: %s\n", argv[1],
                 loaded.describe().c_str());
    return 1;
  }
  std::printf("%d x %d picture, %d pairs, %d tracks of %d holes\n", board.width,
              board.height, board.paircount, board.trackcount, board.holecount);
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    if (board.holecount == 0) break;
    const holetype& first = board.tracks[t][0];
    const holetype& last = board.tracks[t][board.holecount - 1];
    std::printf("track %d, color %d: from (%d, %d) to (%d, %d)\n", t,
                board.trackcolor[t], first.y, first.x, last.y, last.x);
  }
  std::printf("finish at (%d, %d)\n", board.finish.y, board.finish.x);
  return board.save(argv[2]) == 0 ? 0 : 1;
}
