#include "trackdump/svg.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// A run of cells on one row that share a background.
struct backrun {
  std::int64_t start = 0;
  std::int64_t length = 0;
  unsigned char color = 0;
};

std::string rectof(const backrun& run, std::int64_t y) {
  return "<rect x=\"" + std::to_string(run.start * cellwidth) + "\" y=\"" +
         std::to_string(y) + "\" width=\"" +
         std::to_string(run.length * cellwidth) + "\" height=\"" +
         std::to_string(cellheight) + "\" fill=\"" + hexcolor(run.color) +
         "\"/>\n";
}

// The glyphs of one row that share a foreground and weight, each a text
// element of its own at its cell's middle. Renderers differ on a list of x
// positions in one element (librsvg draws every glyph from the first), and
// on a fixed length for a run of glyphs (librsvg ignores it); one x per
// element they all place alike.
struct glyphgroup {
  cellcolors look;
  std::string texts;
};

void addglyph(std::vector<glyphgroup>& groups, const cellcolors& look,
              std::int32_t column, char glyph) {
  auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) {
    return g.look.colors[0] == look.colors[0] && g.look.bold == look.bold;
  });
  if (group == groups.end()) group = groups.insert(groups.end(), {look, {}});
  group->texts +=
      "<text x=\"" +
      std::to_string(std::int64_t{column} * cellwidth + cellwidth / 2) + "\">";
  appendescaped(group->texts, glyph);
  group->texts += "</text>";
}

// The row's glyphs in a group moved down to its baseline, a group per look.
std::string textsof(const std::vector<glyphgroup>& groups, std::int64_t y) {
  if (groups.empty()) return {};
  std::string texts =
      "<g transform=\"translate(0 " + std::to_string(y + baseline) + ")\">\n";
  for (const glyphgroup& group : groups) {
    texts += "<g fill=\"" + hexcolor(group.look.colors[0]) + "\"" +
             (group.look.bold ? " font-weight=\"bold\"" : "") + ">" +
             group.texts + "</g>\n";
  }
  return texts + "</g>\n";
}

// Without the holes marked, the finish still stands out.
std::int32_t holeat(const boardtype& board, const boards::holemap* holes,
                    std::int32_t row, std::int32_t column) {
  if (holes) return holes->at(row, column);
  const bool finish = board.finish.y == row && board.finish.x == column;
  return finish ? boards::finishhole : boards::nohole;
}

std::string svgrow(const boardtype& board, const boards::holemap* holes,
                   std::int32_t row) {
  const std::int64_t y = std::int64_t{row} * cellheight;
  std::string rects;
  std::vector<glyphgroup> glyphs;
  backrun back;  // open while its length is above 0
  const auto endback = [&] {
    if (back.length > 0 && back.color != plain[1]) rects += rectof(back, y);
    back = {};
  };
  for (std::int32_t c = 0; c < board.width; ++c) {
    const celllook look =
        boards::lookofcell(board, row, c, holeat(board, holes, row, c));
    const cellcolors colors = colorsof(board, look);
    if (back.length > 0 && back.color != colors.colors[1]) endback();
    if (back.length == 0) back = {c, 0, colors.colors[1]};
    ++back.length;
    if (look.picture != ' ') addglyph(glyphs, colors, c, look.picture);
  }
  endback();
  return rects + textsof(glyphs, y);
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
      std::to_string(fontsize) + "\" text-anchor=\"middle\">\n<rect width=\"" +
      width + "\" height=\"" + height + "\" fill=\"" + hexcolor(plain[1]) +
      "\"/>\n";
  if (!sink(head)) return false;
  const std::optional<boards::holemap> map =
      holes ? std::optional<boards::holemap>(board) : std::nullopt;
  for (std::int32_t r = 0; r < board.height; ++r) {
    if (!sink(svgrow(board, map ? &*map : nullptr, r))) return false;
  }
  return sink("</svg>\n");
}
