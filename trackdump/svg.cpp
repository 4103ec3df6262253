#include "trackdump/svg.h"

#include <cstdint>
#include <optional>
#include <string>

#include "board/boardlook.h"

namespace {

using boards::celllook;
using boards::colorpair;

constexpr int cellwidth = 10;
constexpr int cellheight = 20;
constexpr int fontsize = 16;
constexpr int baseline = 15;  // from a cell's top
// A cell without a pair: light gray on black, as most terminals show text.
constexpr colorpair plain = {7, 0};

std::string hexcolor(unsigned char color) {
  constexpr char digits[] = "0123456789abcdef";
  const boards::rgbtype rgb = boards::terminalrgb(color);
  std::string hex = "#";
  for (const unsigned char part : {rgb.red, rgb.green, rgb.blue}) {
    hex += digits[part >> 4];
    hex += digits[part & 15];
  }
  return hex;
}

void appendescaped(std::string& out, char glyph) {
  switch (glyph) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&apos;";
      break;
    default:
      out += glyph;
  }
}

struct cellcolors {
  colorpair colors;
  bool bold = false;
};

cellcolors colorsof(const boardtype& board, const celllook& look) {
  if (look.finish()) return {boards::finishcolors(board, look.pair), true};
  return {boards::paircolors(board, look.pair).value_or(plain), false};
}

// A run of cells on one row that share a background, or of glyphs that
// share a foreground and weight.
struct runtype {
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::string xs;  // glyph runs: the x of each glyph
  std::string glyphs;
  cellcolors look;
};

std::string rectof(const runtype& run, std::int64_t y) {
  return "<rect x=\"" + std::to_string(run.start * cellwidth) + "\" y=\"" +
         std::to_string(y) + "\" width=\"" +
         std::to_string(run.length * cellwidth) + "\" height=\"" +
         std::to_string(cellheight) + "\" fill=\"" +
         hexcolor(run.look.colors[1]) + "\"/>\n";
}

std::string textof(const runtype& run, std::int64_t y) {
  return "<text x=\"" + run.xs + "\" y=\"" + std::to_string(y + baseline) +
         "\" fill=\"" + hexcolor(run.look.colors[0]) + "\"" +
         (run.look.bold ? " font-weight=\"bold\"" : "") + ">" + run.glyphs +
         "</text>\n";
}

std::string svgrow(const boardtype& board, const boards::holemap* holes,
                   std::int32_t row) {
  const std::int64_t y = std::int64_t{row} * cellheight;
  std::string rects, texts;
  runtype back, front;  // each open while its length is above 0
  const auto endback = [&] {
    if (back.length > 0 && back.look.colors[1] != plain[1]) {
      rects += rectof(back, y);
    }
    back = {};
  };
  const auto endfront = [&] {
    if (front.length > 0) texts += textof(front, y);
    front = {};
  };
  for (std::int32_t c = 0; c < board.width; ++c) {
    const celllook look = boards::lookofcell(
        board, row, c, holes ? holes->at(row, c) : boards::nohole);
    const cellcolors colors = colorsof(board, look);
    if (back.length > 0 && back.look.colors[1] != colors.colors[1]) endback();
    if (back.length == 0) back = runtype{c, 0, {}, {}, colors};
    ++back.length;
    if (look.picture == ' ') continue;
    if (front.length > 0 && (front.look.colors[0] != colors.colors[0] ||
                             front.look.bold != colors.bold)) {
      endfront();
    }
    if (front.length == 0) {
      front = runtype{c, 0, {}, {}, colors};
    } else {
      front.xs += ' ';
    }
    ++front.length;
    front.xs += std::to_string(std::int64_t{c} * cellwidth);
    appendescaped(front.glyphs, look.picture);
  }
  endback();
  endfront();
  return rects + texts;
}

}  // namespace

bool writesvg(const boardtype& board, bool holes, const svgsink& sink) {
  const std::string width =
      std::to_string(std::int64_t{board.width} * cellwidth);
  const std::string height =
      std::to_string(std::int64_t{board.height} * cellheight);
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " +
      height + "\" font-family=\"monospace\" font-size=\"" +
      std::to_string(fontsize) + "\">\n<rect width=\"" + width +
      "\" height=\"" + height + "\" fill=\"" + hexcolor(plain[1]) + "\"/>\n";
  if (!sink(head)) return false;
  const std::optional<boards::holemap> map =
      holes ? std::optional<boards::holemap>(board) : std::nullopt;
  for (std::int32_t r = 0; r < board.height; ++r) {
    if (!sink(svgrow(board, map ? &*map : nullptr, r))) return false;
  }
  return sink("</svg>\n");
}
