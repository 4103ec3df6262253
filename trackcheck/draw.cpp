#include "trackcheck/draw.h"

#include <cstdint>
#include <vector>

namespace {

constexpr std::int32_t nohole = -1;

// The track of the hole on each cell, row by row; the finish counts as
// track trackcount. Holes off the picture are not drawn.
std::vector<std::int32_t> holemap(const boardtype& board) {
  const auto width = static_cast<std::size_t>(board.width);
  std::vector<std::int32_t> owner(width * board.height, nohole);
  const auto mark = [&](const holetype& hole, std::int32_t track) {
    if (hole.y >= 0 && hole.y < board.height && hole.x >= 0 &&
        hole.x < board.width) {
      owner[hole.y * width + hole.x] = track;
    }
  };
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    for (std::int32_t i = 0; i < board.holecount; ++i) {
      mark(board.tracks[t][i], t);
    }
  }
  mark(board.finish, board.trackcount);
  return owner;
}

char tracksymbol(std::int32_t track) {
  constexpr char symbols[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  return track < 36 ? symbols[track] : '+';
}

void appendcolor(std::string& out, unsigned char color, bool background) {
  if (color < 8) {
    out += std::to_string((background ? 40 : 30) + color);
  } else if (color < 16) {
    out += std::to_string((background ? 100 : 90) + color - 8);
  } else {
    out += (background ? "48;5;" : "38;5;") + std::to_string(color);
  }
}

// The escape that sets a cell's look: a pair index (or none) and reverse.
std::string lookof(const boardtype& board, std::int32_t pair, bool reverse) {
  std::string escape = "\x1b[0";
  if (pair >= 0 && pair < board.paircount) {
    escape += ';';
    appendcolor(escape, board.pairs[pair][0], false);
    escape += ';';
    appendcolor(escape, board.pairs[pair][1], true);
  }
  if (reverse) escape += ";7";
  return escape + 'm';
}

}  // namespace

std::string drawpicture(const boardtype& board, drawingtype how) {
  const std::vector<std::int32_t> owner =
      how.holes ? holemap(board) : std::vector<std::int32_t>();
  std::string rule = "+";
  rule.append(board.width, '-').append("+\n");
  std::string out = rule;
  const std::string plain = "\x1b[0m";
  for (std::int32_t r = 0; r < board.height; ++r) {
    out += '|';
    std::string current = plain;
    for (std::int32_t c = 0; c < board.width; ++c) {
      char cell = board.picture[r][c];
      if (cell < ' ' || cell > '~') cell = '?';
      std::int32_t pair = board.colormap[r][c];
      const std::int32_t track =
          how.holes ? owner[std::size_t(r) * board.width + c] : nohole;
      const bool finish = track == board.trackcount;
      if (track != nohole && !finish) pair = board.trackcolor[track];
      if (how.color) {
        const std::string look = lookof(board, pair, finish);
        if (look != current) out += current = look;
      } else if (track != nohole) {
        cell = finish ? '*' : tracksymbol(track);
      }
      out += cell;
    }
    if (current != plain) out += plain;
    out += "|\n";
  }
  return out + rule;
}
