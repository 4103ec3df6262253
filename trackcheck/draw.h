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

// The picture between two rules, a line per row; bytes that are not
// printable show as "?". In color each cell takes its color pair as
// (foreground, background): 0 to 7 the standard colors, 8 to 15 their bright
// forms, 16 to 255 the 256-color palette; a color index without a pair is
// drawn plainly. With holes, a hole takes its track's pair in color and
// shows its track's number (0-9, then a-z, then +) plainly; the finish is
// drawn in reverse video in color and as "*" plainly.
std::string drawpicture(const boardtype& board, drawingtype how);

#endif  // TRACKCHECK_DRAW_H_
