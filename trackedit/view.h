#ifndef TRACKEDIT_VIEW_H_
#define TRACKEDIT_VIEW_H_

// Draws the editor on the curses screen: rulers over the columns and beside
// the rows, the cells of the board that fit, the status line and the
// message (or the mode's hints) at the foot; and the help, a page at a time.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "board/boardlook.h"
#include "trackedit/commands.h"

namespace trackedit {

class view {
 public:
  view();

  // Tells the editor how many cells the screen has, then draws it.
  void draw(editor& state);
  // Whether the screen has room for a cell at all.
  bool fits(const editor& state) const;
  // The board's cell under the screen's (y, x); none off the board's part.
  std::optional<celltype> cellat(const editor& state, int y, int x) const;
  // Puts the terminal's cursor on the message's character at a byte
  // offset: where an answer is typed.
  void cursorinmessage(const editor& state, std::size_t offset) const;
  // The help from its line first; the number of lines a page shows.
  int drawhelp(int first);

 private:
  int left(const editor& state) const;
  void drawrulers(const editor& state);
  void drawcells(const editor& state);
  void drawfoot(const editor& state);
  std::vector<std::string> messagelines(const editor& state) const;
  int firstmessagerow(const editor& state) const;
  void drawswatches(const editor& state);
  short cursespair(boards::colorpair pair);

  const bool colored_;
  std::map<int, short> cursespairs_;
  short nextpair_ = 1;
};

}  // namespace trackedit

#endif  // TRACKEDIT_VIEW_H_
