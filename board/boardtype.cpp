#include "board/boardtype.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
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
  made_ = sizes;
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
}

bool boardtype::arraysmatch() const {
  return width == made_.width && height == made_.height &&
         holecount == made_.holecount && trackcount == made_.trackcount &&
         paircount == made_.paircount;
}

namespace {

bool within(std::int32_t index, std::int32_t count) {
  return index >= 0 && index < count;
}

}  // namespace

std::string_view boardtype::picturerow(std::int32_t row) const {
  if (!within(row, made_.height)) return {};
  return {picture[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<char> boardtype::picturerow(std::int32_t row) {
  if (!within(row, made_.height)) return {};
  return {picture[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<const unsigned char> boardtype::colorrow(std::int32_t row) const {
  if (!within(row, made_.height)) return {};
  return {colormap[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<unsigned char> boardtype::colorrow(std::int32_t row) {
  if (!within(row, made_.height)) return {};
  return {colormap[row].get(), static_cast<std::size_t>(made_.width)};
}

std::span<const holetype> boardtype::trackholes(std::int32_t track) const {
  if (!within(track, made_.trackcount)) return {};
  return {tracks[track].get(), static_cast<std::size_t>(made_.holecount)};
}

std::span<holetype> boardtype::trackholes(std::int32_t track) {
  if (!within(track, made_.trackcount)) return {};
  return {tracks[track].get(), static_cast<std::size_t>(made_.holecount)};
}

std::span<const unsigned char> boardtype::pair(std::int32_t index) const {
  if (!within(index, made_.paircount)) return {};
  return {pairs[index].get(), 2};
}

std::span<unsigned char> boardtype::pair(std::int32_t index) {
  if (!within(index, made_.paircount)) return {};
  return {pairs[index].get(), 2};
}
