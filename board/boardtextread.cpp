// Reading the text form of a board. The text is read a line at a time and a
// row, a track or a table is sized only once its text has been read, so a
// text that claims a huge picture and holds three characters costs three
// characters (a run of holes costs the holes it holds). Every statement is one
// line; a fault inside a line is reported and the next line read, while a
// statement out of place ends the reading.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "board/boardtext.h"
#include "board/bytesources.h"

namespace boards {
namespace {

// Past this many problems a text is not worth reading on.
constexpr std::size_t mostproblems = 20;

constexpr std::int64_t int32most = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t int32least = std::numeric_limits<std::int32_t>::min();

// Hands out the text's lines, without their newlines.
class linereader {
 public:
  explicit linereader(const bytesource& source) : source_(source) {}

  // Reads the next line; false at the end of the text.
  bool next(std::string& line) {
    line.clear();
    while (!ended_) {
      if (view_.empty()) view_ = source_(boardpiecelength);
      if (view_.empty()) {
        ended_ = true;
        break;
      }
      const auto* text = reinterpret_cast<const char*>(view_.data());
      const auto* newline =
          static_cast<const char*>(std::memchr(text, '\n', view_.size()));
      const std::size_t taken =
          newline != nullptr ? std::size_t(newline - text) : view_.size();
      line.append(text, taken);
      view_ = view_.subspan(std::min(view_.size(), taken + 1));
      if (newline != nullptr) {
        ++number_;
        return true;
      }
    }
    if (line.empty()) return false;
    ++number_;  // a last line without a newline
    return true;
  }

  std::uint64_t number() const { return number_; }

