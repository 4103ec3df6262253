// Reads "default.board" and writes the same board as "test.board". Nothing is
// written when the input cannot be read, nor when any argument is given; the
// exit status is 0 only when "test.board" was written whole.

#include "board/boardtype.h"
#include "tools/arguments.h"

namespace {

constexpr const char* usage =
    "usage: trackcopy\n"
    "Copies the board file default.board to test.board, in the current "
    "folder.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status =
          tools::refusearguments(argc, argv, "trackcopy", usage)) {
    return *status;
  }
  boardtype board;
  if (board.load("default.board") != 0) return 1;
  return board.save("test.board") == 0 ? 0 : 1;
}
