#include "trackedit/model.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "board/boardtext.h"

namespace trackedit {
namespace {

std::int32_t sign(std::int32_t value) { return (value > 0) - (value < 0); }

// "1 cell" or "12 cells", for the names of steps.
std::string count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::size_t cells(std::int32_t width, std::int32_t height) {
  return static_cast<std::size_t>(width) * height;
}

std::string quoted(char character) {
  std::string text = "'";  // piece by piece, as keys::name builds it
  text += character;
  text += '\'';
  return text;
}

}  // namespace

document::document(std::int32_t width, std::int32_t height)
    : board_{.width = width,
             .height = height,
             .picture = std::vector<char>(cells(width, height), ' '),
             .colormap = std::vector<unsigned char>(cells(width, height), 0),
             .pictureend = std::vector<char>(height, '\0'),
             .colorend = std::vector<unsigned char>(height, 0),
             .pairs = {pairtype{7, 0}},
             .tracks = {},
             .finish = {}},
      occupants_(board_.picture.size()) {}

document::document(const boardtype& board)
    : board_{.width = board.width,
             .height = board.height,
             .holecount = board.holecount,
             .picture = std::vector<char>(cells(board.width, board.height)),
             .colormap =
                 std::vector<unsigned char>(cells(board.width, board.height)),
             .pictureend = std::vector<char>(board.height),
             .colorend = std::vector<unsigned char>(board.height),
             .pairs = std::vector<pairtype>(board.paircount),
             .tracks = std::vector<tracktype>(board.trackcount),
             .finish = {board.finish.y, board.finish.x}},
      occupants_(board_.picture.size()) {
  std::copy_n(board.header, 4, board_.header.begin());
  for (std::int32_t r = 0; r < board_.height; ++r) {
    std::copy_n(board.picture[r].get(), board_.width,
                board_.picture.begin() + offset({r, 0}));
    std::copy_n(board.colormap[r].get(), board_.width,
                board_.colormap.begin() + offset({r, 0}));
    board_.pictureend[r] = board.picture[r][board_.width];
    board_.colorend[r] = board.colormap[r][board_.width];
  }
  for (std::int32_t i = 0; i < board.paircount; ++i) {
    board_.pairs[i] = {board.pairs[i][0], board.pairs[i][1]};
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    board_.tracks[t].color = board.trackcolor[t];
    board_.tracks[t].holes.reserve(board.holecount);
    for (std::int32_t i = 0; i < board.holecount; ++i) {
      board_.tracks[t].holes.push_back(
          {board.tracks[t][i].y, board.tracks[t][i].x});
    }
  }
  reindex();
}

bool document::inside(celltype cell) const {
  return cell.row >= 0 && cell.row < board_.height && cell.column >= 0 &&
         cell.column < board_.width;
}

std::optional<std::int32_t> document::holeat(std::int32_t track,
                                             celltype cell) const {
  if (!inside(cell)) return std::nullopt;
  const auto owners = tracksat(cell);
  if (std::find(owners.begin(), owners.end(), track) == owners.end()) {
    return std::nullopt;
  }
  const auto& holes = board_.tracks[track].holes;
  for (std::size_t i = holes.size(); i-- > 0;) {
    if (holes[i] == cell) return static_cast<std::int32_t>(i);
  }
  return std::nullopt;
}

namespace {

// Calls visit for each cell of the rectangle with these two corners.
template <typename Visit>
void eachcell(celltype from, celltype to, Visit visit) {
  for (std::int32_t r = std::min(from.row, to.row);
       r <= std::max(from.row, to.row); ++r) {
    for (std::int32_t c = std::min(from.column, to.column);
         c <= std::max(from.column, to.column); ++c) {
      visit(celltype{r, c});
    }
  }
}

}  // namespace

void document::setcharacters(celltype from, celltype to, char character) {
  std::vector<change> changes;
  eachcell(from, to, [&](celltype cell) {
    const std::size_t at = offset(cell);
    if (board_.picture[at] == character) return;
    changes.push_back(cellchange{at,
                                 {board_.picture[at], character},
                                 {board_.colormap[at], board_.colormap[at]}});
  });
  std::string what = changes.size() == 1
                         ? "write " + quoted(character)
                         : "fill " + count(changes.size(), "cell", "cells") +
                               " with " + quoted(character);
  commit(std::move(what), std::move(changes));
}

void document::setcolors(celltype from, celltype to, unsigned char color) {
  std::vector<change> changes;
  eachcell(from, to, [&](celltype cell) {
    const std::size_t at = offset(cell);
    if (board_.colormap[at] == color) return;
    changes.push_back(cellchange{at,
                                 {board_.picture[at], board_.picture[at]},
                                 {board_.colormap[at], color}});
  });
  std::string what = "paint " + count(changes.size(), "cell", "cells") +
                     " with " + std::to_string(color);
  commit(std::move(what), std::move(changes));
}

void document::floodcolor(celltype start, unsigned char color) {
  const unsigned char old = board_.colormap[offset(start)];
  if (old == color) return;
  std::vector<bool> seen(board_.colormap.size());
  std::vector<celltype> waiting{start};
  seen[offset(start)] = true;
  std::vector<change> changes;
  while (!waiting.empty()) {
    const celltype cell = waiting.back();
    waiting.pop_back();
    const std::size_t at = offset(cell);
    changes.push_back(
        cellchange{at, {board_.picture[at], board_.picture[at]}, {old, color}});
    for (const celltype next : {celltype{cell.row - 1, cell.column},
                                celltype{cell.row + 1, cell.column},
                                celltype{cell.row, cell.column - 1},
                                celltype{cell.row, cell.column + 1}}) {
      if (inside(next) && !seen[offset(next)] &&
          board_.colormap[offset(next)] == old) {
        seen[offset(next)] = true;
        waiting.push_back(next);
      }
    }
  }
  std::string what = "flood-fill " + count(changes.size(), "cell", "cells") +
                     " with " + std::to_string(color);
  commit(std::move(what), std::move(changes));
}

void document::setcells(celltype first, std::int32_t rows, std::int32_t columns,
                        std::span<const char> characters,
                        std::span<const unsigned char> colors,
                        std::string what) {
  std::vector<change> changes;
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c) {
      const celltype cell{first.row + r, first.column + c};
      if (!inside(cell)) continue;
      const std::size_t from = static_cast<std::size_t>(r) * columns + c;
      const std::size_t at = offset(cell);
      if (board_.picture[at] == characters[from] &&
          board_.colormap[at] == colors[from]) {
        continue;
      }
      changes.push_back(cellchange{at,
                                   {board_.picture[at], characters[from]},
                                   {board_.colormap[at], colors[from]}});
    }
  }
  commit(std::move(what), std::move(changes));
}

