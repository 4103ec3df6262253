#ifndef TRACKCHECK_DRAW_H_
#define TRACKCHECK_DRAW_H_

#include <string>

#include "board/boardtype.h"

// How the picture is drawn: in the terminal's colors or plainly, and with
// or without its holes marked.
struct drawingtype {
  bool color = false;
  bool holes = false;
};

// The picture between two rules, a line per row, under rulers that number
// every tenth column and at the left of row numbers; cells look as
// board/boardlook.h says. In color each cell takes its color pair as
// (foreground, background): 0 to 7 the standard colors, 8 to 15 their bright
// forms, 16 to 255 the 256-color palette; a color index without a pair is
// drawn plainly, and the finish in bold in colors of its own. Plainly a
// hole shows its track's glyph and the finish "*".
std::string drawpicture(const boardtype& board, drawingtype how);

#endif  // TRACKCHECK_DRAW_H_
