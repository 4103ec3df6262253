#include "board/boardtype.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <tuple>
#include <utility>

void holetype::set(std::int32_t row, std::int32_t column) {
  y = row;
  x = column;
}

boardtype::boardtype(std::int32_t height, std::int32_t width,
                     std::int32_t holecount, std::int32_t trackcount,
                     std::int32_t paircount) {
  initialize(height, width, holecount, trackcount, paircount);
}

boardtype::boardtype(boardtype&& other) noexcept { swap(other); }

boardtype& boardtype::operator=(boardtype&& other) noexcept {
  boardtype taken(std::move(other));
  swap(taken);
  return *this;
}

void boardtype::initialize(std::int32_t h, std::int32_t w, std::int32_t n,
                           std::int32_t t, std::int32_t p) {
  if (h < 0 || w < 0 || n < 0 || t < 0 || p < 0) {
    throw std::invalid_argument("boardtype::initialize: a size is negative");
  }
  // Made aside and swapped in, so that a failed allocation leaves the board
  // as it was.
  boardtype fresh;
  fresh.allocate({w, h, n, t, p});
  std::copy_n(header, 4, fresh.header);
  fresh.finish = finish;
  swap(fresh);
}

void boardtype::allocate(sizestype sizes) {
  const auto [w, h, n, t, p] = sizes;
  trackcolor = std::make_unique<std::int32_t[]>(t);
  picture = std::make_unique<std::unique_ptr<char[]>[]>(h);
  colormap = std::make_unique<std::unique_ptr<unsigned char[]>[]>(h);
  pairs = std::make_unique<std::unique_ptr<unsigned char[]>[]>(p);
  for (std::int32_t i = 0; i < p; ++i) {
    pairs[i] = std::make_unique<unsigned char[]>(2);
  }
  // Computed in size_t: width + 1 would overflow an int32 at its maximum.
  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r) {
    picture[r] = std::make_unique<char[]>(rowlength);
    std::fill_n(picture[r].get(), rowlength, ' ');
    colormap[r] = std::make_unique<unsigned char[]>(rowlength);
  }
  tracks = std::make_unique<std::unique_ptr<holetype[]>[]>(t);
  for (std::int32_t i = 0; i < t; ++i) {
    tracks[i] = std::make_unique<holetype[]>(n);
  }
  width = w;
  height = h;
  holecount = n;
  trackcount = t;
  paircount = p;
  adopt(sizes);
}

void boardtype::adopt(sizestype sizes) {
  made_ = sizes;
  own_ =
      std::make_unique<const void*[]>(firstrow(trackslot) + sizes.trackcount);
  own_[trackcolorslot] = trackcolor.get();
  own_[pictureslot] = picture.get();
  own_[colormapslot] = colormap.get();
  own_[pairslot] = pairs.get();
  own_[trackslot] = tracks.get();
  const auto keep = [this](std::size_t table, const auto& rows,
                           std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
      own_[firstrow(table) + i] = rows[i].get();
    }
  };
  keep(pictureslot, picture, sizes.height);
  keep(colormapslot, colormap, sizes.height);
  keep(pairslot, pairs, sizes.paircount);
  keep(trackslot, tracks, sizes.trackcount);
}

std::size_t boardtype::firstrow(std::size_t table) const {
  const auto h = static_cast<std::size_t>(made_.height);
  switch (table) {
    case pictureslot:
      return tableslots;
    case colormapslot:
      return tableslots + h;
    case pairslot:
      return tableslots + 2 * h;
    default:
      return tableslots + 2 * h + static_cast<std::size_t>(made_.paircount);
  }
}

// A board that never made arrays (the empty board) made null ones.
const void* boardtype::made(std::size_t slot) const {
  return own_ ? own_[slot] : nullptr;
}

template <typename Row>
bool boardtype::ownrow(std::size_t table, const std::unique_ptr<Row[]>& rows,
                       std::int32_t index) const {
  return rows.get() == made(table) &&
         rows[index].get() == made(firstrow(table) + index);
}

void boardtype::swap(boardtype& other) noexcept {
  std::swap(header, other.header);
  std::swap(width, other.width);
  std::swap(height, other.height);
  std::swap(holecount, other.holecount);
  std::swap(trackcount, other.trackcount);
  std::swap(paircount, other.paircount);
  trackcolor.swap(other.trackcolor);
  picture.swap(other.picture);
  colormap.swap(other.colormap);
  pairs.swap(other.pairs);
  tracks.swap(other.tracks);
  std::swap(finish, other.finish);
  std::swap(made_, other.made_);
  own_.swap(other.own_);
}

bool boardtype::arraysmatch() const {
  return width == made_.width && height == made_.height &&
         holecount == made_.holecount && trackcount == made_.trackcount &&
         paircount == made_.paircount && strayarray().field == nullptr;
}

boardtype::strayarraytype boardtype::strayarray() const {
  if (trackcolor.get() != made(trackcolorslot)) return {"trackcolor", -1};
  const auto stray = [this](std::size_t table, const auto& rows,
                            std::int32_t count) -> std::int32_t {
    if (rows.get() != made(table)) return -1;
    for (std::int32_t i = 0; i < count; ++i) {
      if (!ownrow(table, rows, i)) return i;
    }
    return count;
  };
  const std::tuple<const char*, std::int32_t> tables[] = {
      {"picture", stray(pictureslot, picture, made_.height)},
      {"colormap", stray(colormapslot, colormap, made_.height)},
      {"pairs", stray(pairslot, pairs, made_.paircount)},
      {"tracks", stray(trackslot, tracks, made_.trackcount)}};
  const std::int32_t counts[] = {made_.height, made_.height, made_.paircount,
                                 made_.trackcount};
  for (std::size_t i = 0; i < 4; ++i) {
    const auto [name, index] = tables[i];
    if (index != counts[i]) return {name, index};
  }
  return {};
}

