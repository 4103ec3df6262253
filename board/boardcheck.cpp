#include "board/boardcheck.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "board/boardfile.h"
#include "board/words.h"

namespace boards {
namespace {

bool fitsabyte(std::int32_t value) { return value >= 0 && value <= 255; }

// A hole is known by its index along all tracks; the finish comes after them.
struct holeindex {
  std::int32_t track;  // -1 for the finish
  std::int32_t hole;
};

void appendhole(std::string& text, holeindex index) {
  if (index.track < 0) {
    text += "finish";
    return;
  }
  text += "track ";
  appendnumber(text, index.track);
  text += " hole ";
  appendnumber(text, index.hole);
}

// "track 1 hole 7 at (3, 2): ", the start of a message about a hole.
void appendholeat(std::string& text, holeindex index, const holetype& hole) {
  appendhole(text, index);
  text += " at ";
  appendcell(text, hole.y, hole.x);
  text += ": ";
}

// Hands problems to the sink through one problem whose message is written
// anew each time, so that a million problems cost no allocation each.
class reporter {
 public:
  explicit reporter(const problemsink& sink) : sink_(sink) {}

  // The problem's message, emptied, to be written before send.
  std::string& begin(problemkind kind, std::int32_t track, std::int32_t hole,
                     std::int32_t row, std::int32_t column) {
    problem_.kind = kind;
    problem_.track = track;
    problem_.hole = hole;
    problem_.row = row;
    problem_.column = column;
    problem_.value = -1;
    problem_.message.clear();
    return problem_.message;
  }
  // The color index of the cell the problem is about.
  void value(std::int32_t value) { problem_.value = value; }
  void send() { sink_(problem_); }

 private:
  const problemsink& sink_;
  boardproblem problem_;
};

// Checks each hole, the finish last, against the picture and the others.
class holechecker {
 public:
  holechecker(const boardtype& board, reporter& report)
      : board_(board), size_(board.arraysizes()), report_(report) {}

  void check(const holetype& hole, holeindex index) {
    checkfit(hole, index);
    if (hole.y < 0 || hole.y >= size_.height || hole.x < 0 ||
        hole.x >= size_.width) {
      std::string& message = begin(problemkind::outside, hole, index);
      message += "outside the ";
      appendnumber(message, size_.width);
      message += 'x';
      appendnumber(message, size_.height);
      message += " picture";
      report_.send();
      return;
    }
    if (board_.picturerow(hole.y)[hole.x] == ' ') {
      begin(problemkind::blank, hole, index) += "on a blank cell";
      report_.send();
    }
    if (const auto owner = claim(hole, index)) {
      std::string& message = begin(problemkind::shared, hole, index);
      message += "on the same cell as ";
      appendhole(message, *owner);
      report_.send();
    }
  }

 private:
  // A coordinate the file cannot hold, column first, as a save names it.
  void checkfit(const holetype& hole, holeindex index) {
    const bool columnfits = fitsabyte(hole.x);
    if (columnfits && fitsabyte(hole.y)) return;
    std::string& message = begin(problemkind::unfit, hole, index);
    message += columnfits ? "row " : "column ";
    appendnumber(message, columnfits ? hole.y : hole.x);
    message += " does not fit in a byte";
    report_.send();
  }

  // The message of a problem with the hole, begun with where it stands.
  std::string& begin(problemkind kind, const holetype& hole, holeindex index) {
    std::string& message = report_.begin(
        kind, index.track, index.track < 0 ? -1 : index.hole, hole.y, hole.x);
    appendholeat(message, index, hole);
    return message;
  }

  // Gives the cell to the hole, or says which hole had it first. A file
  // holds coordinates below 256, so their cells have a table; others, from
  // boards made in memory, a map.
  std::optional<holeindex> claim(const holetype& hole, holeindex index) {
    if (hole.y < bytecells && hole.x < bytecells) {
      if (owned_.empty()) owned_.assign(bytecells * bytecells, {-2, -1});
      holeindex& owner = owned_[hole.y * bytecells + hole.x];
      if (owner.track != -2) return owner;
      owner = index;
      return std::nullopt;
    }
    const std::int64_t cell = std::int64_t{hole.y} * size_.width + hole.x;
    const auto [owner, first] = owners_.try_emplace(cell, index);
    if (!first) return owner->second;
    return std::nullopt;
  }