void document::addpair(pairtype pair) {
  commit("add pair " + std::to_string(board_.pairs.size()),
         {pairchange{pair, true}});
}

void document::removelastpair() {
  if (board_.pairs.empty()) return;
  commit("remove pair " + std::to_string(board_.pairs.size() - 1),
         {pairchange{board_.pairs.back(), false}});
}

void document::setpair(std::int32_t index, pairtype pair) {
  if (board_.pairs[index] == pair) return;
  commit("change pair " + std::to_string(index),
         {pairset{index, {board_.pairs[index], pair}}});
}

void document::addtrack(std::int32_t color) {
  commit("add track " + std::to_string(board_.tracks.size()),
         {trackchange{static_cast<std::int32_t>(board_.tracks.size()), true}},
         tracktype{color, {}});
}

void document::removetrack(std::int32_t track) {
  commit("delete track " + std::to_string(track), {trackchange{track, false}},
         board_.tracks[track]);
}

void document::settrackcolor(std::int32_t track, std::int32_t color) {
  if (board_.tracks[track].color == color) return;
  commit("color track " + std::to_string(track) + " " + std::to_string(color),
         {trackcolorchange{track, {board_.tracks[track].color, color}}});
}

void document::appendhole(std::int32_t track, celltype cell) {
  inserthole(track,
             static_cast<std::int32_t>(board_.tracks[track].holes.size()),
             cell);
}

