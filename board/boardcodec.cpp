#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "board/boardfile.h"

void putint32(unsigned char* out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  out[0] = static_cast<unsigned char>(bits);
  out[1] = static_cast<unsigned char>(bits >> 8);
  out[2] = static_cast<unsigned char>(bits >> 16);
  out[3] = static_cast<unsigned char>(bits >> 24);
}

std::int32_t getint32(const unsigned char* in) {
  const std::uint32_t bits = std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 |
                             std::uint32_t{in[2]} << 16 |
                             std::uint32_t{in[3]} << 24;
  return static_cast<std::int32_t>(bits);
}

std::uint64_t boardfilelength(std::int32_t width, std::int32_t height,
                              std::int32_t holecount, std::int32_t trackcount,
                              std::int32_t paircount) {
  // With every size below 2^31, each grid and the tracks take less than 2^62
  // bytes, so the sum stays far below 2^64.
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height);
  const std::uint64_t n = static_cast<std::uint64_t>(holecount);
  const std::uint64_t t = static_cast<std::uint64_t>(trackcount);
  const std::uint64_t p = static_cast<std::uint64_t>(paircount);
  return boardheadlength + 2 * h * (w + 1) + 2 * p + t * (2 * n + 1) + 2;
}

std::string loadresulttype::describe() const {
  using std::to_string;
  const std::string counts =
      "needs " + to_string(needed) + " bytes, has " + to_string(found);
  switch (what) {
    case fault::none:
      return "ok";
    case fault::cannotopen:
      return std::string("cannot open: ") + std::strerror(error);
    case fault::notregular:
      return "not a regular file";
    case fault::readfailed:
      return error != 0 ? std::string("read failed: ") + std::strerror(error)
                        : "read failed: the file shrank while it was read";
    case fault::shorthead:
      return "too short for the head: " + counts;
    case fault::negativesize:
      return std::string("negative ") + size + ": " + to_string(value);
    case fault::shortlayout:
      return "shorter than its layout: " + counts;
  }
  return "unknown fault";
}

namespace {

// The five sizes in the order the head holds them.
struct headsizes {
  std::int32_t width, height, holecount, trackcount, paircount;
};

headsizes readsizes(const unsigned char* head) {
  return {getint32(head + 16), getint32(head + 20), getint32(head + 24),
          getint32(head + 28), getint32(head + 32)};
}

}  // namespace

loadresulttype checkhead(std::span<const unsigned char> head,
                         std::uint64_t inputlength) {
  loadresulttype result;
  result.found = inputlength;
  if (head.size() < boardheadlength) {
    result.what = loadresulttype::fault::shorthead;
    result.needed = boardheadlength;
    return result;
  }
  const headsizes s = readsizes(head.data());
  const std::pair<const char*, std::int32_t> named[] = {
      {"width", s.width},
      {"height", s.height},
      {"holecount", s.holecount},
      {"trackcount", s.trackcount},
      {"paircount", s.paircount}};
  for (const auto& [name, value] : named) {
    if (value < 0) {
      result.what = loadresulttype::fault::negativesize;
      result.size = name;
      result.value = value;
      return result;
    }
  }
  result.needed = boardfilelength(s.width, s.height, s.holecount, s.trackcount,
                                  s.paircount);
  if (result.needed > inputlength) {
    result.what = loadresulttype::fault::shortlayout;
  }
  return result;
}

namespace {

// Walks a checked input front to back; the head check has already shown
// that every section is there.
class bytereader {
 public:
  explicit bytereader(const unsigned char* start) : next_(start) {}
  std::int32_t int32() {
    next_ += 4;
    return getint32(next_ - 4);
  }
  unsigned char byte() { return *next_++; }
  void copy(void* out, std::size_t count) {
    std::memcpy(out, next_, count);
    next_ += count;
  }

 private:
  const unsigned char* next_;
};

}  // namespace

loadresulttype decodeboard(std::span<const unsigned char> input,
                           boardtype& board) {
  const loadresulttype result = checkhead(input, input.size());
  if (!result.ok()) return result;

  bytereader in(input.data());
  std::int32_t header[4];
  for (std::int32_t& value : header) value = in.int32();
  const std::int32_t w = in.int32();
  const std::int32_t h = in.int32();
  const std::int32_t n = in.int32();
  const std::int32_t t = in.int32();
  const std::int32_t p = in.int32();
  board.initialize(h, w, n, t, p);
  std::copy(std::begin(header), std::end(header), board.header);

  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r)
    in.copy(board.picture[r].get(), rowlength);
  for (std::int32_t r = 0; r < h; ++r) {
    in.copy(board.colormap[r].get(), rowlength);
  }
  for (std::int32_t i = 0; i < p; ++i) in.copy(board.pairs[i].get(), 2);
  for (std::int32_t track = 0; track < t; ++track) {
    for (std::int32_t i = 0; i < n; ++i) {
      holetype& hole = board.tracks[track][i];
      hole.x = in.byte();
      hole.y = in.byte();
    }
    board.trackcolor[track] = in.byte();
  }
  board.finish.x = in.byte();
  board.finish.y = in.byte();
  return result;
}

namespace {

// Fills a buffer that was sized for the whole file, front to back.
class bytewriter {
 public:
  explicit bytewriter(unsigned char* start) : next_(start) {}
  void int32(std::int32_t value) {
    putint32(next_, value);
    next_ += 4;
  }
  // Files keep the low 8 bits of hole coordinates and track colors.
  void byte(std::int32_t value) {
    *next_++ = static_cast<unsigned char>(value);
  }
  void copy(const void* in, std::size_t count) {
    std::memcpy(next_, in, count);
    next_ += count;
  }

 private:
  unsigned char* next_;
};

}  // namespace

std::vector<unsigned char> encodeboard(const boardtype& board) {
  const std::int32_t w = board.width;
  const std::int32_t h = board.height;
  const std::int32_t n = board.holecount;
  const std::int32_t t = board.trackcount;
  const std::int32_t p = board.paircount;
  std::vector<unsigned char> bytes(boardfilelength(w, h, n, t, p));
  bytewriter out(bytes.data());
  for (const std::int32_t value : board.header) out.int32(value);
  for (const std::int32_t size : {w, h, n, t, p}) out.int32(size);
  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r)
    out.copy(board.picture[r].get(), rowlength);
  for (std::int32_t r = 0; r < h; ++r) {
    out.copy(board.colormap[r].get(), rowlength);
  }
  for (std::int32_t i = 0; i < p; ++i) out.copy(board.pairs[i].get(), 2);
  for (std::int32_t track = 0; track < t; ++track) {
    for (std::int32_t i = 0; i < n; ++i) {
      out.byte(board.tracks[track][i].x);
      out.byte(board.tracks[track][i].y);
    }
    out.byte(board.trackcolor[track]);
  }
  out.byte(board.finish.x);
  out.byte(board.finish.y);
  return bytes;
}
