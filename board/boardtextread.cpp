// Reading the text form of a board: the grammar. The bytes are taken apart
// by the scanner (board/textscan.h); here they are made into statements,
// sections and the board. A row, a track or a table is sized only once its
// text has been read, so a text that claims a huge picture and holds three
// characters costs three characters (a run of holes costs the holes it
// holds). Every statement is one line; a fault inside a line is reported,
// the rest of the line left unread (a comment above all), and the next line
// read, so that a statement has one fault at most; a statement out of place
// ends the reading.

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "board/boardcheck.h"
#include "board/boardtext.h"
#include "board/bytesources.h"
#include "board/holecount.h"
#include "board/textfills.h"
#include "board/textitems.h"
#include "board/textscan.h"
#include "board/words.h"

namespace boards {
namespace {

// Past this many problems a text is not worth reading on.
constexpr std::size_t mostproblems = 20;

// The cells of rows of numbers whose places are kept (those beyond the pair
// count): enough for every warning a tool lists.
constexpr std::size_t mostcellplaces = 4096;

constexpr std::int64_t int32most = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t int32least = std::numeric_limits<std::int32_t>::min();
constexpr int endofline = textscanner::endofline;

bool iscontrol(int c) { return (c >= 0 && c < ' ') || c == 127; }

// A colormap cell in a row of digits: 0 to 9, then a to z for 10 to 35.
int cellvalue(int c) {
  if (textscanner::isdigit(c)) return c - '0';
  if (textscanner::isletter(c)) return c - 'a' + 10;
  return -1;
}

// The board as its text is read; made into a boardtype once all is read.
struct boardparts {
  std::int32_t header[4] = {};
  std::int32_t width = 0, height = 0, holecount = 0, trackcount = 0,
               paircount = 0;
  std::vector<std::unique_ptr<char[]>> picture;
  std::vector<std::unique_ptr<unsigned char[]>> colormap;
  std::vector<std::unique_ptr<unsigned char[]>> pairs;
  std::vector<std::unique_ptr<holetype[]>> tracks;
  std::vector<std::int32_t> trackcolor;
  holetype finish;
};

template <typename T>
std::unique_ptr<T[]> toarray(std::vector<T>& items) {
  auto array = std::make_unique<T[]>(items.size());
  std::move(items.begin(), items.end(), array.get());
  return array;
}

}  // namespace

// Makes the board of parts read in whole, taking over their arrays.
class boardassembler {
 public:
  static boardtype assemble(boardparts& parts) {
    boardtype board;
    std::copy_n(parts.header, 4, board.header);
    board.width = parts.width;
    board.height = parts.height;
    board.holecount = parts.holecount;
    board.trackcount = parts.trackcount;
    board.paircount = parts.paircount;
    board.picture = toarray(parts.picture);
    board.colormap = toarray(parts.colormap);
    board.pairs = toarray(parts.pairs);
    board.tracks = toarray(parts.tracks);
    board.trackcolor = toarray(parts.trackcolor);
    board.finish = parts.finish;
    board.adopt({parts.width, parts.height, parts.holecount, parts.trackcount,
                 parts.paircount});
    return board;
  }
};

namespace {

class textparser {
 public:
  textparser(const bytesource& source, textplaces* places)
      : scan_(source), places_(places) {}

  std::vector<textproblem> parse(boardtype& board) {
    if (head() && picture() && colormap() && pairs() && tracks() && finish()) {
      if (more()) problem(scan_.column(), "text after the end of the board");
    }
    if (problems_.empty()) board = boardassembler::assemble(parts_);
    return std::move(problems_);
  }

 private:
  // ---- statements: one to a line, blank lines and comments between ----

  // Whether a statement is at hand; reads on to the next one when the last
  // was taken. The scanner stands at its first character.
  bool more() {
    while (!stopped() && !atstatement_) {
      if (!scan_.nextline()) return false;
      atstatement_ = !scan_.atend();
    }
    return atstatement_ && !stopped();
  }
  void take() { atstatement_ = false; }

  // The statement's end: only blanks or a comment may follow.
  void endstatement() {
    if (!scan_.atend()) problem(scan_.column(), "unexpected " + scan_.token());
    take();
  }

  bool stopped() const {
    return problems_.size() >= mostproblems || structural_;
  }

