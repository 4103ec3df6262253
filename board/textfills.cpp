#include "board/textfills.h"

#include <array>
#include <string>

#include "board/textitems.h"

namespace boards {
namespace {

std::uint64_t digits(std::int64_t value) {
  return std::to_string(value).size();
}

std::uint64_t spanlength(std::int32_t first, std::int32_t last) {
  return digits(first) + (first == last ? 0 : 2 + digits(last));
}

// The most characters a fill is tried on at once.
constexpr std::size_t mostdrawnwith = 4;

// A fill whose cells are found from the last laid to the first: the cells
// a fill is the last to cover are settled by it, and a fill laid earlier
// may cover settled cells at will, since they are laid over again.
class fillfinder {
 public:
  fillfinder(const boardtype& board, std::uint64_t most)
      : board_(board),
        width_(board.arraysizes().width),
        height_(board.arraysizes().height),
        settled_(static_cast<std::size_t>(width_) * height_),
        most_(most),
        budget_(32 * static_cast<std::uint64_t>(settled_.size()) + (1 << 20)) {}

  // With zerolast, no fill of 0 is looked for while other values are left:
  // the colormap the fills are laid on is of zeros already.
  std::optional<std::vector<filltype>> find(bool zerolast) {
    for (std::int32_t r = 0; r < height_; ++r) {
      if (board_.colormap[r][width_] != 0) return std::nullopt;
    }
    std::fill(settled_.begin(), settled_.end(), 0);
    spent_ = 0;
    zerolast_ = zerolast;
    std::vector<filltype> fills;  // the last laid first
    std::uint64_t length = 0;
    for (;;) {
      if (!survey()) return std::nullopt;
      if (values_ <= 1) {
        // What is left is one value: one fill of it all, none for 0.
        if (values_ == 1 && lastvalue_ != 0) {
          fills.push_back({0,
                           height_ - 1,
                           0,
                           width_ - 1,
                           static_cast<unsigned char>(lastvalue_),
                           {}});
        }
        break;
      }
      const filltype fill = best();
      settle(fill);
      fills.push_back(fill);
      length += filllength(fill, width_, height_);
      if (length > most_ || spent_ > budget_) return std::nullopt;
    }
    return std::vector<filltype>(fills.rbegin(), fills.rend());
  }

  // Leaves out the fills that change no cell where they are laid: without
  // them the colormap comes out the same.
  void dropidle(std::vector<filltype>& fills) const {
    std::vector<unsigned char> colors(settled_.size());
    std::erase_if(fills, [&](const filltype& fill) {
      bool changes = false;
      for (std::int32_t r = fill.top; r <= fill.bottom; ++r) {
        for (std::int32_t c = fill.left; c <= fill.right; ++c) {
          unsigned char& color =
              colors[static_cast<std::size_t>(r) * width_ + c];
          if (takes(fill.on, drawn(r, c)) && color != fill.value) {
            color = fill.value;
            changes = true;
          }
        }
      }
      return !changes;
    });
  }

 private:
  bool settled(std::int32_t r, std::int32_t c) const {
    return settled_[static_cast<std::size_t>(r) * width_ + c] != 0;
  }
  unsigned char target(std::int32_t r, std::int32_t c) const {
    return board_.colormap[r][c];
  }
  char drawn(std::int32_t r, std::int32_t c) const {
    return board_.picture[r][c];
  }

  // The values left unsettled, and the first cell of each value, and of
  // each value on each character, in reading order; false when out of time.
  bool survey() {
    first_.fill(-1);
    firston_.assign(256 * 256, -1);
    values_ = 0;
    for (std::int32_t r = 0; r < height_; ++r) {
      for (std::int32_t c = 0; c < width_; ++c) {
        if (settled(r, c)) continue;
        const unsigned char value = target(r, c);
        const std::int64_t cell = std::int64_t{r} * width_ + c;
        if (first_[value] < 0) {
          first_[value] = cell;
          ++values_;
          lastvalue_ = value;
        }
        std::int64_t& on =
            firston_[value * 256 + static_cast<unsigned char>(drawn(r, c))];
        if (on < 0) on = cell;
      }
    }
    spent_ += settled_.size();
    return spent_ <= budget_;
  }

  // The fill that settles the most cells among those grown from the first
  // cell of a value: on any character, on the first cell's own, or on the
  // few characters the value's cells are drawn with.
  filltype best() {
    filltype chosen;
    std::int64_t most = -1;
    const auto consider = [&](const filltype& fill) {
      const std::int64_t gain = this->gain(fill);
      if (gain > most ||
          (gain == most && filllength(fill, width_, height_) <
                               filllength(chosen, width_, height_))) {
        most = gain;
        chosen = fill;
      }
    };
    for (int value = 0; value < 256; ++value) {
      if (first_[value] < 0 || (zerolast_ && value == 0)) continue;
      for (const bool acrossfirst : {true, false}) {
        consider(grow(first_[value], value, {}, acrossfirst));
      }
      std::string drawnwith;  // the characters of the value's cells
      for (int on = 0; on < 256; ++on) {
        const std::int64_t seed = firston_[value * 256 + on];
        if (seed < 0) continue;
        drawnwith += static_cast<char>(on);
        for (const bool acrossfirst : {true, false}) {
          consider(grow(seed, value, std::string(1, static_cast<char>(on)),
                        acrossfirst));
        }
      }
      if (drawnwith.size() > 1 && drawnwith.size() <= mostdrawnwith) {
        for (const bool acrossfirst : {true, false}) {
          consider(grow(first_[value], value, drawnwith, acrossfirst));
        }
      }
    }
    return chosen;
  }