bool boardtype::operator==(const boardtype& other) const {
  if (this == &other) return true;
  if (!arraysmatch() || !other.arraysmatch()) return false;
  const sizestype& a = made_;
  const sizestype& b = other.made_;
  if (!std::equal(header, header + 4, other.header) || a.width != b.width ||
      a.height != b.height || a.holecount != b.holecount ||
      a.trackcount != b.trackcount || a.paircount != b.paircount ||
      finish.x != other.finish.x || finish.y != other.finish.y) {
    return false;
  }
  // Rows are compared with their terminator slots, which the file holds.
  const std::size_t rowlength = static_cast<std::size_t>(a.width) + 1;
  for (std::int32_t r = 0; r < a.height; ++r) {
    if (!std::equal(picture[r].get(), picture[r].get() + rowlength,
                    other.picture[r].get()) ||
        !std::equal(colormap[r].get(), colormap[r].get() + rowlength,
                    other.colormap[r].get())) {
      return false;
    }
  }
  for (std::int32_t i = 0; i < a.paircount; ++i) {
    if (!std::ranges::equal(pair(i), other.pair(i))) return false;
  }
  const auto sameholes = [](std::span<const holetype> x,
                            std::span<const holetype> y) {
    return std::ranges::equal(x, y, [](const holetype& p, const holetype& q) {
      return p.x == q.x && p.y == q.y;
    });
  };
  for (std::int32_t t = 0; t < a.trackcount; ++t) {
    if (!sameholes(trackholes(t), other.trackholes(t))) return false;
  }
  return std::ranges::equal(trackcolors(), other.trackcolors());
}

namespace {

bool within(std::int32_t index, std::int32_t count) {
  return index >= 0 && index < count;
}

}  // namespace

std::string_view boardtype::picturerow(std::int32_t row) const {
  if (!within(row, made_.height) || !ownrow(pictureslot, picture, row)) {
    return {};
  }
  return {picture[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<char> boardtype::picturerow(std::int32_t row) {
  if (!within(row, made_.height) || !ownrow(pictureslot, picture, row)) {
    return {};
  }
  return {picture[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<const unsigned char> boardtype::colorrow(std::int32_t row) const {
  if (!within(row, made_.height) || !ownrow(colormapslot, colormap, row)) {
    return {};
  }
  return {colormap[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<unsigned char> boardtype::colorrow(std::int32_t row) {
  if (!within(row, made_.height) || !ownrow(colormapslot, colormap, row)) {
    return {};
  }
  return {colormap[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<const holetype> boardtype::trackholes(std::int32_t track) const {
  if (!within(track, made_.trackcount) || !ownrow(trackslot, tracks, track)) {
    return {};
  }
  return {tracks[track].get(), static_cast<std::size_t>(made_.holecount)};
}

std::span<holetype> boardtype::trackholes(std::int32_t track) {
  if (!within(track, made_.trackcount) || !ownrow(trackslot, tracks, track)) {
    return {};
  }
  return {tracks[track].get(), static_cast<std::size_t>(made_.holecount)};
}

std::span<const unsigned char> boardtype::pair(std::int32_t index) const {
  if (!within(index, made_.paircount) || !ownrow(pairslot, pairs, index)) {
    return {};
  }
  return {pairs[index].get(), 2};
}

std::span<unsigned char> boardtype::pair(std::int32_t index) {
  if (!within(index, made_.paircount) || !ownrow(pairslot, pairs, index)) {
    return {};
  }
  return {pairs[index].get(), 2};
}

std::span<const std::int32_t> boardtype::trackcolors() const {
  if (trackcolor.get() != made(trackcolorslot)) return {};
  return {trackcolor.get(), static_cast<std::size_t>(made_.trackcount)};
}

std::span<std::int32_t> boardtype::trackcolors() {
  if (trackcolor.get() != made(trackcolorslot)) return {};
  return {trackcolor.get(), static_cast<std::size_t>(made_.trackcount)};
}

namespace boards {

boardtype copyboard(const boardtype& board) {
  if (!board.arraysmatch()) {
    throw std::invalid_argument(
        "boards::copyboard: the board's sizes or arrays were changed by hand");
  }
  boardtype copy(board.height, board.width, board.holecount, board.trackcount,
                 board.paircount);
  std::copy_n(board.header, 4, copy.header);
  const std::size_t rowlength = static_cast<std::size_t>(board.width) + 1;
  for (std::int32_t r = 0; r < board.height; ++r) {
    std::copy_n(board.picture[r].get(), rowlength, copy.picture[r].get());
    std::copy_n(board.colormap[r].get(), rowlength, copy.colormap[r].get());
  }
  for (std::int32_t i = 0; i < board.paircount; ++i) {
    std::ranges::copy(board.pair(i), copy.pair(i).begin());
  }
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    std::ranges::copy(board.trackholes(t), copy.trackholes(t).begin());
  }
  std::ranges::copy(board.trackcolors(), copy.trackcolors().begin());
  copy.finish = board.finish;
  return copy;
}

}  // namespace boards
