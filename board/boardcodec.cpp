#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <tuple>
#include <utility>

#include "board/boardfile.h"
#include "board/bytesources.h"
#include "board/int32.h"

namespace boards {

std::uint64_t boardfilelength(std::int32_t width, std::int32_t height,
                              std::int32_t holecount, std::int32_t trackcount,
                              std::int32_t paircount) {
  // With every size below 2^31, each grid takes less than 2^62 bytes and the
  // tracks less than 2^63, so the sum stays below 2^64.
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height);
  const std::uint64_t n = static_cast<std::uint64_t>(holecount);
  const std::uint64_t t = static_cast<std::uint64_t>(trackcount);
  const std::uint64_t p = static_cast<std::uint64_t>(paircount);
  return boardheadlength + 2 * h * (w + 1) + 2 * p + t * (2 * n + 1) + 2;
}

std::string sizename(std::uint64_t bytes) {
  static constexpr const char* units[] = {"KiB", "MiB", "GiB",
                                          "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  int unit = 0;
  while (unit < 5 && bytes >= (std::uint64_t{1024} << (10 * (unit + 1)))) {
    ++unit;
  }
  const std::uint64_t whole = std::uint64_t{1} << (10 * (unit + 1));
  // Tenths, rounded down so that a size just under a limit never reads as it.
  const std::uint64_t tenths = bytes / whole * 10 + bytes % whole * 10 / whole;
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string name = std::to_string(tenths / 10);
  if (tenths % 10 != 0) name.append(".").append(std::to_string(tenths % 10));
  return name.append(" ").append(units[unit]);
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
      return "read failed: " +
             (error != 0 ? std::string(std::strerror(error)) : reason);
    case fault::shorthead:
      return "too short for the head: " + counts;
    case fault::negativesize:
      return std::string("negative ") + size + ": " + to_string(value);
    case fault::shortlayout:
      return "shorter than its layout: " + counts;
    case fault::toolarge:
      return "the layout needs " + sizename(needed) + " (" + to_string(needed) +
             " bytes), above the limit of " + sizename(limit);
    case fault::nomemory:
      return "not enough memory for the board its head describes (" +
             to_string(needed) + " bytes in the file)";
  }
  return "unknown fault";
}

std::string saveresulttype::describe() const {
  using std::to_string;
  const auto because = [this](const char* what) {
    std::string line(what);
    if (error != 0) line.append(": ").append(std::strerror(error));
    if (!reason.empty()) line.append(error != 0 ? "; " : ": ").append(reason);
    return line;
  };
  switch (what) {
    case fault::none:
      return "ok";
    case fault::cannotopen:
      return because("cannot open");
    case fault::writefailed:
      return because("write failed");
    case fault::unfit:
      return item + ": " + field + " " + to_string(value) +
             " does not fit in a byte";
    case fault::mismatch:
      if (!item.empty()) return item + " is not an array the board made";
      return std::string(field) + " is " + to_string(value) +
             " but the board's arrays were made for " + to_string(expected);
    case fault::incomplete:
      return because("incomplete");
    case fault::unsynced:
      return because("saved, but not synced");
  }
  return "unknown fault";
}

namespace {

saveresulttype unfit(std::string item, const char* field, std::int32_t value) {
  saveresulttype result = saveresulttype::failed(saveresulttype::fault::unfit);
  result.item = std::move(item);
  result.field = field;
  result.value = value;
  return result;
}

bool fitsabyte(std::int32_t value) { return value >= 0 && value <= 255; }

bool fitsbytes(const holetype& hole) {
  return fitsabyte(hole.x) && fitsabyte(hole.y);
}

// The fault of a hole that fitsbytes refused: its column first.
saveresulttype unfithole(const holetype& hole, std::string item) {
  return fitsabyte(hole.x) ? unfit(std::move(item), "row", hole.y)
                           : unfit(std::move(item), "column", hole.x);
}

}  // namespace