  // Whether a fill of value may cover the cell: it is settled, not drawn
  // with the fill's characters, or its value is the fill's.
  bool fits(std::int32_t r, std::int32_t c, int value, const std::string& on) {
    ++spent_;
    return settled(r, c) || !takes(on, drawn(r, c)) || target(r, c) == value;
  }

  // The rectangle from the seed that fits, grown across then down, or down
  // then across.
  filltype grow(std::int64_t seed, int value, const std::string& on,
                bool acrossfirst) {
    const auto top = static_cast<std::int32_t>(seed / width_);
    const auto left = static_cast<std::int32_t>(seed % width_);
    std::int32_t bottom = top, right = left;
    const auto rowfits = [&](std::int32_t r) {
      for (std::int32_t c = left; c <= right; ++c) {
        if (!fits(r, c, value, on)) return false;
      }
      return true;
    };
    const auto columnfits = [&](std::int32_t c) {
      for (std::int32_t r = top; r <= bottom; ++r) {
        if (!fits(r, c, value, on)) return false;
      }
      return true;
    };
    for (int pass = 0; pass < 2; ++pass) {
      if ((pass == 0) == acrossfirst) {
        while (right + 1 < width_ && columnfits(right + 1)) ++right;
      } else {
        while (bottom + 1 < height_ && rowfits(bottom + 1)) ++bottom;
      }
    }
    return {top, bottom, left, right, static_cast<unsigned char>(value), on};
  }

  std::int64_t gain(const filltype& fill) {
    std::int64_t cells = 0;
    for (std::int32_t r = fill.top; r <= fill.bottom; ++r) {
      for (std::int32_t c = fill.left; c <= fill.right; ++c) {
        cells += !settled(r, c) && takes(fill.on, drawn(r, c));
      }
    }
    spent_ += static_cast<std::uint64_t>(cells);
    return cells;
  }

  void settle(const filltype& fill) {
    for (std::int32_t r = fill.top; r <= fill.bottom; ++r) {
      for (std::int32_t c = fill.left; c <= fill.right; ++c) {
        if (takes(fill.on, drawn(r, c))) {
          settled_[static_cast<std::size_t>(r) * width_ + c] = 1;
        }
      }
    }
  }

  const boardtype& board_;
  const std::int32_t width_, height_;
  std::vector<unsigned char> settled_;
  const std::uint64_t most_;
  const std::uint64_t budget_;  // cells looked at before giving up
  std::uint64_t spent_ = 0;
  std::array<std::int64_t, 256> first_{};
  std::vector<std::int64_t> firston_;
  int values_ = 0, lastvalue_ = 0;
  bool zerolast_ = false;
};

std::uint64_t totallength(const std::vector<filltype>& fills,
                          std::int32_t width, std::int32_t height) {
  std::uint64_t length = 0;
  for (const filltype& fill : fills) length += filllength(fill, width, height);
  return length;
}

}  // namespace

void applyfill(const filltype& fill, const char* drawn, unsigned char* colors) {
  for (std::int32_t c = fill.left; c <= fill.right; ++c) {
    if (fill.on.empty() || (drawn != nullptr && takes(fill.on, drawn[c]))) {
      colors[c] = fill.value;
    }
  }
}

// The shorter of two greedy searches: one that takes the fill that settles
// the most cells each time, one that lays no zeros while other values are
// left. Nothing where neither is as short as most.
std::optional<std::vector<filltype>> findfills(const boardtype& board,
                                               std::uint64_t most) {
  const boardtype::sizestype size = board.arraysizes();
  fillfinder finder(board, most);
  std::optional<std::vector<filltype>> shortest;
  std::uint64_t length = 0;
  for (const bool zerolast : {false, true}) {
    auto fills = finder.find(zerolast);
    if (!fills) continue;
    finder.dropidle(*fills);
    const std::uint64_t found = totallength(*fills, size.width, size.height);
    if (!shortest || found < length) {
      shortest = std::move(fills);
      length = found;
    }
  }
  // A colormap of zeros is still said to be fills, by the one fill of 0.
  if (shortest && shortest->empty()) {
    shortest->push_back({0, size.height - 1, 0, size.width - 1, 0, {}});
  }
  return shortest;
}

std::uint64_t filllength(const filltype& fill, std::int32_t width,
                         std::int32_t height) {
  std::uint64_t length = 5 + digits(fill.value) + 1;  // "fill N\n"
  if (fill.top != 0 || fill.left != 0 || fill.bottom != height - 1 ||
      fill.right != width - 1) {
    length += 6 + spanlength(fill.top, fill.bottom) +
              spanlength(fill.left, fill.right);  // " (R, C)"
  }
  if (!fill.on.empty()) {
    length += 4 + quotedcharacters(fill.on).size();  // " on "
  }
  return length;
}

}  // namespace boards