  // A statement that must come next; a missing one ends the reading, since
  // what follows cannot be told apart reliably.
  bool expect(std::string_view word) {
    if (!more()) {
      if (!stopped()) {
        atendoftext("expected '" + std::string(word) + "' before the end");
      }
      structural_ = true;
      return false;
    }
    if (!scan_.lookingat(word)) {
      problem(scan_.column(),
              "expected '" + std::string(word) + "', found " + scan_.token());
      structural_ = true;
      return false;
    }
    scan_.skip(word.size());
    return true;
  }

  // A keyword that may come next within a statement; taken when it does.
  bool accept(std::string_view word) {
    if (!scan_.lookingat(word)) return false;
    scan_.skip(word.size());
    return true;
  }

  bool punct(char c) {
    scan_.skipblanks();
    if (scan_.peek() != static_cast<unsigned char>(c)) {
      problem(scan_.column(),
              std::string("expected '") + c + "', found " + scan_.token());
      return false;
    }
    scan_.skip();
    return true;
  }

  // A decimal number from least to most; out of range is an error, never
  // wrapped.
  std::optional<std::int64_t> number(std::int64_t least, std::int64_t most,
                                     std::string_view what) {
    scan_.skipblanks();
    const std::uint64_t start = scan_.column();
    const auto found = scan_.number();
    if (found && *found >= least && *found <= most) return found;
    notinrange(start, found, least, most, what);
    return std::nullopt;
  }

  // What the number at start is not: a number, or in its range.
  void notinrange(std::uint64_t start, std::optional<std::int64_t> found,
                  std::int64_t least, std::int64_t most,
                  std::string_view what) {
    std::string message;
    if (!found) {
      message.append("expected ").append(what).append(", found ");
      message.append(scan_.token());
    } else {
      message.append(what).append(" ").append(scan_.numbertext());
      message.append(*found < least ? " is below " : " is above ");
      appendnumber(message, *found < least ? least : most);
    }
    problem(start, std::move(message));
  }

  // "on 'C'" or "on '+-|'": the characters written as in picture rows (a
  // quote may be the first of them); false on a fault.
  bool onclause(std::string& on) {
    if (!accept("on")) return true;
    scan_.skipblanks();
    const std::uint64_t open = scan_.column();
    if (!punct('\'')) return false;
    do {
      const std::uint64_t at = scan_.column();
      const auto c =
          scan_.peek() == endofline ? std::nullopt : scan_.character();
      if (!c) {
        problem(at,
                "expected a character: as in picture rows, '\\\\' is a "
                "backslash, '\\xHH' any byte");
        return false;
      }
      on += *c;
    } while (scan_.peek() != '\'' && scan_.peek() != endofline);
    if (scan_.peek() == endofline) {
      problem(open, "expected ''' to close the characters");
      return false;
    }
    scan_.skip();
    return true;
  }

  std::optional<holetype> hole(const std::string& what) {
    if (!punct('(')) return std::nullopt;
    const auto row = number(0, 255, what + " row");
    if (!row || !punct(',')) return std::nullopt;
    const auto column = number(0, 255, what + " column");
    if (!column || !punct(')')) return std::nullopt;
    holetype found;
    found.set(static_cast<std::int32_t>(*row),
              static_cast<std::int32_t>(*column));
    return found;
  }

  // A side of a hole item, single or a run; a run that misses its last
  // value is refused rather than cut short.
  std::optional<runside> side(std::string_view what) {
    scan_.skipblanks();
    const std::uint64_t start = scan_.column();
    const auto first = number(0, 255, what);
    if (!first) return std::nullopt;
    runside side;
    side.first = side.last = *first;
    scan_.skipblanks();
    if (scan_.peek() != '.' || scan_.peek(1) != '.') return side;
    scan_.skip(2);
    const auto last = number(0, 255, what);
    if (!last) return std::nullopt;
    side.last = *last;
    if (accept("by")) {
      const auto step = number(1, 255, "a step");
      if (!step) return std::nullopt;
      side.step = *step;
    }
    if (std::abs(side.last - side.first) % side.step != 0) {
      problem(start, "steps of " + std::to_string(side.step) + " from " +
                         std::to_string(side.first) + " miss " +
                         std::to_string(side.last));
      return std::nullopt;
    }
    return side;
  }

