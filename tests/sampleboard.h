#ifndef TESTS_SAMPLEBOARD_H_
#define TESTS_SAMPLEBOARD_H_

#include <cstdint>
#include <memory>

#include "board/boardtype.h"

// A board of the given sizes whose every byte is set, and set differently
// from its neighbours, so that a section out of place shows.
inline std::unique_ptr<boardtype> sampleboard(std::int32_t h, std::int32_t w,
                                              std::int32_t n, std::int32_t t,
                                              std::int32_t p) {
  auto board = std::make_unique<boardtype>(h, w, n, t, p);
  const std::int32_t header[4] = {1, -2, 300, 0x7fffffff};
  std::copy_n(header, 4, board->header);
  for (std::int32_t r = 0; r < h; ++r) {
    for (std::int32_t c = 0; c < w; ++c) {
      board->picture[r][c] = static_cast<char>('a' + (r * 7 + c) % 26);
      board->colormap[r][c] = static_cast<unsigned char>((r + c) % 5 + 1);
    }
    board->picture[r][w] = r % 2 == 0 ? '\0' : ' ';
  }
  for (std::int32_t i = 0; i < p; ++i) {
    board->pairs[i][0] = static_cast<unsigned char>(i);
    board->pairs[i][1] = static_cast<unsigned char>(200 + i);
  }
  for (std::int32_t k = 0; k < t; ++k) {
    for (std::int32_t i = 0; i < n; ++i) {
      board->tracks[k][i].set((i * 7 + k) % 256, (k * 31 + i * 3) % 256);
    }
    board->trackcolor[k] = k + 2;
  }
  board->finish.set(8, 9);
  return board;
}

#endif  // TESTS_SAMPLEBOARD_H_
