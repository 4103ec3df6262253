// Saving a board file: the board is checked against what the file can hold,
// then put in the target's place by the machinery in filereplace.cpp, which
// leaves every reader the old board or the new one whole.

#include <cstdio>

#include "board/boardfile.h"

namespace boards {

saveresulttype writeboardfile(const char* path, const boardtype& board,
                              const saveoptions& options) {
  if (saveresulttype refused = checkencodable(board); !refused.ok()) {
    return refused;
  }
  const std::uint64_t length =
      boardfilelength(board.width, board.height, board.holecount,
                      board.trackcount, board.paircount);
  return writefile(
      path, length,
      [&board](const bytesink& sink) { return encodeboard(board, sink); },
      options);
}

}  // namespace boards

std::int32_t boardtype::save(const char* path) const {
  using fault = boards::saveresulttype::fault;
  const boards::saveresulttype result = boards::writeboardfile(path, *this);
  if (result.ok()) return 0;
  std::fputs(result.what == fault::cannotopen ? "Error opening save file.\n"
                                              : "Error writing save file.\n",
             stdout);
  return 1;
}
