#ifndef TRACKDUMP_SVG_H_
#define TRACKDUMP_SVG_H_

#include <functional>
#include <string_view>

#include "board/boardtype.h"

// Takes the image piece by piece; false when a piece could not be written.
using svgsink = std::function<bool(std::string_view)>;

// Writes the picture as an SVG image, a cell of 10x20 pixels per character
// in a monospace font, each character a text element of its own in the
// middle of its cell, so that every renderer puts it there. Each cell is in
// its pair's colors as board/boardlook.h says (a color index without a pair
// in light gray on black), the finish in bold in its own colors, with holes
// or without; with holes, each hole in its track's colors. Bytes that are
// not printable show as "?". The image is written a row at a time; false as
// soon as the sink fails.
bool writesvg(const boardtype& board, bool holes, const svgsink& sink);

#endif  // TRACKDUMP_SVG_H_