  // "(row, column)", where either side or both may be a run, then perhaps
  // "snake" (with "down" or "across" for its way) and "on 'C'".
  std::optional<holerun> holeitem() {
    const std::uint64_t open = scan_.column();
    if (!punct('(')) return std::nullopt;
    holerun run;
    const auto row = side("a hole row");
    if (!row || !punct(',')) return std::nullopt;
    const auto column = side("a hole column");
    if (!column || !punct(')')) return std::nullopt;
    run.row = *row;
    run.column = *column;
    if (accept("snake")) {
      run.snake = accept("down")     ? snakeway::down
                  : accept("across") ? snakeway::across
                                     : plainsnake(run);
    }
    const std::int64_t rows = row->count(), columns = column->count();
    if (run.snake == snakeway::none && rows > 1 && columns > 1 &&
        rows != columns) {
      problem(open, "a diagonal run takes as many rows as columns, found " +
                        std::to_string(rows) + " rows and " +
                        std::to_string(columns) + " columns");
      return std::nullopt;
    }
    if (!onclause(run.on)) return std::nullopt;
    return run;
  }

  // ---- the sections, in order ----

  bool head() {
    if (!expect("header")) return false;
    bool whole = true;
    for (std::int32_t& value : parts_.header) {
      const auto read = number(int32least, int32most, "a header value");
      if (!read) {
        whole = false;
        break;
      }
      value = static_cast<std::int32_t>(*read);
    }
    if (whole) endstatement();
    take();
    const std::pair<const char*, std::int32_t*> sizes[] = {
        {"width", &parts_.width},
        {"height", &parts_.height},
        {"holes", &parts_.holecount},
        {"tracks", &parts_.trackcount},
        {"pairs", &parts_.paircount}};
    for (const auto& [name, size] : sizes) {
      if (!expect(name)) return false;
      const auto read = number(0, int32most, name);
      // The sections cannot be told apart without their sizes.
      if (!read) return false;
      *size = static_cast<std::int32_t>(*read);
      endstatement();
    }
    return true;
  }