 private:
  const bytesource& source_;
  std::span<const unsigned char> view_;
  bool ended_ = false;
  std::uint64_t number_ = 0;
};

bool isblank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isletter(char c) { return c >= 'a' && c <= 'z'; }
bool isdigit(char c) { return c >= '0' && c <= '9'; }
bool iscontrol(char c) { return (c >= 0 && c < ' ') || c == 127; }

// A colormap cell in a row of digits: 0 to 9, then a to z for 10 to 35.
int cellvalue(char c) {
  if (isdigit(c)) return c - '0';
  if (isletter(c)) return c - 'a' + 10;
  return -1;
}

int hexvalue(char c) {
  if (isdigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
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

// A count and its noun, singular for one: "1 pair", "2 pairs".
std::string howmany(std::int64_t count, const std::string& noun) {
  return std::to_string(count) + ' ' + noun + (count == 1 ? "" : "s");
}

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

// One side of a hole item: a value, or the run first..last by step.
struct runside {
  std::int64_t first = 0, last = 0, step = 1;
  std::int64_t count() const { return std::abs(last - first) / step + 1; }
  std::int32_t at(std::int64_t index) const {
    return static_cast<std::int32_t>(first +
                                     (last < first ? -index : index) * step);
  }
};

// A hole item: its two sides, and the holes it stands for.
struct holerun {
  runside row, column;
  std::int64_t count = 1;
};

std::string at(const holetype& hole) {
  std::string text = "(";
  text += std::to_string(hole.y);
  text += ", ";
  text += std::to_string(hole.x);
  return text += ')';
}

std::int32_t distance(const holetype& a, const holetype& b) {
  return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

class textparser {
 public:
  textparser(const bytesource& source, textplaces* places)
      : lines_(source), places_(places) {}

  std::vector<textproblem> parse(boardtype& board) {
    if (head() && picture() && colormap() && pairs() && tracks() && finish()) {
      if (more()) problem(pos_, "text after the end of the board");
    }
    if (problems_.empty()) board = boardassembler::assemble(parts_);
    return std::move(problems_);
  }

 private:
  // ---- statements: one to a line, blank lines and comments between ----

  // Whether a statement is at hand; reads on to the next one when the last
  // was taken. pos_ stands at its first character.
  bool more() {
    while (!stopped() && !atstatement_) {
      if (!lines_.next(line_)) return false;
      pos_ = 0;
      atstatement_ = !atend();
    }
    return atstatement_ && !stopped();
  }
  void take() { atstatement_ = false; }

  // The statement's end: only blanks or a comment may follow.
  void endstatement() {
    if (!atend()) problem(pos_, "unexpected " + token());
    take();
  }

  bool stopped() const {
    return problems_.size() >= mostproblems || structural_;
  }

  // ---- within a statement ----

  void skipblanks() {
    while (pos_ < line_.size() && isblank(line_[pos_])) ++pos_;
  }
  bool atend() {
    skipblanks();
    return pos_ == line_.size() || line_[pos_] == '#';
  }
  char peek() const { return pos_ < line_.size() ? line_[pos_] : '\n'; }

  // The word or the character at pos_, quoted, to name what was found.
  std::string token() const {
    if (pos_ == line_.size()) return "the end of the line";
    std::size_t end = pos_;
    while (end < line_.size() && isletter(line_[end])) ++end;
    const auto c = static_cast<unsigned char>(line_[pos_]);
    if (end == pos_ && (c < ' ' || c > '~')) {
      constexpr char hex[] = "0123456789abcdef";
      return std::string("byte \\x") + hex[c >> 4] + hex[c & 15];
    }
    std::string quoted = "'";
    quoted.append(line_, pos_, std::max(end, pos_ + 1) - pos_);
    return quoted += '\'';
  }

  bool lookingat(std::string_view word) {
    skipblanks();
    return line_.compare(pos_, word.size(), word) == 0 &&
           !isletter(pos_ + word.size() < line_.size()
                         ? line_[pos_ + word.size()]
                         : ' ');
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
    if (!lookingat(word)) {
      problem(pos_, "expected '" + std::string(word) + "', found " + token());
      structural_ = true;
      return false;
    }
    pos_ += word.size();
    return true;
  }

  bool punct(char c) {
    skipblanks();
    if (peek() != c) {
      problem(pos_, std::string("expected '") + c + "', found " + token());
      return false;
    }
    ++pos_;
    return true;
  }

  // A decimal number from least to most; out of range is an error, never
  // wrapped.
  std::optional<std::int64_t> number(std::int64_t least, std::int64_t most,
                                     std::string_view what) {
    skipblanks();
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    if (negative) ++pos_;
    if (!isdigit(peek())) {
      pos_ = start;
      std::string message = "expected ";
      message.append(what).append(", found ").append(token());
      problem(pos_, std::move(message));
      return std::nullopt;
    }
    std::int64_t value = 0;
    constexpr std::int64_t beyond = std::int64_t{1} << 40;  // beyond any range
    while (isdigit(peek())) {
      value = std::min(beyond, value * 10 + (line_[pos_++] - '0'));
    }
    if (negative) value = -value;
    if (value < least || value > most) {
      std::string message(what);
      message.append(" ").append(line_, start, pos_ - start);
      message.append(value < least ? " is below " : " is above ");
      message.append(std::to_string(value < least ? least : most));
      problem(start, std::move(message));
      return std::nullopt;
    }
    return value;
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
    skipblanks();
    const std::size_t start = pos_;
    const auto first = number(0, 255, what);
    if (!first) return std::nullopt;
    runside side;
    side.first = side.last = *first;
    skipblanks();
    if (line_.compare(pos_, 2, "..") != 0) return side;
    pos_ += 2;
    runseen_ = true;
    const auto last = number(0, 255, what);
    if (!last) return std::nullopt;
    side.last = *last;
    if (lookingat("by")) {
      pos_ += 2;
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

  // "(row, column)", where either side or both may be a run.
  std::optional<holerun> holeitem() {
    const std::size_t open = pos_;
    if (!punct('(')) return std::nullopt;
    holerun run;
    const auto row = side("a hole row");
    if (!row || !punct(',')) return std::nullopt;
    const auto column = side("a hole column");
    if (!column || !punct(')')) return std::nullopt;
    run.row = *row;
    run.column = *column;
    const std::int64_t rows = row->count(), columns = column->count();
    if (rows > 1 && columns > 1 && rows != columns) {
      problem(open, "a diagonal run takes as many rows as columns, found " +
                        std::to_string(rows) + " rows and " +
                        std::to_string(columns) + " columns");
      return std::nullopt;
    }
    run.count = std::max(rows, columns);
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
    while (more() && openers.find(peek()) != std::string_view::npos) {
      if (count == parts_.height) {
        problem(pos_, std::string("more ") + grid + " rows than the height " +
                          std::to_string(parts_.height));
      }
      if (count < parts_.height && row()) endstatement();
      take();
      ++count;
    }
    if (count < parts_.height) {
      missing(howmany(parts_.height, std::string(grid) + " row") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  // A row's last byte, when the row says it is not 0.
  std::optional<unsigned char> rowend() {
    if (!lookingat("end")) return 0;
    pos_ += 3;
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
    const std::size_t open = pos_++;
    if (places_ != nullptr) places_->picturerows.push_back(here(open));
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    std::optional<std::size_t> control;
    while (cells_.size() < width && pos_ < line_.size()) {
      char c = line_[pos_];
      if (c == '\\') {
        const auto escaped = escape();
        if (!escaped) return false;
        c = *escaped;
      } else {
        if (iscontrol(c) && !control) control = pos_;
        ++pos_;
      }
      cells_.push_back(c);
    }
    if (cells_.size() < width || peek() != '|') return wronglength(open);
    if (control && places_ != nullptr) {
      const auto byte = static_cast<unsigned char>(line_[*control]);
      constexpr char hex[] = "0123456789abcdef";
      places_->warnings.push_back(
          {lines_.number(), *control + 1,
           std::string("a raw control byte in a picture row: write \\x") +
               hex[byte >> 4] + hex[byte & 15] + " if it is meant"});
    }
    ++pos_;
    const auto end = rowend();
    if (!end) return false;
    auto row = std::make_unique<char[]>(width + 1);
    std::copy(cells_.begin(), cells_.end(), row.get());
    row[width] = static_cast<char>(*end);
    parts_.picture.push_back(std::move(row));
    return true;
  }

  std::optional<char> escape() {
    const std::size_t start = pos_++;
    if (peek() == '\\') {
      ++pos_;
      return '\\';
    }
    if (peek() == 'x' && pos_ + 2 < line_.size() &&
        hexvalue(line_[pos_ + 1]) >= 0 && hexvalue(line_[pos_ + 2]) >= 0) {
      const int value =
          hexvalue(line_[pos_ + 1]) * 16 + hexvalue(line_[pos_ + 2]);
      pos_ += 3;
      return static_cast<char>(value);
    }
    problem(start, "bad escape: '\\\\' is a backslash, '\\xHH' any byte");
    return std::nullopt;
  }

  // A row between bars that is not width long. Bars may stand inside a row,
  // so its closing bar is the first after which only a row's end byte and a
  // comment follow; the row's length is counted up to there.
  bool wronglength(std::size_t open) {
    for (std::size_t bar = line_.find('|', open + 1); bar != std::string::npos;
         bar = line_.find('|', bar + 1)) {
      if (!closes(bar)) continue;
      std::size_t length = 0;
      for (std::size_t at = open + 1; at < bar; ++length) {
        const bool hex = line_.compare(at, 2, "\\x") == 0 && at + 3 < bar;
        at += hex ? 4 : line_.compare(at, 2, "\\\\") == 0 ? 2 : 1;
      }
      problem(bar, "the row has " + howmany(length, "character") +
                       "; the width is " + std::to_string(parts_.width));
      return false;
    }
    problem(line_.size(), "expected '|' to close the row");
    return false;
  }

  // Whether the bar at this place can close a row.
  bool closes(std::size_t bar) {
    const std::size_t saved = pos_;
    pos_ = bar + 1;
    bool closing = atend();
    if (!closing && lookingat("end")) {
      pos_ += 3;
      skipblanks();
      while (isdigit(peek())) ++pos_;
      closing = atend();
    }
    pos_ = saved;
    return closing;
  }

  bool colormap() {
    if (!expect("colormap")) return false;
    endstatement();
    return rows("colormap", "|[", [this] {
      if (places_ != nullptr) places_->colormaprows.push_back(here(pos_));
      return peek() == '|' ? digitrow() : numberrow();
    });
  }

  bool digitrow() {
    const std::size_t open = pos_++;
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    while (cells_.size() < width && cellvalue(peek()) >= 0) {
      cells_.push_back(static_cast<char>(cellvalue(line_[pos_++])));
    }
    if (cells_.size() < width && peek() != '|' && peek() != '\n') {
      problem(pos_,
              "expected a digit or a letter a-z (10 to 35); larger values "
              "take a row of numbers in brackets");
      return false;
    }
    if (cells_.size() < width || peek() != '|') return wronglength(open);
    ++pos_;
    return keepcolormaprow();
  }

  bool numberrow() {
    ++pos_;
    cells_.clear();
    const auto width = static_cast<std::size_t>(parts_.width);
    for (skipblanks(); peek() != ']'; skipblanks()) {
      if (cells_.size() == width) {
        problem(pos_, "the row has more values than the width " +
                          std::to_string(width));
        return false;
      }
      const auto value = number(0, 255, "a color index");
      if (!value) return false;
      cells_.push_back(static_cast<char>(*value));
    }
    if (cells_.size() < width) {
      problem(pos_,
              "the row has " +
                  howmany(static_cast<std::int64_t>(cells_.size()), "value") +
                  "; the width is " + std::to_string(width));
      return false;
    }
    ++pos_;
    return keepcolormaprow();
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

  bool pairs() {
    std::int64_t count = 0;
    while (more() && lookingat("pair")) {
      if (count == parts_.paircount) {
        problem(pos_, "more pairs than the " +
                          std::to_string(parts_.paircount) + " declared");
      }
      pos_ += 4;
      const auto foreground = number(0, 255, "a color number");
      const auto background =
          foreground ? number(0, 255, "a color number") : std::nullopt;
      if (background && count < parts_.paircount) {
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
      missing(howmany(parts_.paircount, "pair") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  bool tracks() {
    std::int64_t count = 0;
    while (more() && lookingat("track")) {
      if (count == parts_.trackcount) {
        problem(pos_, "more tracks than the " +
                          std::to_string(parts_.trackcount) + " declared");
        structural_ = true;
        return false;
      }
      if (places_ != nullptr) places_->tracks.push_back(here(pos_));
      pos_ += 5;
      trackhead(count);
      take();
      if (!holes(count)) return false;
      ++count;
    }
    if (count < parts_.trackcount) {
      missing(howmany(parts_.trackcount, "track") + ", found " +
              std::to_string(count));
    }
    return !stopped();
  }

  // "track K color C", K counting from 0.
  void trackhead(std::int64_t index) {
    std::int32_t color = 0;
    skipblanks();
    const std::size_t at = pos_;
    const auto number = this->number(0, int32most, "a track number");
    if (number && *number != index) {
      problem(at, "expected track " + std::to_string(index) + ", found " +
                      std::to_string(*number));
    }
    if (number && lookingat("color")) {
      pos_ += 5;
      const auto read = this->number(0, 255, "a track color");
      if (read) color = static_cast<std::int32_t>(*read);
      if (read) endstatement();
    } else if (number) {
      problem(pos_, "expected 'color', found " + token());
    }
    parts_.trackcolor.push_back(color);
  }

  // The holes of one track, on the lines that start with "(". A faulty
  // item is one problem and reading goes on at the next "(": a faulty hole
  // still counts, a stray item between holes does not, and after a faulty
  // run the count is not known.
  bool holes(std::int64_t track) {
    holes_.clear();
    items_.clear();
    std::int64_t count = 0;
    bool counted = true;
    const auto expected = static_cast<std::int64_t>(parts_.holecount);
    while (more() && peek() == '(') {
      while (!atend() && !stopped()) {
        const std::size_t start = pos_;
        if (peek() != '(') {
          problem(pos_, "expected '(', found " + token());
          pos_ = std::min(line_.size(), line_.find('(', pos_));
          continue;
        }
        runseen_ = false;
        const auto run = holeitem();
        if (!run) {
          counted = counted && !runseen_;
          if (!runseen_) ++count;
          pos_ = std::min(line_.size(), line_.find('(', pos_));
          continue;
        }
        if (count + run->count > expected) {
          problem(start, "more holes than the " + std::to_string(expected) +
                             " of a track");
          break;
        }
        items_.push_back({static_cast<std::int32_t>(count), here(start)});
        for (std::int64_t i = 0; i < run->count; ++i) {
          holetype hole;
          hole.set(run->row.at(std::min(i, run->row.count() - 1)),
                   run->column.at(std::min(i, run->column.count() - 1)));
          holes_.push_back(hole);
        }
        count += run->count;
      }
      take();
    }
    if (counted && count < expected) {
      missing(
          howmany(expected, "hole") + " in track " + std::to_string(track) +
          ", found " + std::to_string(count) +
          (static_cast<std::int64_t>(holes_.size()) == count ? widest() : ""));
    }
    parts_.tracks.push_back(toarray(holes_));
    holes_.clear();
    if (places_ != nullptr) places_->holeitems.push_back(std::move(items_));
    items_.clear();
    return !stopped();
  }

  // Where a missing hole most likely is: the longest step between the holes
  // read.
  std::string widest() const {
    std::size_t after = 0;
    std::int32_t longest = 0;
    for (std::size_t i = 1; i < holes_.size(); ++i) {
      const std::int32_t step = distance(holes_[i - 1], holes_[i]);
      if (step > longest) {
        longest = step;
        after = i;
      }
    }
    if (after == 0) return "";
    const auto item = std::prev(std::upper_bound(
        items_.begin(), items_.end(), static_cast<std::int32_t>(after),
        [](std::int32_t hole, const textplaces::holeitem& item) {
          return hole < item.first;
        }));
    return "; the longest step, " + std::to_string(longest) +
           (longest == 1 ? " cell" : " cells") + ", is from hole " +
           std::to_string(after - 1) + " at " + at(holes_[after - 1]) +
           " to hole " + std::to_string(after) + " at " + at(holes_[after]) +
           " on line " + std::to_string(item->place.line);
  }

  bool finish() {
    if (!expect("finish")) return false;
    skipblanks();
    if (places_ != nullptr) places_->finish = here(pos_);
    const auto found = hole("the finish");
    if (found) {
      parts_.finish = *found;
      endstatement();
    }
    take();
    return !stopped();
  }

  // ---- problems and places ----

  textplace here(std::size_t column) const {
    return {lines_.number(), column + 1};
  }

  void problem(std::size_t column, std::string message) {
    problems_.push_back({lines_.number(), column + 1, std::move(message)});
  }

  void atendoftext(std::string message) {
    problems_.push_back({lines_.number() + 1, 1, std::move(message)});
  }

  // Something counted fell short: said where the next statement stands.
  void missing(const std::string& what) {
    if (stopped()) return;
    if (more()) {
      problem(pos_, "expected " + what);
    } else {
      atendoftext("expected " + what + " before the end");
    }
  }

  linereader lines_;
  std::string line_;
  std::size_t pos_ = 0;
  bool atstatement_ = false;
  bool structural_ = false;
  std::string cells_;
  std::vector<holetype> holes_;
  std::vector<textplaces::holeitem> items_;  // the current track's
  bool runseen_ = false;  // whether the item being read has a run
  boardparts parts_;
  textplaces* places_;
  std::vector<textproblem> problems_;
};

}  // namespace

textplace textplaces::hole(std::int32_t track, std::int32_t hole) const {
  if (track < 0 || static_cast<std::size_t>(track) >= holeitems.size()) {
    return {};
  }
  const std::vector<holeitem>& items = holeitems[track];
  const auto after =
      std::upper_bound(items.begin(), items.end(), hole,
                       [](std::int32_t hole, const holeitem& item) {
                         return hole < item.first;
                       });
  if (hole < 0 || after == items.begin()) return {};
  return std::prev(after)->place;
}

textplace textplaces::of(const boardproblem& problem) const {
  const auto in = [](const std::vector<textplace>& places, std::int32_t at) {
    return at >= 0 && static_cast<std::size_t>(at) < places.size()
               ? places[at]
               : textplace();
  };
  switch (problem.kind) {
    case problemkind::colorindex:
      return in(colormaprows, problem.row);
    case problemkind::trackcolor:
      return in(tracks, problem.track);
    default:
      return problem.track < 0 ? finish : hole(problem.track, problem.hole);
  }
}

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