bool document::appendrun(std::int32_t track, celltype to, bool ondrawn) {
  const auto& holes = board_.tracks[track].holes;
  if (holes.empty()) {
    appendhole(track, to);
    return true;
  }
  const celltype last = holes.back();
  const std::int32_t rows = to.row - last.row;
  const std::int32_t columns = to.column - last.column;
  if ((rows == 0 && columns == 0) ||
      (rows != 0 && columns != 0 && std::abs(rows) != std::abs(columns))) {
    return false;
  }
  const std::int32_t steps = std::max(std::abs(rows), std::abs(columns));
  const auto cell = [&](std::int32_t i) {
    return celltype{last.row + i * sign(rows), last.column + i * sign(columns)};
  };
  // Holes may lie off the picture, where nothing is drawn.
  const auto drawn = [&](celltype at) {
    return inside(at) ? character(at) : '\0';
  };
  const char first = drawn(cell(1));
  std::vector<change> changes;
  for (std::int32_t i = 1; i <= steps; ++i) {
    if (ondrawn && drawn(cell(i)) != first) continue;
    changes.push_back(holechange{
        track, static_cast<std::int32_t>(holes.size() + changes.size()),
        cell(i), true});
  }
  std::string what = "run of " + count(changes.size(), "hole", "holes") +
                     (ondrawn ? " on " + quoted(first) : std::string()) +
                     " on track " + std::to_string(track);
  commit(std::move(what), std::move(changes));
  return true;
}

void document::inserthole(std::int32_t track, std::int32_t index,
                          celltype cell) {
  commit("hole " + std::to_string(index) + " of track " + std::to_string(track),
         {holechange{track, index, cell, true}});
}

void document::removehole(std::int32_t track, std::int32_t index) {
  commit("remove hole " + std::to_string(index) + " of track " +
             std::to_string(track),
         {holechange{track, index, board_.tracks[track].holes[index], false}});
}

void document::movehole(std::int32_t track, std::int32_t index, celltype cell) {
  const celltype old = board_.tracks[track].holes[index];
  if (old == cell) return;
  commit("move hole " + std::to_string(index) + " of track " +
             std::to_string(track),
         {holemove{track, index, {old, cell}}});
}

bool document::copytrack(std::int32_t track, copykind kind, celltype offset) {
  tracktype copy = board_.tracks[track];
  for (celltype& hole : copy.holes) {
    switch (kind) {
      case copykind::mirrorcolumns:
        hole.column = board_.width - 1 - hole.column;
        break;
      case copykind::mirrorrows:
        hole.row = board_.height - 1 - hole.row;
        break;
      case copykind::rotate:
        hole = {board_.height - 1 - hole.row, board_.width - 1 - hole.column};
        break;
      case copykind::shift:
        hole = {hole.row + offset.row, hole.column + offset.column};
        break;
    }
    if (hole.row < 0 || hole.row > 255 || hole.column < 0 ||
        hole.column > 255) {
      return false;
    }
  }
  commit("copy of track " + std::to_string(track) + " as track " +
             std::to_string(board_.tracks.size()),
         {trackchange{static_cast<std::int32_t>(board_.tracks.size()), true}},
         std::move(copy));
  return true;
}

void document::setfinish(celltype cell) {
  if (board_.finish != cell)
    commit("move the finish", {finishchange{{board_.finish, cell}}});
}

void document::setheader(std::array<std::int32_t, 4> values) {
  if (values == header()) return;
  commit("set the header", {headerchange{{header(), values}}});
}

void document::reload(const boardtype& board, std::string what) {
  const document loaded(board);
  commit(std::move(what), {reloadchange{}}, {}, {board_, loaded.board_});
  marksaved();
}

std::optional<steplabel> document::undo() {
  if (done_.empty()) return std::nullopt;
  step last = std::move(done_.back());
  done_.pop_back();
  for (auto c = last.changes.rbegin(); c != last.changes.rend(); ++c) {
    apply(last, *c, false);
  }
  undone_.push_back(std::move(last));
  ++version_;
  strokeopen_ = false;
  return label(undone_.back());
}

std::optional<steplabel> document::redo() {
  if (undone_.empty()) return std::nullopt;
  step next = std::move(undone_.back());
  undone_.pop_back();
  for (const change& c : next.changes) apply(next, c, true);
  done_.push_back(std::move(next));
  ++version_;
  strokeopen_ = false;
  return label(done_.back());
}

