#ifndef TRACKEDIT_LOOK_H_
#define TRACKEDIT_LOOK_H_

// What a cell of the board shows: the one place the editor decides it.

#include <cstdint>

#include "trackedit/model.h"

namespace trackedit {

struct looktype {
  char glyph = ' ';         // what the cell shows
  std::int32_t pair = -1;   // its pair index, -1 when it has none
  bool finish = false;      // the finish: drawn in reverse video
  std::int32_t track = -1;  // the track whose hole stands there, if any
};

// The cell as the board's checker draws it with its holes: a hole takes its
// track's pair (the last track's, where several meet), the finish stands out
// and an unprintable byte shows as "?". Plainly, without colors, a hole
// shows its track's glyph and the finish "*".
looktype lookof(const document& doc, celltype cell, bool plain);

}  // namespace trackedit

#endif  // TRACKEDIT_LOOK_H_
