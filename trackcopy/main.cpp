// Reads "default.board" and writes the same board as "test.board". Nothing is
// written when the input cannot be read; the exit status is 0 only when
// "test.board" was written whole.

#include "board/boardtype.h"

int main() {
  boardtype board;
  if (board.load("default.board") != 0) return 1;
  return board.save("test.board") == 0 ? 0 : 1;
}
