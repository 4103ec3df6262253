// Writing a board as text. Every byte the board file holds appears, so the
// text builds the same file again; the layout of the text depends on the
// board alone, so a board has one text.

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "board/boardtext.h"
#include "board/textfills.h"
#include "board/textitems.h"
#include "board/words.h"

namespace boards {
namespace {

// Gathers the text in a buffer and hands it to the sink in pieces of about
// boardpiecelength bytes. After the sink refuses a piece, nothing more is
// handed to it.
class textwriter {
 public:
  explicit textwriter(const bytesink& sink) : sink_(sink) {
    buffer_.reserve(boardpiecelength + 256);
  }
  void text(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= boardpiecelength) flush();
  }
  void put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= boardpiecelength) flush();
  }
  void number(std::int64_t value) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    text(std::string_view(digits, written.ptr - digits));
  }
  // Whether the sink took every piece.
  bool finish() {
    flush();
    return ok_;
  }

 private:
  void flush() {
    if (ok_ && !buffer_.empty()) {
      ok_ = sink_(
          std::span(reinterpret_cast<const unsigned char*>(buffer_.data()),
                    buffer_.size()));
    }
    buffer_.clear();
  }

  const bytesink& sink_;
  std::string buffer_;
  bool ok_ = true;
};

constexpr char introduction[] =
    "# A board as text: trackbuild makes it into a board file, trackdump\n"
    "# writes it from one. Picture rows stand between bars, \"\\\\\" is a\n"
    "# backslash and \"\\xHH\" any byte. Colormap rows are digits between "
    "bars\n"
    "# (a-z for 10 to 35), or numbers in brackets when a value is above 35.\n"
    "# A row whose last byte is not 0 ends in \"end N\". Holes are (row,\n"
    "# column) in track order; a side may be a run \"first..last\", with\n"
    "# \"by N\" for a step; a snake goes down one column and up the next.\n";

void size(textwriter& out, std::string_view name, std::int32_t value,
          std::string_view comment = "") {
  out.text(name);
  out.put(' ');
  out.number(value);
  out.text(comment);
  out.put('\n');
}

void rowend(textwriter& out, unsigned char last) {
  if (last != 0) {
    out.text(" end ");
    out.number(last);
  }
  out.put('\n');
}

// A picture byte as rows write it.
void character(textwriter& out, char c) {
  char space[4];
  out.text(picturecharacter(static_cast<unsigned char>(c), space));
}

void picturerow(textwriter& out, const char* row, std::int32_t width) {
  out.put('|');
  for (std::int32_t c = 0; c < width; ++c) character(out, row[c]);
  out.put('|');
  rowend(out, static_cast<unsigned char>(row[width]));
}

