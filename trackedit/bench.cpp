// trackedit_bench SMALL.board SCRATCH: what a key of the editor costs over
// the model, on the board in SMALL.board and on the largest board the editor
// is made for (255x255, 9 tracks of 2,000 holes, written to SCRATCH and
// opened from there). A key is its edit and the frame that follows it: the
// looks of the cells on the screen, the hole numbers of the first track on
// them and the status line's hole lookup. A frame costs in proportion to the
// cells shown, so the two boards are compared on the same screen: one the
// small board fills (its size plus rulers and status), and 80x24, where the
// small board leaves most of the screen empty. Then the slowest keys on the
// large board, in milliseconds.
// Prints "name value" lines for bench/run.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "board/boardfile.h"
#include "trackedit/look.h"
#include "trackedit/model.h"

namespace {

using trackedit::celltype;
using trackedit::document;
using clocktype = std::chrono::steady_clock;

// The cells a screen shows of the board.
struct screentype {
  std::int32_t rows, columns;
};
constexpr int keys = 4000;

double seconds(clocktype::time_point since) {
  return std::chrono::duration<double>(clocktype::now() - since).count();
}

// The frame after a key: a viewport that keeps the cursor in view.
std::uint64_t frame(const document& doc, celltype cursor, screentype screen) {
  const celltype first{std::max(0, cursor.row - screen.rows / 2),
                       std::max(0, cursor.column - screen.columns / 2)};
  std::uint64_t sum = doc.holeat(0, cursor).value_or(0) + doc.modified();
  for (const std::int32_t n :
       trackedit::holenumbers(doc, 0, first, screen.rows, screen.columns)) {
    sum += n;
  }
  trackedit::eachcell(doc, first, screen.rows, screen.columns,
                      [&sum](int, int, const boards::celllook& look,
                             std::optional<boards::colorpair> colors) {
                        sum += look.glyph + (colors ? (*colors)[0] : 0);
                      });
  return sum;
}

// The cursor's walk: a cell per key, row by row across the whole board.
celltype walk(const document& doc, int key) {
  return {key / doc.width() % doc.height(), key % doc.width()};
}

struct costs {
  double move, paint, undo;  // seconds per key
};

costs measure(document& doc, screentype screen) {
  std::uint64_t sink = 0;
  costs result{};
  auto start = clocktype::now();
  for (int k = 0; k < keys; ++k) sink += frame(doc, walk(doc, k), screen);
  result.move = seconds(start) / keys;
  start = clocktype::now();
  for (int k = 0; k < keys; ++k) {
    const celltype cell = walk(doc, k);
    doc.setcolors(cell, cell, static_cast<unsigned char>(1 + k % 3));
    sink += frame(doc, cell, screen);
  }
  result.paint = seconds(start) / keys;
  start = clocktype::now();
  for (int k = keys; k-- > 0;) {
    doc.undo();
    sink += frame(doc, walk(doc, k), screen);
  }
  result.undo = seconds(start) / keys;
  if (sink == 42) std::puts("");  // keeps the frames from being optimised out
  return result;
}

// 255x255 cells, pairs for every color index, 9 tracks of 2,000 holes.
boardtype largeboard() {
  boardtype board(255, 255, 2000, 9, 8);
  std::mt19937 random(7);
  for (std::int32_t r = 0; r < 255; ++r) {
    for (std::int32_t c = 0; c < 255; ++c) {
      board.picture[r][c] = static_cast<char>('!' + random() % 90);
      board.colormap[r][c] = static_cast<unsigned char>(random() % 8);
    }
  }
  for (std::int32_t i = 0; i < 8; ++i) {
    board.pairs[i][0] = static_cast<unsigned char>(i);
    board.pairs[i][1] = static_cast<unsigned char>(7 - i);
  }
  for (std::int32_t t = 0; t < 9; ++t) {
    board.trackcolor[t] = t % 8;
    for (std::int32_t i = 0; i < 2000; ++i) {
      board.tracks[t][i].set((t * 28 + i / 255) % 255, i % 255);
    }
  }
  return board;
}

// The slowest keys, each with its frame: a fill of the whole picture, a
// paste of 100x100 cells, a copy of a track of 2,000 holes, and the undo of
// each; the median of a few runs, in seconds.
struct largecosts {
  double fill, fillundo, paste, pasteundo, copy, copyundo;
};

template <class edit>
double timed(const document& doc, celltype cursor, screentype screen,
             edit&& run) {
  const auto start = clocktype::now();
  run();
  const std::uint64_t sum = frame(doc, cursor, screen);
  if (sum == 42) std::puts("");
  return seconds(start);
}

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

largecosts measurelarge(document& doc, screentype screen) {
  const std::vector<char> characters(100 * 100, '#');
  const std::vector<unsigned char> colors(100 * 100, 3);
  const celltype corner{doc.height() - 1, doc.width() - 1};
  std::vector<double> times[6];
  for (int run = 0; run < 7; ++run) {
    const char fill = static_cast<char>('a' + run);
    times[0].push_back(timed(doc, corner, screen, [&] {
      doc.setcharacters({0, 0}, corner, fill);
    }));
    times[1].push_back(timed(doc, corner, screen, [&] { doc.undo(); }));
    times[2].push_back(timed(doc, {50, 50}, screen, [&] {
      doc.setcells({50, 50}, 100, 100, characters, colors, "paste 100x100");
    }));
    times[3].push_back(timed(doc, {50, 50}, screen, [&] { doc.undo(); }));
    times[4].push_back(timed(doc, {0, 0}, screen, [&] {
      doc.copytrack(0, trackedit::copykind::mirrorrows);
    }));
    times[5].push_back(timed(doc, {0, 0}, screen, [&] { doc.undo(); }));
  }
  return {median(times[0]), median(times[1]), median(times[2]),
          median(times[3]), median(times[4]), median(times[5])};
}

// Median seconds to read the board file and make the document of it.
double opening(const char* path) {
  std::vector<double> times;
  for (int run = 0; run < 9; ++run) {
    const auto start = clocktype::now();
    boardtype board;
    if (!boards::readboardfile(path, board).ok()) return -1;
    const document doc(board);
    times.push_back(seconds(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void print(const char* board, const char* screen, const costs& c) {
  std::printf("%s %s move %.2f\n%s %s paint %.2f\n%s %s undo %.2f\n", board,
              screen, c.move * 1e6, board, screen, c.paint * 1e6, board, screen,
              c.undo * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: trackedit_bench SMALL.board SCRATCH\n", stderr);
    return 2;
  }
  boardtype small;
  if (!boards::readboardfile(argv[1], small).ok()) {
    std::fprintf(stderr, "trackedit_bench: cannot read %s\n", argv[1]);
    return 1;
  }
  if (!boards::writeboardfile(argv[2], largeboard()).ok()) {
    std::fprintf(stderr, "trackedit_bench: cannot write %s\n", argv[2]);
    return 1;
  }
  document smalldoc(small);
  boardtype large;
  boards::readboardfile(argv[2], large);
  document largedoc(large);
  const screentype filled{small.height, small.width};
  const screentype common{24 - 4, 80 - 4};
  print("small", "filled", measure(smalldoc, filled));
  print("large", "filled", measure(largedoc, filled));
  print("small", "80x24", measure(smalldoc, common));
  print("large", "80x24", measure(largedoc, common));
  std::printf("open %.3f\n", opening(argv[2]) * 1e3);
  const largecosts slow = measurelarge(largedoc, common);
  std::printf(
      "fill %.3f\nfill-undo %.3f\npaste %.3f\npaste-undo %.3f\n"
      "copy %.3f\ncopy-undo %.3f\n",
      slow.fill * 1e3, slow.fillundo * 1e3, slow.paste * 1e3,
      slow.pasteundo * 1e3, slow.copy * 1e3, slow.copyundo * 1e3);
  return 0;
}