  static constexpr std::int32_t bytecells = 256;
  const boardtype& board_;
  const boardtype::sizestype size_;
  reporter& report_;
  std::vector<holeindex> owned_;  // by cell; track -2 when free
  std::unordered_map<std::int64_t, holeindex> owners_;
};

void appendnotapair(std::string& text, std::int32_t value,
                    std::int32_t paircount) {
  text += "color index ";
  appendnumber(text, value);
  text += " is not below the pair count ";
  appendnumber(text, paircount);
}

// Whether a picture byte is part of a word: a letter or a digit.
bool inword(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

// Whether the cell of a word stands out from the cells beside it in the
// word, which agree with each other: a middle cell that differs from both
// its neighbours, an end cell that differs from the two next to it. Of a
// word of two that differ, the one whose color is not the usual one of the
// row's words, else the one whose color is not that of the cells around
// the word, else the second.
bool standsout(const unsigned char* colors, std::int32_t width,
               std::int32_t first, std::int32_t end, std::int32_t k,
               unsigned char usual) {
  const unsigned char color = colors[k];
  if (k > first && k + 1 < end) {
    return colors[k - 1] != color && colors[k - 1] == colors[k + 1];
  }
  if (end - first == 2) {
    if (colors[first] == colors[first + 1]) return false;
    const auto around = [&](unsigned char value) {
      return (first > 0 && colors[first - 1] == value) ||
             (end < width && colors[end] == value);
    };
    const unsigned char other = colors[k == first ? first + 1 : first];
    if ((other == usual) != (color == usual)) return other == usual;
    if (around(other) != around(color)) return around(other);
    return k + 1 == end;
  }
  const std::int32_t next = k == first ? k + 1 : k - 1;
  const std::int32_t beyond = k == first ? k + 2 : k - 2;
  return colors[next] != color && colors[next] == colors[beyond];
}

// The cells of the row's words (runs of letters or digits: a title, a
// number label) whose color index stands out from the rest of the word:
// most likely a slip of the colormap, since a label is drawn in one color.
void checklabels(const boardtype& board, std::int32_t r, reporter& report) {
  const std::string_view drawn = board.picturerow(r);
  const unsigned char* colors = board.colorrow(r).data();
  const auto width = static_cast<std::int32_t>(board.colorrow(r).size());
  std::int32_t counts[256] = {};
  for (std::int32_t c = 0; c < width; ++c)
    counts[colors[c]] += inword(drawn[c]);
  const auto usual = static_cast<unsigned char>(
      std::max_element(counts, counts + 256) - counts);
  for (std::int32_t first = 0; first < width;) {
    std::int32_t end = first;
    while (end < width && inword(drawn[end])) ++end;
    for (std::int32_t k = first; end - first >= 2 && k < end; ++k) {
      if (!standsout(colors, width, first, end, k, usual)) continue;
      std::string& message =
          report.begin(problemkind::labelcolor, -1, -1, r, k);
      report.value(colors[k]);
      message += "colormap at ";
      appendcell(message, r, k);
      message += ": '";
      message += drawn[k];
      message += "' of \"";
      message += drawn.substr(first, std::min(end - first, 32));
      if (end - first > 32) message += "...";
      message += "\" on color index ";
      appendnumber(message, colors[k]);
      message += ", where the word's cells beside it are on ";
      appendnumber(message, colors[k == first ? k + 1 : k - 1]);
      report.send();
    }
    first = std::max(end, first + 1);
  }
}

void checkcolors(const boardtype& board, reporter& report) {
  const boardtype::sizestype size = board.arraysizes();
  for (std::int32_t r = 0; r < size.height; ++r) {
    const std::span<const unsigned char> colors = board.colorrow(r);
    for (std::int32_t c = 0; c < size.width; ++c) {
      if (colors[c] >= size.paircount) {
        std::string& message =
            report.begin(problemkind::colorindex, -1, -1, r, c);
        report.value(colors[c]);
        message += "colormap at ";
        appendcell(message, r, c);
        message += ": ";
        appendnotapair(message, colors[c], size.paircount);
        report.send();
      }
    }
    checklabels(board, r, report);
  }
  const std::span<const std::int32_t> trackcolors = board.trackcolors();
  for (std::int32_t t = 0; t < size.trackcount; ++t) {
    const std::int32_t value = trackcolors[t];
    if (!fitsabyte(value)) {
      std::string& message = report.begin(problemkind::unfit, t, -1, -1, -1);
      message += "track ";
      appendnumber(message, t);
      message += " color: ";
      appendnumber(message, value);
      message += " does not fit in a byte";
      report.send();
    }
    if (value < 0 || value >= size.paircount) {
      std::string& message =
          report.begin(problemkind::trackcolor, t, -1, -1, -1);
      message += "track ";
      appendnumber(message, t);
      message += " color: ";
      appendnotapair(message, value, size.paircount);
      report.send();
    }
  }
}

// What nearly all of a track's holes stand on, a character and a color
// index; a hole on anything else is most likely a slip (a label, another
// band). Nearly all: at least nine in ten of the holes on the picture.
class trackmajority {
 public:
  trackmajority(const boardtype& board, std::span<const holetype> track)
      : board_(board), size_(board.arraysizes()) {
    std::int64_t characters[256] = {}, colors[256] = {}, inside = 0;
    for (const holetype& hole : track) {
      if (!onpicture(hole)) continue;
      ++inside;
      ++characters[drawn(hole)];
      ++colors[color(hole)];
    }
    character_ = nearlyall(characters, inside, most_[0]);
    color_ = nearlyall(colors, inside, most_[1]);
  }

  // A hole on a blank cell is told of as that, and not again here.
  void check(const holetype& hole, holeindex index, reporter& report) const {
    if (!onpicture(hole) || drawn(hole) == ' ') return;
    const unsigned char c = drawn(hole);
    if (character_ && c != *character_) {
      std::string& message = begin(hole, index, report);
      message += "on '";
      appendpicturecharacter(message, c);
      message += "', where the track's other ";
      message += counted(most_[0], "hole");
      message += " are on '";
      appendpicturecharacter(message, *character_);
      message += '\'';
      report.send();
    }
    const unsigned char value = color(hole);
    if (color_ && value != *color_) {
      std::string& message = begin(hole, index, report);
      message += "on color index ";
      appendnumber(message, value);
      message += ", where the track's other ";
      message += counted(most_[1], "hole");
      message += " are on color index ";
      appendnumber(message, *color_);
      report.send();
    }
  }

 private:
  bool onpicture(const holetype& hole) const {
    return hole.y >= 0 && hole.y < size_.height && hole.x >= 0 &&
           hole.x < size_.width;
  }
  unsigned char drawn(const holetype& hole) const {
    return static_cast<unsigned char>(board_.picturerow(hole.y)[hole.x]);
  }
  unsigned char color(const holetype& hole) const {
    return board_.colorrow(hole.y)[hole.x];
  }

  // The value nearly all holes take, when some holes take another, and
  // how many take it.
  static std::optional<unsigned char> nearlyall(
      const std::int64_t (&counts)[256], std::int64_t holes,
      std::int64_t& taking) {
    const std::int64_t* most = std::max_element(counts, counts + 256);
    taking = *most;
    if (*most == holes || *most * 10 < holes * 9) return std::nullopt;
    return static_cast<unsigned char>(most - counts);
  }

  static std::string& begin(const holetype& hole, holeindex index,
                            reporter& report) {
    std::string& message = report.begin(problemkind::unlike, index.track,
                                        index.hole, hole.y, hole.x);
    appendholeat(message, index, hole);
    return message;
  }

  const boardtype& board_;
  const boardtype::sizestype size_;
  std::optional<unsigned char> character_, color_;
  std::int64_t most_[2] = {};  // holes on the character, on the color
};

void checkstep(const holetype& before, const holetype& hole, holeindex index,
               const checkoptions& options, reporter& report) {
  const std::int64_t step = stepbetween(before, hole);
  if (step <= options.maxstep) return;
  std::string& message = report.begin(problemkind::longstep, index.track,
                                      index.hole, hole.y, hole.x);
  appendholeat(message, index, hole);
  message += counted(step, "cell");
  message += " from hole ";
  appendnumber(message, index.hole - 1);
  message += " at ";
  appendcell(message, before.y, before.x);
  report.send();
}

// Reports sizes or arrays changed by hand, as a save refuses them; whether
// the arrays are the board's own, and so can be checked through its views.
bool checkmatch(const boardtype& board, reporter& report) {
  if (board.arraysmatch()) return true;
  std::string& message = report.begin(problemkind::mismatch, -1, -1, -1, -1);
  message += checkencodable(board).describe();
  report.send();
  return board.strayarray().field == nullptr;
}

}  // namespace

const char* kindname(problemkind kind) {
  switch (kind) {
    case problemkind::outside:
      return "outside";
    case problemkind::blank:
      return "blank";
    case problemkind::shared:
      return "shared";
    case problemkind::colorindex:
      return "colorindex";
    case problemkind::trackcolor:
      return "trackcolor";
    case problemkind::longstep:
      return "longstep";
    case problemkind::unfit:
      return "unfit";
    case problemkind::mismatch:
      return "mismatch";
    case problemkind::unlike:
      return "unlike";
    case problemkind::labelcolor:
      return "labelcolor";
  }
  return "unknown";
}

std::int64_t stepbetween(const holetype& from, const holetype& to) {
  return std::max(std::abs(std::int64_t{from.x} - to.x),
                  std::abs(std::int64_t{from.y} - to.y));
}

void checkboard(const boardtype& board, const problemsink& sink,
                const checkoptions& options) {
  reporter report(sink);
  if (!checkmatch(board, report)) return;
  holechecker holes(board, report);
  for (std::int32_t t = 0; t < board.arraysizes().trackcount; ++t) {
    const std::span<const holetype> track = board.trackholes(t);
    const trackmajority majority(board, track);
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(track.size()); ++i) {
      holes.check(track[i], {t, i});
      majority.check(track[i], {t, i}, report);
      if (i > 0) checkstep(track[i - 1], track[i], {t, i}, options, report);
    }
  }
  holes.check(board.finish, {-1, -1});
  checkcolors(board, report);
}

std::vector<boardproblem> checkboard(const boardtype& board,
                                     const checkoptions& options) {
  std::vector<boardproblem> problems;
  checkboard(
      board,
      [&problems](const boardproblem& problem) { problems.push_back(problem); },
      options);
  return problems;
}

}  // namespace boards