// Digits and letters where every value has one, else numbers in brackets.
void colormaprow(textwriter& out, const unsigned char* row,
                 std::int32_t width) {
  constexpr char cells[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  bool digits = true;
  for (std::int32_t c = 0; c < width && digits; ++c) digits = row[c] < 36;
  out.put(digits ? '|' : '[');
  for (std::int32_t c = 0; c < width; ++c) {
    if (digits) {
      out.put(cells[row[c]]);
    } else {
      if (c > 0) out.put(' ');
      out.number(row[c]);
    }
  }
  out.put(digits ? '|' : ']');
  rowend(out, row[width]);
}

// The length of the colormap's rows in the text.
std::uint64_t colormaplength(const boardtype& board) {
  std::uint64_t length = 0;
  for (std::int32_t r = 0; r < board.height; ++r) {
    const unsigned char* row = board.colormap[r].get();
    std::uint64_t digits = 3, numbers = 2;  // bars or brackets, newline
    for (std::int32_t c = 0; c < board.width; ++c) {
      numbers += (c > 0) + (row[c] < 10 ? 1 : row[c] < 100 ? 2 : 3);
      if (row[c] >= 36) digits = 0;
    }
    length += digits != 0 ? digits + static_cast<std::uint64_t>(board.width)
                          : numbers;
  }
  return length;
}

void span(textwriter& out, std::int32_t first, std::int32_t last) {
  out.number(first);
  if (last == first) return;
  out.text("..");
  out.number(last);
}

// "fill N (R1..R2, C1..C2) on 'C'", the rectangle left out where it is the
// whole picture.
void fill(textwriter& out, const boardtype& board, const filltype& fill) {
  out.text("fill ");
  out.number(fill.value);
  if (fill.top != 0 || fill.left != 0 || fill.bottom != board.height - 1 ||
      fill.right != board.width - 1) {
    out.text(" (");
    span(out, fill.top, fill.bottom);
    out.text(", ");
    span(out, fill.left, fill.right);
    out.put(')');
  }
  if (!fill.on.empty()) {
    out.text(" on ");
    out.text(quotedcharacters(fill.on));
  }
  out.put('\n');
}

std::string colorname(unsigned char color) {
  static constexpr const char* names[] = {"black", "red",     "green", "yellow",
                                          "blue",  "magenta", "cyan",  "white"};
  if (color < 8) return names[color];
  if (color < 16) return std::string("bright ") + names[color - 8];
  return "color " + std::to_string(color);
}

void pair(textwriter& out, std::int32_t index, const unsigned char* pair) {
  out.text("pair ");
  out.number(pair[0]);
  out.put(' ');
  out.number(pair[1]);
  out.text("  # ");
  out.number(index);
  out.text(": " + colorname(pair[0]) + " on " + colorname(pair[1]) + "\n");
}

// A hole as the file holds it: a byte each way.
struct cell {
  int row = 0, column = 0;
  explicit cell(const holetype& hole)
      : row(static_cast<unsigned char>(hole.y)),
        column(static_cast<unsigned char>(hole.x)) {}
};

bool samestep(const holetype* holes, std::int32_t i, std::int32_t j) {
  const cell a(holes[i]), b(holes[i + 1]), c(holes[j]), d(holes[j + 1]);
  return b.row - a.row == d.row - c.row &&
         b.column - a.column == d.column - c.column;
}

bool moves(const holetype* holes, std::int32_t i) {
  const cell a(holes[i]), b(holes[i + 1]);
  return a.row != b.row || a.column != b.column;
}

int sign(int value) { return (value > 0) - (value < 0); }

// The steps of runs drawn on one character: from a hole to the next along a
// row, a column or a diagonal, both on the same character and no cell of
// it between them. Such steps in a row, in one direction, make a run "on"
// that character.
class drawnsteps {
 public:
  explicit drawnsteps(const boardtype& board)
      : board_(board), size_(board.arraysizes()) {}

  // The direction of the step from hole a to hole b, 0 when it is none:
  // rows and columns each -1, 0 or 1, packed.
  int direction(const holetype& from, const holetype& to) const {
    const cell a(from), b(to);
    const int rows = b.row - a.row, columns = b.column - a.column;
    if ((rows == 0 && columns == 0) ||
        (rows != 0 && columns != 0 && std::abs(rows) != std::abs(columns))) {
      return 0;
    }
    if (!inside(a) || !inside(b) || at(a.row, a.column) != at(b.row, b.column))
      return 0;
    const int down = sign(rows), across = sign(columns);
    const char drawn = at(a.row, a.column);
    for (int r = a.row + down, c = a.column + across;
         r != b.row || c != b.column; r += down, c += across) {
      if (at(r, c) == drawn) return 0;
    }
    return (down + 1) * 3 + (across + 1) + 1;
  }

  char at(int row, int column) const { return board_.picture[row][column]; }

 private:
  bool inside(const cell& c) const {
    return c.row < size_.height && c.column < size_.width;
  }

  const boardtype& board_;
  const boardtype::sizestype size_;
};

// A snake found in a track: the item, and how many holes it holds.
struct snakefound {
  holerun run;
  std::int32_t length = 0;
};

// Walks the track's holes from a hole on along a snake's cells: how many it
// holds, when they are exactly the next holes; 0 when they are not.
std::int32_t snakelength(const boardtype& board, const holerun& run,
                         const holetype* holes, std::int32_t from,
                         std::int32_t count, std::uint64_t& spent) {
  const boardtype::sizestype size = board.arraysizes();
  std::int32_t at = from;
  bool holds = true;
  eachcell(run, [&](std::int32_t row, std::int32_t column) {
    ++spent;
    if (!run.on.empty() && (row >= size.height || column >= size.width ||
                            !takes(run.on, board.picture[row][column]))) {
      return true;
    }
    const cell next(holes[at < count ? at : from]);
    holds = at < count && next.row == row && next.column == column;
    ++at;
    return holds;
  });
  return holds ? at - from : 0;
}

// Whether a snake may start at hole i: the next hole is on its row or its
// column, and the one before is not (a snake starts at its edge). Most
// holes of a track fail it at once.
inline bool maystartsnake(const holetype* holes, std::int32_t i,
                          std::int32_t count) {
  if (i + 1 >= count) return false;
  const cell a(holes[i]), b(holes[i + 1]);
  const bool down = a.column == b.column && a.row != b.row;
  const bool across = a.row == b.row && a.column != b.column;
  if (!down && !across) return false;
  if (i == 0) return true;
  const cell z(holes[i - 1]);
  return down ? z.column != a.column : z.row != a.row;
}

// The snake that holds the holes from i on, if one does (where it may
// start): legs down a
// column (or across a row), each the way back of the one before, on
// columns a step apart, each of two holes or more, the first from one edge
// of the snake to the other. The longest of a few likely ones, plain or on the
// character its first hole is drawn with; the cells looked at are counted in
// spent.
snakefound findsnake(const boardtype& board, const holetype* holes,
                     std::int32_t i, std::int32_t count, std::uint64_t& spent) {
  const cell a(holes[i]), b(holes[i + 1]);
  const bool down = a.column == b.column && a.row != b.row;
  const auto line = [down](const holetype& hole) {
    const cell c(hole);
    return down ? c.column : c.row;
  };
  const auto along = [down](const holetype& hole) {
    const cell c(hole);
    return down ? c.row : c.column;
  };
  int legs = 0, step = 0, last = 0;
  for (std::int32_t start = i; start < count && legs < 256;) {
    const int at = line(holes[start]);
    if (legs == 1) step = at - line(holes[i]);
    if (legs > 1 && at != line(holes[i]) + legs * step) break;
    std::int32_t end = start;
    while (end + 1 < count && line(holes[end + 1]) == at) ++end;
    spent += static_cast<std::uint64_t>(end - start + 1);
    if (end == start) break;  // a leg of one hole: a snake only in name
    if (legs == 0) last = along(holes[end]);
    ++legs;
    start = end + 1;
  }
  const int first = along(holes[i]);
  const int plainstep = std::abs(along(holes[i + 1]) - first);
  for (int k = legs; k >= std::max(2, legs - 1); --k) {
    holerun run;
    runside& over = down ? run.column : run.row;
    runside& side = down ? run.row : run.column;
    over = {line(holes[i]), line(holes[i]) + (k - 1) * step, std::abs(step)};
    side = {first, last, plainstep};
    run.snake = down ? snakeway::down : snakeway::across;
    // The snake holds the holes of every leg, up to its last.
    const auto holding = [&]() {
      const std::int32_t length =
          snakelength(board, run, holes, i, count, spent);
      return length > 0 && line(holes[i + length - 1]) == over.at(k - 1)
                 ? length
                 : 0;
    };
    if (std::abs(last - first) % plainstep == 0) {
      if (const std::int32_t length = holding()) return {run, length};
    }
    const boardtype::sizestype size = board.arraysizes();
    if (a.row >= size.height || a.column >= size.width) continue;
    side.step = 1;
    run.on = std::string(1, board.picture[a.row][a.column]);
    if (const std::int32_t length = holding()) return {run, length};
  }
  return {};
}

// An item of a track: how many holes (a snake holds at most 256 by 256),
// whether it is a run on the character its holes are drawn with, or a
// snake.
struct itemshape {
  std::uint32_t length = 1;
  bool on = false;
  bool snake = false;
};

// The snakes of a track, by their first hole.
using snaketable = std::unordered_map<std::int32_t, holerun>;

// Beyond the longest item: the fewest items from a hole on are looked up
// no farther ahead.
constexpr std::size_t itemwindow = std::size_t{1} << 17;

// Past this many cells looked at for snakes, a track is split without them.
std::uint64_t snakebudget(std::int32_t count) {
  return 64 * static_cast<std::uint64_t>(count) + (1 << 20);
}

// Splits a track into the fewest items: single holes, runs of three or more
// holes that share a step (a step that moves: coordinates are bytes, so a
// run holds at most 256 holes), and runs of three or more holes that are
// every cell of one character along a line. Among equally few, the longest
// plain run first is taken, and a run on a character only where it takes
// fewer items, so a track has one split. Gives the shape of each item in
// turn. A run ends at its last possible hole or one of the two before, where
// that hole can start the next run: ending earlier never saves an item. A
// snake stands where it takes fewer items still.
std::vector<itemshape> splittrack(const boardtype& board, std::int32_t track,
                                  snaketable& snakes) {
  const holetype* holes = board.tracks[track].get();
  const std::int32_t count = board.holecount;
  std::vector<itemshape> shapes(static_cast<std::size_t>(count));
  // The fewest items from a hole to the end, by hole, in a window.
  const std::size_t window =
      std::bit_ceil(std::min(static_cast<std::size_t>(count) + 1, itemwindow));
  std::vector<std::int32_t> fewest(window);
  const auto items = [&fewest, window](std::int32_t from) -> std::int32_t& {
    return fewest[static_cast<std::size_t>(from) & (window - 1)];
  };
  std::uint64_t spent = 0;
  const std::uint64_t budget = snakebudget(count);
  const drawnsteps drawn(board);
  items(count) = 0;
  std::int32_t reach = count - 1;    // the last hole of the run from i
  std::int32_t onreach = count - 1;  // the last of the run on a character
  int nextdirection = 0;             // of the step from i + 1
  for (std::int32_t i = count - 1; i >= 0; --i) {
    if (i + 1 < count && moves(holes, i)) {
      if (i + 2 >= count || !samestep(holes, i, i + 1)) reach = i + 1;
    } else {
      reach = i;
    }
    const int direction =
        i + 1 < count ? drawn.direction(holes[i], holes[i + 1]) : 0;
    if (direction == 0) {
      onreach = i;
    } else if (direction != nextdirection) {
      onreach = i + 1;
    }
    nextdirection = direction;
    std::int32_t length = 1, best = 1 + items(i + 1);
    for (const std::int32_t end : {reach - 2, reach - 1, reach}) {
      if (end - i + 1 >= 3 && 1 + items(end + 1) <= best) {
        length = end - i + 1;
        best = 1 + items(end + 1);
      }
    }
    const std::int32_t plain = best;
    bool on = false;
    for (const std::int32_t end : {onreach - 2, onreach - 1, onreach}) {
      if (end - i + 1 < 3) continue;
      const std::int32_t total = 1 + items(end + 1);
      if (total < plain && total <= best) {
        length = end - i + 1;
        best = total;
        on = true;
      }
    }
    shapes[i] = {static_cast<std::uint32_t>(length), on, false};
    if (spent <= budget && maystartsnake(holes, i, count)) {
      snakefound snake = findsnake(board, holes, i, count, spent);
      if (snake.length > 0 && 1 + items(i + snake.length) < best) {
        best = 1 + items(i + snake.length);
        shapes[i] = {static_cast<std::uint32_t>(snake.length), false, true};
        snakes[i] = std::move(snake.run);
      }
    }
    items(i) = best;
  }
  return shapes;
}

inline void hole(textwriter& out, const holetype& hole) {
  const cell at(hole);
  out.put('(');
  out.number(at.row);
  out.text(", ");
  out.number(at.column);
  out.put(')');
}

// One side of a run: the value, or first..last with the step when not 1.
void side(textwriter& out, int first, int last, int step) {
  out.number(first);
  if (step == 0) return;
  out.text("..");
  out.number(last);
  if (std::abs(step) > 1) {
    out.text(" by ");
    out.number(std::abs(step));
  }
}

void run(textwriter& out, const holetype& first, const holetype& second,
         const holetype& last) {
  const cell a(first), b(second), z(last);
  out.put('(');
  side(out, a.row, z.row, b.row - a.row);
  out.text(", ");
  side(out, a.column, z.column, b.column - a.column);
  out.put(')');
}

// A run on a character: every cell from the first hole to the last, a step
// at a time, that is drawn with it.
void runon(textwriter& out, const boardtype& board, const holetype& first,
           const holetype& last) {
  const cell a(first), z(last);
  out.put('(');
  side(out, a.row, z.row, sign(z.row - a.row));
  out.text(", ");
  side(out, a.column, z.column, sign(z.column - a.column));
  out.text(") on '");
  character(out, board.picture[a.row][a.column]);
  out.put('\'');
}

// A snake: "(2..24, 2..12 by 2) snake on '.'", its way said where it is not
// the one the reader takes without it.
void snake(textwriter& out, const holerun& run) {
  out.put('(');
  for (const runside* each : {&run.row, &run.column}) {
    if (each == &run.column) out.text(", ");
    const auto first = static_cast<int>(each->first);
    const auto last = static_cast<int>(each->last);
    side(out, first, last, last == first ? 0 : static_cast<int>(each->step));
  }
  out.text(") snake");
  if (run.snake != plainsnake(run)) {
    out.text(run.snake == snakeway::down ? " down" : " across");
  }
  if (!run.on.empty()) {
    out.text(" on ");
    out.text(quotedcharacters(run.on));
  }
}

void holenumbers(textwriter& out, std::int32_t first, std::int32_t last) {
  out.text(last > first ? "  # holes " : "  # hole ");
  out.number(first);
  if (last > first) {
    out.put('-');
    out.number(last);
  }
  out.put('\n');
}

// An earlier track that the track mirrors, hole for hole, across a column
// or a row; the axis doubled, so that between columns 14 and 15 is 29.
struct mirrortype {
  std::int32_t track = -1;  // -1: none
  bool acrossrow = false;
  int twice = 0;
};

bool mirrors(const holetype* source, const holetype* holes, std::int32_t count,
             bool acrossrow, int twice) {
  for (std::int32_t i = 0; i < count; ++i) {
    const cell from(source[i]), to(holes[i]);
    const bool mirrored =
        acrossrow ? from.column == to.column && from.row + to.row == twice
                  : from.row == to.row && from.column + to.column == twice;
    if (!mirrored) return false;
  }
  return true;
}

// The first earlier track the track mirrors, across a column before a row;
// none for tracks of fewer than two holes, which a mirror would not save.
mirrortype findmirror(const boardtype& board, std::int32_t track) {
  const std::int32_t count = board.holecount;
  if (count < 2) return {};
  const holetype* holes = board.tracks[track].get();
  for (std::int32_t s = 0; s < track; ++s) {
    const holetype* source = board.tracks[s].get();
    const cell a(source[0]), b(holes[0]);
    for (const bool acrossrow : {false, true}) {
      const int twice = acrossrow ? a.row + b.row : a.column + b.column;
      if (mirrors(source, holes, count, acrossrow, twice)) {
        return {s, acrossrow, twice};
      }
    }
  }
  return {};
}

// "mirrors track 0 across column 14.5", ending the track's line.
void mirror(textwriter& out, const mirrortype& mirror) {
  out.text(" mirrors track ");
  out.number(mirror.track);
  out.text(mirror.acrossrow ? " across row " : " across column ");
  out.number(mirror.twice / 2);
  if (mirror.twice % 2 != 0) out.text(".5");
  out.put('\n');
}

// Single holes go five to a line, as the picture groups them, and a run
// stands on a line of its own; each line is marked with the numbers of its
// holes. A track that mirrors an earlier one says so instead.
constexpr std::int32_t holesperline = 5;

void track(textwriter& out, const boardtype& board, std::int32_t index) {
  out.text("\ntrack ");
  out.number(index);
  out.text(" color ");
  out.number(static_cast<unsigned char>(board.trackcolor[index]));
  if (const mirrortype found = findmirror(board, index); found.track >= 0) {
    mirror(out, found);
    return;
  }
  out.put('\n');
  const holetype* holes = board.tracks[index].get();
  snaketable snakes;
  const std::vector<itemshape> shapes = splittrack(board, index, snakes);
  std::int32_t singles = 0;  // on the line being written
  for (std::int32_t i = 0; i < board.holecount;) {
    const auto length = static_cast<std::int32_t>(shapes[i].length);
    if (singles > 0 && (length > 1 || singles == holesperline)) {
      holenumbers(out, i - singles, i - 1);
      singles = 0;
    }
    if (length > 1) {
      if (shapes[i].snake) {
        snake(out, snakes.at(i));
      } else if (shapes[i].on) {
        runon(out, board, holes[i], holes[i + length - 1]);
      } else {
        run(out, holes[i], holes[i + 1], holes[i + length - 1]);
      }
      holenumbers(out, i, i + length - 1);
    } else {
      if (singles > 0) out.put(' ');
      hole(out, holes[i]);
      ++singles;
    }
    i += length;
  }
  if (singles > 0)
    holenumbers(out, board.holecount - singles, board.holecount - 1);
}

}  // namespace