// The cell of the step's first change, where it has one on the picture.
steplabel document::label(const step& s) const {
  steplabel result{s.what, std::nullopt};
  if (s.changes.empty()) return result;
  const change& first = s.changes.front();
  if (const auto* c = std::get_if<cellchange>(&first)) {
    result.where =
        celltype{static_cast<std::int32_t>(c->offset / board_.width),
                 static_cast<std::int32_t>(c->offset % board_.width)};
  } else if (const auto* h = std::get_if<holechange>(&first)) {
    result.where = h->cell;
  } else if (const auto* m = std::get_if<holemove>(&first)) {
    result.where = m->cell[1];
  } else if (const auto* f = std::get_if<finishchange>(&first)) {
    result.where = f->cell[1];
  } else if (std::holds_alternative<trackchange>(first) &&
             !s.track.holes.empty()) {
    result.where = s.track.holes.front();
  }
  if (result.where && !inside(*result.where)) result.where.reset();
  return result;
}

bool document::modified() const {
  return (done_.empty() ? 0 : done_.back().id) != savedid_;
}

void document::marksaved() {
  savedid_ = done_.empty() ? 0 : done_.back().id;
  strokeopen_ = false;
}

std::string document::lengthmismatch() const {
  const bool same = std::all_of(board_.tracks.begin(), board_.tracks.end(),
                                [this](const tracktype& track) {
                                  return track.holes.size() ==
                                         board_.tracks.front().holes.size();
                                });
  if (same) return {};
  std::string line;
  for (std::size_t t = 0; t < board_.tracks.size(); ++t) {
    line += (t == 0 ? "track " : ", track ") + std::to_string(t) + " has " +
            std::to_string(board_.tracks[t].holes.size()) +
            (board_.tracks[t].holes.size() == 1 ? " hole" : " holes");
  }
  return line;
}

boardtype document::board() const {
  return makeboard(board_.tracks.empty() ? board_.holecount
                                         : board_.tracks.front().holes.size());
}

boardtype document::shortenedboard() const {
  std::size_t shortest = board_.tracks.empty() ? board_.holecount : SIZE_MAX;
  for (const tracktype& track : board_.tracks) {
    shortest = std::min(shortest, track.holes.size());
  }
  return makeboard(shortest);
}

std::string document::recovertext() const {
  const std::string mismatch = lengthmismatch();
  if (mismatch.empty()) return boards::writeboardtext(board());
  std::size_t longest = 0;
  for (const tracktype& track : board_.tracks) {
    longest = std::max(longest, track.holes.size());
  }
  return "# Recovered while the tracks differed in length: " + mismatch +
         ".\n# Each short track is filled up with copies of its last hole.\n" +
         boards::writeboardtext(makeboard(longest));
}

boardtype document::makeboard(std::size_t holecount) const {
  const auto n = static_cast<std::int32_t>(holecount);
  boardtype board(board_.height, board_.width, n,
                  static_cast<std::int32_t>(board_.tracks.size()),
                  static_cast<std::int32_t>(board_.pairs.size()));
  std::copy_n(board_.header.begin(), 4, board.header);
  for (std::int32_t r = 0; r < board_.height; ++r) {
    std::copy_n(board_.picture.begin() + offset({r, 0}), board_.width,
                board.picture[r].get());
    std::copy_n(board_.colormap.begin() + offset({r, 0}), board_.width,
                board.colormap[r].get());
    board.picture[r][board_.width] = board_.pictureend[r];
    board.colormap[r][board_.width] = board_.colorend[r];
  }
  for (std::size_t i = 0; i < board_.pairs.size(); ++i) {
    board.pairs[i][0] = board_.pairs[i][0];
    board.pairs[i][1] = board_.pairs[i][1];
  }
  for (std::size_t t = 0; t < board_.tracks.size(); ++t) {
    const auto& holes = board_.tracks[t].holes;
    board.trackcolor[t] = board_.tracks[t].color;
    for (std::int32_t i = 0; i < n; ++i) {
      const celltype hole = holes.empty()                   ? celltype{}
                            : std::size_t(i) < holes.size() ? holes[i]
                                                            : holes.back();
      board.tracks[t][i].set(hole.row, hole.column);
    }
  }
  board.finish.set(board_.finish.row, board_.finish.column);
  return board;
}