saveresulttype checkencodable(const boardtype& board) {
  const boardtype::sizestype made = board.arraysizes();
  const std::tuple<const char*, std::int32_t, std::int32_t> sizes[] = {
      {"width", board.width, made.width},
      {"height", board.height, made.height},
      {"holecount", board.holecount, made.holecount},
      {"trackcount", board.trackcount, made.trackcount},
      {"paircount", board.paircount, made.paircount}};
  for (const auto& [name, now, expected] : sizes) {
    if (now != expected) {
      saveresulttype result =
          saveresulttype::failed(saveresulttype::fault::mismatch);
      result.field = name;
      result.value = now;
      result.expected = expected;
      return result;
    }
  }
  if (const auto stray = board.strayarray(); stray.field != nullptr) {
    saveresulttype result =
        saveresulttype::failed(saveresulttype::fault::mismatch);
    result.field = stray.field;
    result.item = stray.field;
    if (stray.index >= 0) {
      result.item += ' ';
      result.item += std::to_string(stray.index);
    }
    result.value = stray.index;
    return result;
  }
  const std::span<const std::int32_t> trackcolors = board.trackcolors();
  for (std::int32_t t = 0; t < board.trackcount; ++t) {
    const std::span<const holetype> holes = board.trackholes(t);
    for (std::size_t i = 0; i < holes.size(); ++i) {
      if (!fitsbytes(holes[i])) {
        return unfithole(holes[i], "track " + std::to_string(t) + " hole " +
                                       std::to_string(i));
      }
    }
    if (!fitsabyte(trackcolors[t])) {
      return unfit("track " + std::to_string(t), "color", trackcolors[t]);
    }
  }
  if (!fitsbytes(board.finish)) return unfithole(board.finish, "finish");
  return {};
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
                         std::uint64_t inputlength,
                         const loadoptions& options) {
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
  } else if (result.needed > options.maxsize) {
    result.what = loadresulttype::fault::toolarge;
    result.limit = options.maxsize;
  }
  return result;
}

namespace {

// Serves length bytes of the input front to back from the views the source
// hands out, never asking for a byte beyond them. Once the source fails, it
// serves nothing more and remembers the failure.
class bytereader {
 public:
  bytereader(const bytesource& source, std::uint64_t length)
      : source_(source), left_(length) {}
  unsigned char byte() {
    if (view_.empty()) next();
    if (view_.empty()) return 0;
    const unsigned char value = view_.front();
    view_ = view_.subspan(1);
    return value;
  }
  void copy(void* out, std::size_t count) {
    auto* to = static_cast<unsigned char*>(out);
    if (count <= view_.size()) {  // the usual case: all in the view at hand
      std::copy_n(view_.data(), count, to);
      view_ = view_.subspan(count);
      return;
    }
    while (count > 0) {
      if (view_.empty()) next();
      if (view_.empty()) return;
      const std::size_t piece = std::min(count, view_.size());
      std::copy_n(view_.data(), piece, to);
      view_ = view_.subspan(piece);
      to += piece;
      count -= piece;
    }
  }
  bool ok() const { return ok_; }

 private:
  void next() {
    if (!ok_) return;
    view_ = left_ > 0 ? source_(static_cast<std::size_t>(
                            std::min<std::uint64_t>(left_, SIZE_MAX)))
                      : std::span<const unsigned char>();
    left_ -= view_.size();
    ok_ = !view_.empty();
  }

  const bytesource& source_;
  std::uint64_t left_;  // bytes not yet taken from the source
  std::span<const unsigned char> view_;
  bool ok_ = true;
};

loadresulttype endedearly() {
  loadresulttype result =
      loadresulttype::failed(loadresulttype::fault::readfailed);
  result.reason = "the input ended before the length it was said to have";
  return result;
}

}  // namespace