  // Reads the rows of a grid, each starting with one of the openers, and
  // says how many there were when they are not height.
  template <typename Row>
  bool rows(const char* grid, std::string_view openers, Row row) {
    std::int64_t count = 0;
    while (more() && openers.find(static_cast<char>(scan_.peek())) !=
                         std::string_view::npos) {
      if (count == parts_.height) {
        problem(scan_.column(), std::string("more ") + grid +
                                    " rows than the height " +
                                    std::to_string(parts_.height));
      }
      if (count < parts_.height && row()) endstatement();
      take();
      ++count;
    }
    if (count < parts_.height) {
      missing(counted(parts_.height, std::string(grid) + " row") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  // A row's last byte, when the row says it is not 0.
  std::optional<unsigned char> rowend() {
    if (!accept("end")) return 0;
    const auto value = number(0, 255, "a row's end byte");
    if (!value) return std::nullopt;
    return static_cast<unsigned char>(*value);
  }

  bool picture() {
    if (!expect("picture")) return false;
    endstatement();
    return rows("picture", "|", [this] { return picturerow(); });
  }

  bool picturerow() {
    const std::uint64_t open = scan_.hold();
    scan_.skip();
    if (places_ != nullptr) places_->picturerows.push_back(here(open));
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    std::optional<std::uint64_t> control;
    int controlbyte = 0;
    while (cells_.size() < width) {
      const int c = scan_.peek();
      if (c == endofline) break;
      if (c == '\\') {
        const std::uint64_t at = scan_.column();
        const auto escaped = scan_.character();
        if (!escaped) {
          scan_.letgo();
          problem(at, "bad escape: '\\\\' is a backslash, '\\xHH' any byte");
          return false;
        }
        cells_.push_back(*escaped);
        continue;
      }
      if (iscontrol(c) && !control) {
        control = scan_.column();
        controlbyte = c;
      }
      scan_.skip();
      cells_.push_back(static_cast<char>(c));
    }
    if (cells_.size() < width || scan_.peek() != '|') return wronglength(open);
    scan_.letgo();
    if (control && places_ != nullptr) {
      places_->warnings.push_back(
          {scan_.line(), *control + 1,
           "a raw control byte in a picture row: write " +
               escapedbyte(static_cast<unsigned char>(controlbyte)) +
               " if it is meant"});
    }
    scan_.skip();
    const auto end = rowend();
    if (!end) return false;
    auto row = std::make_unique<char[]>(width + 1);
    std::copy(cells_.begin(), cells_.end(), row.get());
    row[width] = static_cast<char>(*end);
    parts_.picture.push_back(std::move(row));
    return true;
  }

  // A row between bars that is not width long, read again from its opening
  // bar. Bars may stand inside a row, so its closing bar is the first after
  // which only a row's end byte and a comment follow; the row's length is
  // counted up to there.
  bool wronglength(std::uint64_t open) {
    scan_.back(open + 1);
    std::int64_t length = 0;
    for (int c = scan_.peek(); c != endofline; c = scan_.peek()) {
      if (c == '|') {
        const std::uint64_t bar = scan_.column();
        scan_.skip();
        if (closes()) {
          problem(bar, "the row has " + counted(length, "character") +
                           "; the width is " + std::to_string(parts_.width));
          return false;
        }
        length += 1 + static_cast<std::int64_t>(scan_.column() - bar - 1);
        continue;
      }
      // An escape is one character, as far as the line holds it.
      const bool pair = c == '\\' && scan_.peek(1) == '\\';
      const bool hex =
          c == '\\' && scan_.peek(1) == 'x' && scan_.peek(3) != endofline;
      scan_.skip(hex ? 4 : pair ? 2 : 1);
      ++length;
    }
    problem(scan_.column(), "expected '|' to close the row");
    return false;
  }

  // Whether what follows a bar is what may follow a row's closing bar; the
  // blanks, "end" and digits looked at are taken either way.
  bool closes() {
    if (scan_.atend()) return true;
    if (!accept("end")) return false;
    scan_.skipblanks();
    while (textscanner::isdigit(scan_.peek())) scan_.skip();
    return scan_.atend();
  }

  bool colormap() {
    if (!expect("colormap")) return false;
    if (places_ != nullptr) places_->colormap = here(scan_.column() - 8);
    endstatement();
    if (more() && scan_.lookingat("fill")) return fills();
    return rows("colormap", "|[", [this] {
      if (places_ != nullptr) {
        places_->colormaprows.push_back(here(scan_.column()));
        places_->colormapdigits.push_back(scan_.peek() == '|');
      }
      return scan_.peek() == '|' ? digitrow() : numberrow();
    });
  }

  bool digitrow() {
    const std::uint64_t open = scan_.hold();
    scan_.skip();
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    for (int c = scan_.peek(); cells_.size() < width && cellvalue(c) >= 0;
         c = scan_.peek()) {
      cells_.push_back(static_cast<char>(cellvalue(c)));
      scan_.skip();
    }
    const int next = scan_.peek();
    if (cells_.size() < width && next != '|' && next != endofline) {
      scan_.letgo();
      problem(scan_.column(),
              "expected a digit or a letter a-z (10 to 35); larger values "
              "take a row of numbers in brackets");
      return false;
    }
    if (cells_.size() < width || next != '|') return wronglength(open);
    scan_.letgo();
    scan_.skip();
    return keepcolormaprow();
  }

  bool numberrow() {
    scan_.skip();
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    for (scan_.skipblanks(); scan_.peek() != ']'; scan_.skipblanks()) {
      if (cells_.size() == width) {
        problem(scan_.column(), "the row has more values than the width " +
                                    std::to_string(width));
        return false;
      }
      // Every cell of a large colormap passes here: the scanner is asked
      // directly.
      const std::uint64_t at = scan_.column();
      const auto value = scan_.number();
      if (!value || *value < 0 || *value > 255) {
        notinrange(at, value, 0, 255, "a color index");
        return false;
      }
      if (*value >= parts_.paircount) keepcellplace(at);
      cells_.push_back(static_cast<char>(*value));
    }
    if (cells_.size() < width) {
      problem(scan_.column(),
              "the row has " +
                  counted(static_cast<std::int64_t>(cells_.size()), "value") +
                  "; the width is " + std::to_string(width));
      return false;
    }
    scan_.skip();
    return keepcolormaprow();
  }

  // The place of a cell of a row of numbers that is beyond the pair count.
  void keepcellplace(std::uint64_t column) {
    if (places_ == nullptr || places_->colormapcells.size() >= mostcellplaces) {
      return;
    }
    places_->colormapcells.push_back(
        {static_cast<std::int32_t>(parts_.colormap.size()),
         static_cast<std::int32_t>(cells_.size()), here(column)});
  }

  bool keepcolormaprow() {
    const auto end = rowend();
    if (!end) return false;
    auto row = std::make_unique<unsigned char[]>(cells_.size() + 1);
    std::copy(cells_.begin(), cells_.end(), row.get());
    row[cells_.size()] = *end;
    parts_.colormap.push_back(std::move(row));
    return true;
  }

  // "fill N", then "(R1..R2, C1..C2)" for a rectangle and "on 'C'" for the
  // cells drawn with C, applied in order to a colormap of zeros.
  bool fills() {
    const auto width = static_cast<std::size_t>(parts_.width);
    for (std::int32_t r = 0; r < parts_.height; ++r) {
      parts_.colormap.push_back(std::make_unique<unsigned char[]>(width + 1));
    }
    while (more() && scan_.lookingat("fill")) {
      const textplace place = here(scan_.column());
      scan_.skip(4);
      if (const auto fill = fillline()) {
        apply(*fill);
        if (places_ != nullptr) {
          places_->fills.push_back({fill->top, fill->bottom, fill->left,
                                    fill->right, fill->value, place});
        }
        endstatement();
      }
      take();
    }
    if (places_ != nullptr) places_->paircount = parts_.paircount;
    return !stopped();
  }

  std::optional<filltype> fillline() {
    const auto value = number(0, 255, "a color index");
    if (!value) return std::nullopt;
    filltype fill{0,
                  parts_.height - 1,
                  0,
                  parts_.width - 1,
                  static_cast<unsigned char>(*value),
                  {}};
    scan_.skipblanks();
    if (scan_.peek() == '(') {
      scan_.skip();
      if (!span("row", parts_.height, fill.top, fill.bottom) || !punct(',') ||
          !span("column", parts_.width, fill.left, fill.right) || !punct(')')) {
        return std::nullopt;
      }
    }
    if (!onclause(fill.on)) return std::nullopt;
    return fill;
  }

  // "first" or "first..last" of a rectangle's side, inside the picture.
  bool span(const char* what, std::int32_t size, std::int32_t& first,
            std::int32_t& last) {
    for (std::int32_t* end : {&first, &last}) {
      scan_.skipblanks();
      const std::uint64_t at = scan_.column();
      const auto value = number(0, int32most, std::string("a fill ") + what);
      if (!value) return false;
      if (*value >= size) {
        problem(at, std::string(what) + ' ' + std::to_string(*value) +
                        " is outside the " + std::to_string(parts_.width) +
                        'x' + std::to_string(parts_.height) + " picture");
        return false;
      }
      *end = static_cast<std::int32_t>(*value);
      if (end == &first) {
        last = first;
        scan_.skipblanks();
        if (scan_.peek() != '.' || scan_.peek(1) != '.') return true;
        scan_.skip(2);
      }
    }
    if (first > last) std::swap(first, last);
    return true;
  }

  void apply(const filltype& fill) {
    for (std::int32_t r = fill.top; r <= fill.bottom; ++r) {
      applyfill(fill,
                static_cast<std::size_t>(r) < parts_.picture.size()
                    ? parts_.picture[r].get()
                    : nullptr,
                parts_.colormap[r].get());
    }
  }

  bool pairs() {
    std::int64_t count = 0;
    while (more() && scan_.lookingat("pair")) {
      // A pair past the count is the one fault of its line, and not read.
      if (count >= parts_.paircount) {
        if (count == parts_.paircount) {
          problem(scan_.column(), "more pairs than the " +
                                      std::to_string(parts_.paircount) +
                                      " declared");
        }
        take();
        ++count;
        continue;
      }
      scan_.skip(4);
      const auto foreground = number(0, 255, "a color number");
      const auto background =
          foreground ? number(0, 255, "a color number") : std::nullopt;
      if (background) {
        auto pair = std::make_unique<unsigned char[]>(2);
        pair[0] = static_cast<unsigned char>(*foreground);
        pair[1] = static_cast<unsigned char>(*background);
        parts_.pairs.push_back(std::move(pair));
        endstatement();
      }
      take();
      ++count;
    }
    if (count < parts_.paircount) {
      missing(counted(parts_.paircount, "pair") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  bool tracks() {
    std::int64_t count = 0;
    while (more() && scan_.lookingat("track")) {
      if (count == parts_.trackcount) {
        problem(scan_.column(), "more tracks than the " +
                                    std::to_string(parts_.trackcount) +
                                    " declared");
        structural_ = true;
        return false;
      }
      const textplace line = here(scan_.column());
      if (places_ != nullptr) places_->tracks.push_back(line);
      scan_.skip(5);
      mirrorspec mirror;
      const bool head = trackhead(count, mirror);
      take();
      if (mirror.track >= 0) {
        mirrored(mirror);
      } else if (!holes(count, line, head)) {
        return false;
      }
      ++count;
    }
    if (count < parts_.trackcount) {
      missing(counted(parts_.trackcount, "track") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  // A track that mirrors an earlier one: which, and the axis, doubled, so
  // that "across column 14.5" is 29.
  struct mirrorspec {
    std::int64_t track = -1;  // -1: none
    bool acrossrow = false;
    std::int64_t twice = 0;
    textplace place, axis;  // of "mirrors", of the axis
  };

  // "track K color C", K counting from 0, then perhaps "mirrors track J
  // across column N" or "across row N"; false on a fault, which leaves the
  // track's color 0.
  bool trackhead(std::int64_t index, mirrorspec& mirror) {
    std::int32_t color = 0;
    const bool read = trackline(index, color, mirror);
    parts_.trackcolor.push_back(color);
    return read;
  }

  bool trackline(std::int64_t index, std::int32_t& color, mirrorspec& mirror) {
    scan_.skipblanks();
    const std::uint64_t at = scan_.column();
    const auto number = this->number(0, int32most, "a track number");
    if (!number) return false;
    if (*number != index) {
      problem(at, "expected track " + std::to_string(index) + ", found " +
                      std::to_string(*number));
      return false;
    }
    if (!accept("color")) {
      problem(scan_.column(), "expected 'color', found " + scan_.token());
      return false;
    }
    const auto read = this->number(0, 255, "a track color");
    if (!read) return false;
    color = static_cast<std::int32_t>(*read);
    scan_.skipblanks();
    const textplace mirrors = here(scan_.column());
    if (accept("mirrors") && !mirrorclause(index, mirror)) {
      mirror.track = -1;
      return false;
    }
    mirror.place = mirrors;
    if (!scan_.atend()) {
      problem(scan_.column(), "unexpected " + scan_.token());
      mirror.track = -1;
      return false;
    }
    return true;
  }

  // "track J across column N" after "mirrors", J an earlier track and N
  // perhaps ending in ".5", between two columns (or rows).
  bool mirrorclause(std::int64_t index, mirrorspec& mirror) {
    if (!accept("track")) {
      problem(scan_.column(), "expected 'track', found " + scan_.token());
      return false;
    }
    scan_.skipblanks();
    const std::uint64_t at = scan_.column();
    const auto source = number(0, int32most, "a track number");
    if (!source) return false;
    if (*source >= index) {
      problem(at, index == 0 ? std::string("track 0 has no earlier track")
                             : "expected an earlier track, 0 to " +
                                   std::to_string(index - 1));
      return false;
    }
    if (!accept("across")) {
      problem(scan_.column(), "expected 'across', found " + scan_.token());
      return false;
    }
    mirror.acrossrow = accept("row");
    if (!mirror.acrossrow && !accept("column")) {
      problem(scan_.column(),
              "expected 'column' or 'row', found " + scan_.token());
      return false;
    }
    scan_.skipblanks();
    mirror.axis = here(scan_.column());
    const auto axis = number(0, 255, mirror.acrossrow ? "a row" : "a column");
    if (!axis) return false;
    mirror.twice = 2 * *axis;
    if (scan_.peek() == '.' && scan_.peek(1) == '5' &&
        !textscanner::isdigit(scan_.peek(2))) {
      scan_.skip(2);
      ++mirror.twice;
    }
    mirror.track = *source;
    return true;
  }

  // The holes of a track that mirrors an earlier one, hole for hole, in
  // the same order; a mirror off the coordinates is a fault at the axis.
  // Lines of holes of its own are one fault.
  void mirrored(const mirrorspec& mirror) {
    const auto from = static_cast<std::size_t>(mirror.track);
    const std::size_t length = lengths_[from];
    const holetype* source = parts_.tracks[from].get();
    auto holes = std::make_unique<holetype[]>(length);
    for (std::size_t i = 0; i < length; ++i) {
      holetype hole = source[i];
      std::int32_t& moved = mirror.acrossrow ? hole.y : hole.x;
      moved = static_cast<std::int32_t>(mirror.twice - moved);
      if (moved < 0 || moved > 255) {
        problems_.push_back({mirror.axis.line, mirror.axis.column,
                             "the mirror of track " +
                                 std::to_string(mirror.track) + " hole " +
                                 std::to_string(i) + " at " +
                                 cellname(source[i].y, source[i].x) + " is " +
                                 (mirror.acrossrow ? "row " : "column ") +
                                 std::to_string(moved) + ", outside 0 to 255"});
        break;
      }
      holes[i] = hole;
    }
    parts_.tracks.push_back(std::move(holes));
    lengths_.push_back(length);
    if (places_ != nullptr) places_->holeitems.push_back({{0, mirror.place}});
    if (more() && scan_.peek() == '(') {
      problem(scan_.column(),
              "a track that mirrors another holds no holes of its own");
    }
    while (more() && scan_.peek() == '(') take();
  }

  // The holes of one track, on the lines that start with "(". Items past
  // the track's count are read only to count their holes; after a fault
  // the count is not known, nor told.
  bool holes(std::int64_t track, textplace line, bool counted) {
    holes_.clear();
    items_.clear();
    count_ = 0;
    overrun_.reset();
    while (more() && scan_.peek() == '(') {
      counted = holeline() && counted;
      take();
    }
    if (counted && count_ != parts_.holecount && !stopped()) {
      problems_.push_back(wrongcount(
          {track, count_, parts_.holecount, holes_, items_, overrun_, line}));
      checkmiscounted(track);
    }
    // Holes read past the count are let go; a short track is not filled
    // out, since memory follows the text (and the count is a fault).
    if (count_ > parts_.holecount) {
      holes_.resize(static_cast<std::size_t>(parts_.holecount));
    }
    lengths_.push_back(holes_.size());
    parts_.tracks.push_back(toarray(holes_));
    if (places_ != nullptr) {
      while (!items_.empty() && items_.back().first >= parts_.holecount) {
        items_.pop_back();
      }
      places_->holeitems.push_back(std::move(items_));
    }
    items_.clear();
    return !stopped();
  }

  // A line of hole items; false on a fault, which ends the line.
  bool holeline() {
    while (!scan_.atend() && !stopped()) {
      const std::uint64_t start = scan_.column();
      if (scan_.peek() != '(') {
        problem(start, "expected '(', found " + scan_.token());
        return false;
      }
      const auto run = holeitem();
      if (!run || !expand(*run, here(start))) return false;
    }
    return true;
  }

  // The holes of an item, in order; a fault where "on" leaves none.
  bool expand(const holerun& run, textplace place) {
    bool any = run.on.empty();
    if (!any) {
      eachcell(run, [&](std::int32_t row, std::int32_t column) {
        any = drawnon(row, column, run.on);
        return !any;
      });
    }
    if (!any) {
      problem(place.column - 1,
              "no cell of the run is drawn with " + quotedcharacters(run.on));
      return false;
    }
    bool first = true;
    eachcell(run, [&](std::int32_t row, std::int32_t column) {
      if (run.on.empty() || drawnon(row, column, run.on)) {
        holetype hole;
        hole.y = row;
        hole.x = column;
        keephole(hole, first, place);
        first = false;
      }
      return true;
    });
    return true;
  }

  // Keeps a hole of the track, the first of an item with its place. The
  // holes, and their items, are kept up to the track's count and, for the
  // count's check, some way past it.
  void keephole(const holetype& hole, bool first, textplace place) {
    constexpr std::int64_t beyondcount = 512;  // two items past it, at most
    const std::int64_t expected = parts_.holecount;
    const bool held = count_ < expected + beyondcount;
    if (first && held && count_ <= int32most) {
      items_.push_back({static_cast<std::int32_t>(count_), place});
    }
    if (held) holes_.push_back(hole);
    ++count_;
    if (count_ > expected && !overrun_) overrun_ = items_.size() - 1;
  }

  // Whether the picture draws the cell with one of the characters; none
  // outside the picture.
  bool drawnon(std::int32_t row, std::int32_t column,
               std::string_view on) const {
    return row >= 0 && static_cast<std::size_t>(row) < parts_.picture.size() &&
           column >= 0 && column < parts_.width &&
           takes(on, parts_.picture[row][column]);
  }

  // What the checks say of the holes of a track whose count is wrong, as
  // warnings at their items: a slip elsewhere in the track is still told
  // where it stands, though the board is not built.
  void checkmiscounted(std::int64_t track) {
    const auto height = static_cast<std::size_t>(parts_.height);
    if (places_ == nullptr || parts_.picture.size() != height ||
        parts_.colormap.size() != height) {
      return;
    }
    const auto placed = static_cast<std::int64_t>(holes_.size());
    boardtype board(parts_.height, parts_.width,
                    static_cast<std::int32_t>(placed), 1, parts_.paircount);
    const auto width = static_cast<std::size_t>(parts_.width);
    for (std::size_t r = 0; r < height; ++r) {
      std::copy_n(parts_.picture[r].get(), width + 1, board.picture[r].get());
      std::copy_n(parts_.colormap[r].get(), width + 1, board.colormap[r].get());
    }
    std::copy_n(holes_.begin(), placed, board.tracks[0].get());
    board.trackcolor[0] = parts_.trackcolor.back();
    textplaces places;
    places.holeitems.push_back(items_);
    const std::string name = "track " + std::to_string(track) + ' ';
    checkboard(board, [&](const boardproblem& problem) {
      if (problem.track != 0 || problem.hole < 0) return;
      const textplace at = places.hole(0, problem.hole);
      places_->warnings.push_back(
          {at.line, at.column, name + problem.message.substr(8)});
    });
  }

  bool finish() {
    if (!expect("finish")) return false;
    scan_.skipblanks();
    if (places_ != nullptr) places_->finish = here(scan_.column());
    const auto found = hole("the finish");
    if (found) {
      parts_.finish = *found;
      endstatement();
    }
    take();
    return !stopped();
  }

  // ---- problems and places ----

  textplace here(std::uint64_t column) const {
    return {scan_.line(), column + 1};
  }

  void problem(std::uint64_t column, std::string message) {
    problems_.push_back({scan_.line(), column + 1, std::move(message)});
  }

  void atendoftext(std::string message) {
    problems_.push_back({scan_.line() + 1, 1, std::move(message)});
  }

  // Something counted fell short: said where the next statement stands.
  void missing(const std::string& what) {
    if (stopped()) return;
    if (more()) {
      problem(scan_.column(), "expected " + what);
    } else {
      atendoftext("expected " + what + " before the end");
    }
  }

  textscanner scan_;
  bool atstatement_ = false;
  bool structural_ = false;
  std::string cells_;
  // The track being read: its holes (some way past its count), its items,
  // and the holes counted.
  std::vector<holetype> holes_;
  std::vector<textplaces::holeitem> items_;
  std::int64_t count_ = 0;
  std::optional<std::size_t> overrun_;  // the item where the count ran over
  std::vector<std::size_t> lengths_;    // of the tracks read
  boardparts parts_;
  textplaces* places_;
  std::vector<textproblem> problems_;
};

}  // namespace

namespace {

// Running out of memory is a problem like the others, as the board file's
// reader reports it, at line 0: it belongs to no place in the text. The
// memory the read had taken is free again by then.
std::vector<textproblem> parsewithin(const bytesource& source, boardtype& board,
                                     textplaces* places) {
  try {
    return textparser(source, places).parse(board);
  } catch (const std::bad_alloc&) {
    if (places != nullptr) *places = textplaces();
    return {{0, 0, "not enough memory for the board the text describes"}};
  }
}

}  // namespace

std::vector<textproblem> readboardtext(const bytesource& source,
                                       boardtype& board) {
  return parsewithin(source, board, nullptr);
}

std::vector<textproblem> readboardtext(const bytesource& source,
                                       boardtype& board, textplaces& places) {
  places = textplaces();
  return parsewithin(source, board, &places);
}

namespace {

template <typename... Places>
std::vector<textproblem> readfrommemory(std::string_view text, boardtype& board,
                                        Places&... places) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  std::span<const unsigned char> rest(data, text.size());
  return readboardtext(memorysource(rest), board, places...);
}

}  // namespace

std::vector<textproblem> readboardtext(std::string_view text,
                                       boardtype& board) {
  return readfrommemory(text, board);
}

std::vector<textproblem> readboardtext(std::string_view text, boardtype& board,
                                       textplaces& places) {
  return readfrommemory(text, board, places);
}

}  // namespace boards