bool writeboardtext(const boardtype& board, const bytesink& sink,
                    const textoptions& options) {
  // The text holds what the file holds, and nothing the file refuses.
  if (!checkencodable(board).ok()) return false;
  textwriter out(sink);
  out.text(introduction);
  out.text("header");
  for (const std::int32_t value : board.header) {
    out.put(' ');
    out.number(value);
  }
  out.put('\n');
  size(out, "width", board.width);
  size(out, "height", board.height);
  size(out, "holes", board.holecount, "  # per track");
  size(out, "tracks", board.trackcount);
  size(out, "pairs", board.paircount);
  out.text("\npicture\n");
  for (std::int32_t r = 0; r < board.height; ++r) {
    picturerow(out, board.picture[r].get(), board.width);
  }
  out.text("\ncolormap\n");
  const auto fills =
      options.fills ? findfills(board, colormaplength(board)) : std::nullopt;
  if (fills) {
    for (const filltype& each : *fills) fill(out, board, each);
  } else {
    for (std::int32_t r = 0; r < board.height; ++r) {
      colormaprow(out, board.colormap[r].get(), board.width);
    }
  }
  if (board.paircount > 0) out.put('\n');
  for (std::int32_t i = 0; i < board.paircount; ++i) {
    pair(out, i, board.pairs[i].get());
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) track(out, board, t);
  out.text("\nfinish ");
  hole(out, board.finish);
  out.put('\n');
  return out.finish();
}

bool writeboardtext(const boardtype& board, const bytesink& sink) {
  return writeboardtext(board, sink, textoptions());
}

std::string writeboardtext(const boardtype& board) {
  return writeboardtext(board, textoptions());
}

std::string writeboardtext(const boardtype& board, const textoptions& options) {
  std::string text;
  writeboardtext(
      board,
      [&text](std::span<const unsigned char> piece) {
        text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return true;
      },
      options);
  return text;
}

}  // namespace boards
