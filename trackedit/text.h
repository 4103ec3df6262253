#ifndef TRACKEDIT_TEXT_H_
#define TRACKEDIT_TEXT_H_

// The lines of text the screen shows around the board: the status line, the
// mode's hint and the help, each made to fit the width it is given.

#include <string>
#include <utility>
#include <vector>

#include "trackedit/commands.h"

namespace trackedit {

// The status line in at most width columns. When everything does not fit,
// the least needed parts go first (the file's name, the cell's character,
// the mark, the track); the mode, the position, the problem count and
// "modified" always stay.
std::string statusline(const editor& state, int width);

// What the main keys of the mode are, in at most 60 columns.
std::string hints(const editor& state);

// The help: every key and the mouse, a line each of at most 60 columns.
const std::vector<std::string>& helplines();

// The text in lines of at most width characters (UTF-8 sequences kept
// whole), broken at a space where there is one, which the break takes; a
// word longer than a line is cut.
std::vector<std::string> wrapped(const std::string& text, int width);

// Where the byte at offset falls in those lines: the line and the column
// in characters; past the end of a full line, the start of the next.
std::pair<int, int> wrappedplace(const std::string& text, int width,
                                 std::size_t offset);

// A line being typed in answer to a question: the text and the cursor in
// it, a byte offset. Left, Right, Home, End, Backspace, Delete and Ctrl-U
// edit it; other printable keys are typed at the cursor.
struct answerline {
  std::string text;
  std::size_t at = 0;
  void key(int key);
};

// A color index as one character: 0-9, a-z, then + above 35.
char indexglyph(unsigned char index);

}  // namespace trackedit

#endif  // TRACKEDIT_TEXT_H_
