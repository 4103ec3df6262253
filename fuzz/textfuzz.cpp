// The fuzz entry point over the board's text. Every input must either be
// refused with located problems, in the order of the text, and the board
// untouched, or build a board whose text, with rows and with fills, builds
// the same board again and is itself the same text; anything else aborts.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "board/boardfile.h"
#include "board/boardtext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  boardtype board;
  const auto problems = boards::readboardtext(text, board);
  if (!problems.empty()) {
    std::uint64_t line = 0;
    for (const boards::textproblem& problem : problems) {
      if (problem.line == 0 || problem.column == 0 || problem.message.empty())
        std::abort();
      // Told in the order of the text: a fault ends its statement, and
      // nothing after it on its line is read.
      if (problem.line < line) std::abort();
      line = problem.line;
    }
    if (board.height != 0 || board.trackcount != 0 || board.paircount != 0)
      std::abort();
    return 0;
  }
  for (const bool fills : {false, true}) {
    const std::string written =
        boards::writeboardtext(board, boards::textoptions{.fills = fills});
    boardtype again;
    if (!boards::readboardtext(written, again).empty()) std::abort();
    if (boards::encodeboard(again) != boards::encodeboard(board)) std::abort();
    if (boards::writeboardtext(again, boards::textoptions{.fills = fills}) !=
        written)
      std::abort();
  }
  return 0;
}
