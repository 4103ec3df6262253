#include "board/boardtype.h"

#include <algorithm>
#include <cstddef>

void holetype::set(std::int32_t row, std::int32_t column) {
  y = row;
  x = column;
}

boardtype::boardtype(std::int32_t height, std::int32_t width,
                     std::int32_t holecount, std::int32_t trackcount,
                     std::int32_t paircount) {
  initialize(height, width, holecount, trackcount, paircount);
}

void boardtype::initialize(std::int32_t h, std::int32_t w, std::int32_t n,
                           std::int32_t t, std::int32_t p) {
  // Release the old arrays before the new ones are made, so that a board
  // never holds two boards' worth of memory.
  trackcolor.reset();
  picture.reset();
  colormap.reset();
  pairs.reset();
  tracks.reset();

  height = h;
  width = w;
  trackcolor = std::make_unique<std::int32_t[]>(t);
  picture = std::make_unique<std::unique_ptr<char[]>[]>(h);
  colormap = std::make_unique<std::unique_ptr<unsigned char[]>[]>(h);
  pairs = std::make_unique<std::unique_ptr<unsigned char[]>[]>(p);
  paircount = p;
  for (std::int32_t i = 0; i < p; ++i) {
    pairs[i] = std::make_unique<unsigned char[]>(2);
  }
  // Computed in size_t: width + 1 would overflow an int32 at its maximum.
  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r) {
    picture[r] = std::make_unique<char[]>(rowlength);
    std::fill_n(picture[r].get(), rowlength, ' ');
    colormap[r] = std::make_unique<unsigned char[]>(rowlength);
  }
  holecount = n;
  trackcount = t;
  tracks = std::make_unique<std::unique_ptr<holetype[]>[]>(t);
  for (std::int32_t i = 0; i < t; ++i) {
    tracks[i] = std::make_unique<holetype[]>(n);
  }
}