loadresulttype decodeboard(const bytesource& source, std::uint64_t inputlength,
                           boardtype& board, const loadoptions& options) {
  unsigned char head[boardheadlength];
  const auto headlength =
      static_cast<std::size_t>(std::min(inputlength, boardheadlength));
  bytereader headreader(source, headlength);
  headreader.copy(head, headlength);
  if (!headreader.ok()) return endedearly();
  const loadresulttype result =
      checkhead(std::span(head, headlength), inputlength, options);
  if (!result.ok()) return result;

  // Sized only now that the head is known to describe bytes that are there,
  // and filled apart from the board, which changes only when all went well.
  const headsizes s = readsizes(head);
  const std::int32_t w = s.width;
  const std::int32_t h = s.height;
  const std::int32_t n = s.holecount;
  const std::int32_t t = s.trackcount;
  const std::int32_t p = s.paircount;
  boardtype decoded;
  try {
    decoded.initialize(h, w, n, t, p);
  } catch (const std::bad_alloc&) {
    loadresulttype refused = result;
    refused.what = loadresulttype::fault::nomemory;
    return refused;
  }
  for (int i = 0; i < 4; ++i) decoded.header[i] = getint32(head + 4 * i);

  bytereader in(source, result.needed - boardheadlength);
  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r) {
    in.copy(decoded.picture[r].get(), rowlength);
  }
  for (std::int32_t r = 0; r < h; ++r) {
    in.copy(decoded.colormap[r].get(), rowlength);
  }
  for (std::int32_t i = 0; i < p; ++i) in.copy(decoded.pairs[i].get(), 2);
  for (std::int32_t track = 0; track < t; ++track) {
    for (std::int32_t i = 0; i < n; ++i) {
      holetype& hole = decoded.tracks[track][i];
      hole.x = in.byte();
      hole.y = in.byte();
    }
    decoded.trackcolor[track] = in.byte();
  }
  decoded.finish.x = in.byte();
  decoded.finish.y = in.byte();
  if (!in.ok()) return endedearly();
  board = std::move(decoded);
  return result;
}

loadresulttype decodeboard(std::span<const unsigned char> input,
                           boardtype& board, const loadoptions& options) {
  std::span<const unsigned char> rest = input;
  return decodeboard(memorysource(rest), input.size(), board, options);
}

namespace {

// Gathers the file's bytes in a buffer of at most boardpiecelength and hands
// each full buffer to the sink, so that a board of any size is written in
// pieces. After the sink refuses a piece, nothing more is handed to it.
class bytewriter {
 public:
  bytewriter(const bytesink& sink, std::uint64_t length)
      : sink_(sink),
        buffer_(static_cast<std::size_t>(
            std::min<std::uint64_t>(length, boardpiecelength))) {}
  void int32(std::int32_t value) {
    unsigned char bytes[4];
    putint32(bytes, value);
    copy(bytes, 4);
  }
  // Takes a value checked to lie in 0..255.
  void byte(std::int32_t value) {
    if (used_ == buffer_.size()) flush();
    buffer_[used_++] = static_cast<unsigned char>(value);
  }
  void copy(const void* in, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(in);
    if (count <= buffer_.size() - used_) {  // the usual case: room enough
      std::memcpy(buffer_.data() + used_, next, count);
      used_ += count;
      return;
    }
    while (count > 0) {
      if (used_ == buffer_.size()) flush();
      const std::size_t piece = std::min(count, buffer_.size() - used_);
      std::memcpy(buffer_.data() + used_, next, piece);
      used_ += piece;
      next += piece;
      count -= piece;
    }
  }
  // Hands over what is left; whether the sink took every piece.
  bool finish() {
    flush();
    return ok_;
  }

 private:
  void flush() {
    if (ok_ && used_ > 0) ok_ = sink_(std::span(buffer_.data(), used_));
    used_ = 0;
  }

  const bytesink& sink_;
  std::vector<unsigned char> buffer_;
  std::size_t used_ = 0;
  bool ok_ = true;
};

// Encodes a board that checkencodable passed.
bool encodechecked(const boardtype& board, const bytesink& sink) {
  const std::int32_t w = board.width;
  const std::int32_t h = board.height;
  const std::int32_t n = board.holecount;
  const std::int32_t t = board.trackcount;
  const std::int32_t p = board.paircount;
  bytewriter out(sink, boardfilelength(w, h, n, t, p));
  for (const std::int32_t value : board.header) out.int32(value);
  for (const std::int32_t size : {w, h, n, t, p}) out.int32(size);
  const std::size_t rowlength = static_cast<std::size_t>(w) + 1;
  for (std::int32_t r = 0; r < h; ++r) {
    out.copy(board.picture[r].get(), rowlength);
  }
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
  return out.finish();
}

}  // namespace

bool encodeboard(const boardtype& board, const bytesink& sink) {
  return checkencodable(board).ok() && encodechecked(board, sink);
}

std::vector<unsigned char> encodeboard(const boardtype& board) {
  std::vector<unsigned char> bytes;
  if (!checkencodable(board).ok()) return bytes;
  bytes.reserve(boardfilelength(board.width, board.height, board.holecount,
                                board.trackcount, board.paircount));
  encodechecked(board, [&bytes](std::span<const unsigned char> piece) {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
    return true;
  });
  return bytes;
}

}  // namespace boards
