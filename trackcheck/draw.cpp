#include "trackcheck/draw.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "board/boardlook.h"

namespace {

using boards::celllook;
using boards::colorpair;

void appendcolor(std::string& out, unsigned char color, bool background) {
  if (color < 8) {
    out += std::to_string((background ? 40 : 30) + color);
  } else if (color < 16) {
    out += std::to_string((background ? 100 : 90) + color - 8);
  } else {
    out += (background ? "48;5;" : "38;5;") + std::to_string(color);
  }
}

// The escape that sets a cell's look: its pair's colors, none when the
// index has no pair, and the finish's own colors in bold.
std::string escapeof(const boardtype& board, const celllook& look) {
  std::optional<colorpair> colors = boards::paircolors(board, look.pair);
  if (look.finish()) colors = boards::finishcolors(board, look.pair);
  std::string escape = "\x1b[0";
  if (look.finish()) escape += ";1";
  if (colors) {
    escape += ';';
    appendcolor(escape, (*colors)[0], false);
    escape += ';';
    appendcolor(escape, (*colors)[1], true);
  }
  return escape + 'm';
}

// A ruler line over the picture, without trailing blanks.
std::string rulerline(std::size_t margin, std::string ruler) {
  ruler.erase(ruler.find_last_not_of(' ') + 1);
  return std::string(margin, ' ') + ruler + '\n';
}

std::string drawrow(const boardtype& board, const boards::holemap* holes,
                    std::int32_t row, bool color) {
  std::string out;
  const std::string plain = "\x1b[0m";
  std::string current = plain;
  for (std::int32_t c = 0; c < board.width; ++c) {
    const celllook look = boards::lookofcell(
        board, row, c, holes ? holes->at(row, c) : boards::nohole);
    if (color) {
      const std::string escape = escapeof(board, look);
      if (escape != current) out += current = escape;
      out += look.picture;
    } else {
      out += look.glyph;
    }
  }
  if (current != plain) out += plain;
  return out;
}

}  // namespace

std::string drawpicture(const boardtype& board, drawingtype how) {
  const std::optional<boards::holemap> holes =
      how.holes ? std::optional<boards::holemap>(board) : std::nullopt;
  const std::size_t margin =
      std::to_string(board.height > 0 ? board.height - 1 : 0).size();
  std::string out;
  if (board.width > 0) {
    // Room for the last label to run past the last column.
    const std::int32_t spill = std::min(2, INT32_MAX - board.width);
    out += rulerline(margin + 1, boards::columnlabels(0, board.width + spill));
    out += rulerline(margin + 1, boards::columnticks(0, board.width));
  }
  std::string rule(margin, ' ');
  rule.append("+").append(board.width, '-').append("+\n");
  out += rule;
  for (std::int32_t r = 0; r < board.height; ++r) {
    const std::string number = std::to_string(r);
    out.append(margin - number.size(), ' ').append(number).append("|");
    out += drawrow(board, holes ? &*holes : nullptr, r, how.color);
    out += "|\n";
  }
  return out + rule;
}
