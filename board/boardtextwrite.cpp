// Writing a board as text. Every byte the board file holds appears, so the
// text builds the same file again; the layout of the text depends on the
// board alone, so a board has one text.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/boardtext.h"

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
    "bars,\n"
    "# or numbers in brackets when a value is above 9. A row whose last byte\n"
    "# is not 0 ends in \"end N\". Holes are (row, column), in track order.\n";

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

void picturerow(textwriter& out, const char* row, std::int32_t width) {
  constexpr char hex[] = "0123456789abcdef";
  out.put('|');
  for (std::int32_t c = 0; c < width; ++c) {
    const auto byte = static_cast<unsigned char>(row[c]);
    if (byte == '\\') {
      out.text("\\\\");
    } else if (byte >= ' ' && byte <= '~') {
      out.put(static_cast<char>(byte));
    } else {
      const char escaped[] = {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
      out.text(std::string_view(escaped, 4));
    }
  }
  out.put('|');
  rowend(out, static_cast<unsigned char>(row[width]));
}

// Digits where every value is one, else numbers in brackets.
void colormaprow(textwriter& out, const unsigned char* row,
                 std::int32_t width) {
  bool digits = true;
  for (std::int32_t c = 0; c < width && digits; ++c) digits = row[c] <= 9;
  out.put(digits ? '|' : '[');
  for (std::int32_t c = 0; c < width; ++c) {
    if (digits) {
      out.put(static_cast<char>('0' + row[c]));
    } else {
      if (c > 0) out.put(' ');
      out.number(row[c]);
    }
  }
  out.put(digits ? '|' : ']');
  rowend(out, row[width]);
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

void hole(textwriter& out, const holetype& hole) {
  out.put('(');
  out.number(static_cast<unsigned char>(hole.y));
  out.text(", ");
  out.number(static_cast<unsigned char>(hole.x));
  out.put(')');
}

// Holes go five to a line, as the picture groups them, each line marked with
// the numbers of its holes.
constexpr std::int32_t holesperline = 5;

void track(textwriter& out, const boardtype& board, std::int32_t index) {
  out.text("\ntrack ");
  out.number(index);
  out.text(" color ");
  out.number(static_cast<unsigned char>(board.trackcolor[index]));
  out.put('\n');
  for (std::int32_t first = 0; first < board.holecount; first += holesperline) {
    const std::int32_t last =
        std::min(board.holecount, first + holesperline) - 1;
    for (std::int32_t i = first; i <= last; ++i) {
      if (i > first) out.put(' ');
      hole(out, board.tracks[index][i]);
    }
    out.text("  # ");
    out.number(first);
    if (last > first) {
      out.put('-');
      out.number(last);
    }
    out.put('\n');
  }
}

}  // namespace

bool writeboardtext(const boardtype& board, const bytesink& sink) {
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
  for (std::int32_t r = 0; r < board.height; ++r) {
    colormaprow(out, board.colormap[r].get(), board.width);
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

std::string writeboardtext(const boardtype& board) {
  std::string text;
  writeboardtext(board, [&text](std::span<const unsigned char> piece) {
    text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    return true;
  });
  return text;
}

}  // namespace boards
