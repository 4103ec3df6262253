#include "board/boardlook.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace boards {

char trackglyph(std::int32_t track) {
  constexpr char glyphs[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  return track >= 0 && track < 36 ? glyphs[track] : '+';
}

char printableglyph(char byte) { return byte < ' ' || byte > '~' ? '?' : byte; }

holemap::holemap(const boardtype& board)
    : width_(board.arraysizes().width),
      height_(board.arraysizes().height),
      holes_(static_cast<std::size_t>(width_) * height_, nohole) {
  const auto mark = [this](const holetype& hole, std::int32_t what) {
    if (hole.y >= 0 && hole.y < height_ && hole.x >= 0 && hole.x < width_) {
      holes_[static_cast<std::size_t>(hole.y) * width_ + hole.x] = what;
    }
  };
  for (std::int32_t t = 0; t < board.arraysizes().trackcount; ++t) {
    for (const holetype& hole : board.trackholes(t)) mark(hole, t);
  }
  mark(board.finish, finishhole);
}

std::int32_t holemap::at(std::int32_t row, std::int32_t column) const {
  if (row < 0 || row >= height_ || column < 0 || column >= width_) {
    return nohole;
  }
  return holes_[static_cast<std::size_t>(row) * width_ + column];
}

celllook lookofcell(const boardtype& board, std::int32_t row,
                    std::int32_t column, std::int32_t hole) {
  // Through the views, so a board whose sizes were changed by hand is never
  // read past its arrays.
  celllook look;
  const std::string_view picture = board.picturerow(row);
  const std::span<const unsigned char> colors = board.colorrow(row);
  if (column < 0 || static_cast<std::size_t>(column) >= picture.size() ||
      static_cast<std::size_t>(column) >= colors.size()) {
    return look;
  }
  look.picture = look.glyph = printableglyph(picture[column]);
  look.pair = colors[column];
  look.hole = hole;
  if (hole == finishhole) {
    look.glyph = '*';
  } else if (const std::span<const std::int32_t> trackcolors =
                 board.trackcolors();
             hole >= 0 && static_cast<std::size_t>(hole) < trackcolors.size()) {
    look.glyph = trackglyph(hole);
    look.pair = trackcolors[hole];
  }
  return look;
}

std::optional<colorpair> paircolors(const boardtype& board, std::int32_t pair) {
  const std::span<const unsigned char> colors = board.pair(pair);
  if (pair >= board.paircount || colors.size() < 2) return std::nullopt;
  return colorpair{colors[0], colors[1]};
}

namespace {

int distance(rgbtype a, rgbtype b) {
  const auto square = [](int d) { return d * d; };
  return square(a.red - b.red) + square(a.green - b.green) +
         square(a.blue - b.blue);
}

}  // namespace

colorpair finishcolors(const boardtype& board, std::int32_t pair) {
  constexpr colorpair onred = {15, 1};
  constexpr colorpair oncyan = {0, 14};
  // A cell without a pair shows the viewer's own background, most often
  // black or white: red stands out on both.
  const std::optional<colorpair> own = paircolors(board, pair);
  if (!own) return onred;
  const rgbtype background = terminalrgb((*own)[1]);
  return distance(background, terminalrgb(onred[1])) >=
                 distance(background, terminalrgb(oncyan[1]))
             ? onred
             : oncyan;
}

rgbtype terminalrgb(unsigned char color) {
  static constexpr rgbtype standard[16] = {
      {0, 0, 0},       {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
      {0, 0, 238},     {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
      {127, 127, 127}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
      {92, 92, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  if (color < 16) return standard[color];
  if (color >= 232) {
    const auto gray = static_cast<unsigned char>(8 + 10 * (color - 232));
    return {gray, gray, gray};
  }
  const auto level = [](int step) {
    return static_cast<unsigned char>(step == 0 ? 0 : 55 + 40 * step);
  };
  const int cube = color - 16;
  return {level(cube / 36), level(cube / 6 % 6), level(cube % 6)};
}

std::string columnlabels(std::int32_t first, std::int32_t count) {
  std::string line(count > 0 ? static_cast<std::size_t>(count) : 0, ' ');
  const std::int64_t end = std::int64_t{first} + count;
  // The label of the tenth column at or before the first may run into view.
  for (std::int64_t column = first - first % 10; column < end; column += 10) {
    const std::string label = std::to_string(column);
    for (std::size_t i = 0; i < label.size(); ++i) {
      const std::int64_t at = column + static_cast<std::int64_t>(i) - first;
      if (at >= 0 && at < count) line[static_cast<std::size_t>(at)] = label[i];
    }
  }
  return line;
}

std::string columnticks(std::int32_t first, std::int32_t count) {
  std::string line;
  const std::int64_t end = std::int64_t{first} + count;
  for (std::int64_t column = first; column < end; ++column) {
    line += column % 10 == 0 ? '|' : column % 5 == 0 ? '+' : '.';
  }
  return line;
}

}  // namespace boards