void document::commit(std::string what, std::vector<change> changes,
                      tracktype track, std::vector<contents> boards) {
  if (changes.empty()) return;
  const bool joins =
      stroke_ && strokeopen_ && !done_.empty() && boards.empty() &&
      std::none_of(changes.begin(), changes.end(), [](const change& c) {
        return std::holds_alternative<trackchange>(c);
      });
  if (joins) {
    step& open = done_.back();
    for (const change& c : changes) {
      apply(open, c, true);
      open.changes.push_back(c);
    }
  } else {
    step made{std::move(changes), std::move(track), nextid_++,
              stroke_ ? strokename_ : std::move(what), std::move(boards)};
    for (const change& c : made.changes) apply(made, c, true);
    done_.push_back(std::move(made));
    strokeopen_ = stroke_;
  }
  undone_.clear();
  ++version_;
}

void document::apply(const step& s, const change& c, bool forward) {
  std::visit(
      [&](const auto& each) {
        if constexpr (std::is_same_v<decltype(each), const trackchange&>) {
          apply(each, s.track, forward);
        } else if constexpr (std::is_same_v<decltype(each),
                                            const reloadchange&>) {
          apply(s.boards[forward]);
        } else {
          apply(each, forward);
        }
      },
      c);
}

void document::apply(const cellchange& c, bool forward) {
  board_.picture[c.offset] = c.character[forward];
  board_.colormap[c.offset] = c.color[forward];
}

void document::apply(const holechange& c, bool forward) {
  auto& holes = board_.tracks[c.track].holes;
  if (c.insert == forward) {
    holes.insert(holes.begin() + c.index, c.cell);
  } else {
    holes.erase(holes.begin() + c.index);
  }
  index(c.track, c.cell, c.insert == forward);
}

void document::apply(const holemove& c, bool forward) {
  board_.tracks[c.track].holes[c.index] = c.cell[forward];
  index(c.track, c.cell[!forward], false);
  index(c.track, c.cell[forward], true);
}

void document::apply(const trackchange& c, const tracktype& track,
                     bool forward) {
  const bool last =
      c.index + 1 >=
      static_cast<std::int32_t>(board_.tracks.size()) + (c.insert == forward);
  if (c.insert == forward) {
    board_.tracks.insert(board_.tracks.begin() + c.index, track);
  } else {
    board_.tracks.erase(board_.tracks.begin() + c.index);
  }
  // Tracks after the one that came or went are renumbered; at the end only
  // its own holes move in or out of the index.
  if (!last) return reindex();
  for (const celltype hole : track.holes) {
    index(c.index, hole, c.insert == forward);
  }
}

void document::apply(const trackcolorchange& c, bool forward) {
  board_.tracks[c.track].color = c.color[forward];
}

void document::apply(const pairchange& c, bool forward) {
  if (c.insert == forward) {
    board_.pairs.push_back(c.pair);
  } else {
    board_.pairs.pop_back();
  }
}

void document::apply(const pairset& c, bool forward) {
  board_.pairs[c.index] = c.pair[forward];
}

void document::apply(const finishchange& c, bool forward) {
  board_.finish = c.cell[forward];
}

void document::apply(const headerchange& c, bool forward) {
  board_.header = c.values[forward];
}

void document::apply(const contents& board) {
  board_ = board;
  occupants_.assign(board_.picture.size(), {});
  reindex();
}

void document::index(std::int32_t track, celltype cell, bool add) {
  if (!inside(cell)) return;
  auto& owners = occupants_[offset(cell)];
  if (add) {
    owners.push_back(track);
  } else {
    owners.erase(std::find(owners.begin(), owners.end(), track));
  }
}

void document::reindex() {
  for (auto& owners : occupants_) owners.clear();
  for (std::size_t t = 0; t < board_.tracks.size(); ++t) {
    for (const celltype hole : board_.tracks[t].holes) {
      index(static_cast<std::int32_t>(t), hole, true);
    }
  }
}

}  // namespace trackedit
