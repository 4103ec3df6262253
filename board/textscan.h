#ifndef BOARD_TEXTSCAN_H_
#define BOARD_TEXTSCAN_H_

// The bytes of a board's text as its reader sees them: lines, blanks,
// comments, words, numbers and the characters of picture rows with their
// escapes. What they mean is the reader's; this knows only how they are
// written. A line is never held whole: what has been read is let go, so a
// comment or a row of any length costs a fixed amount of memory. The
// library's own; not installed.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "board/boardfile.h"
#include "board/words.h"

namespace boards {

class textscanner {
 public:
  // What peek finds past the last byte of a line.
  static constexpr int endofline = -1;

  explicit textscanner(const bytesource& source) : source_(source) {}

  // Goes to the start of the next line, leaving the rest of this one unread;
  // false at the end of the text.
  bool nextline();
  // The current line, counted from 1, and the column of the next byte,
  // counted from 0 in bytes.
  std::uint64_t line() const { return line_; }
  std::uint64_t column() const { return start_ + pos_; }

  // The byte so far ahead of the next one (at most a few), or endofline.
  int peek(std::size_t ahead = 0) {
    if (pos_ + ahead < buffer_.size()) {
      return static_cast<unsigned char>(buffer_[pos_ + ahead]);
    }
    return peekslowly(ahead);
  }
  void skip(std::size_t count = 1) { pos_ += count; }

  void skipblanks() {
    while (isblank(peek())) ++pos_;
  }
  // Whether only blanks, then a comment or the end of the line, are left.
  bool atend() {
    skipblanks();
    const int c = peek();
    return c == endofline || c == '#';
  }
  // Whether the word comes next (after blanks), not followed by a letter.
  bool lookingat(std::string_view word);
  // Skips to the next byte c on the line, or to its end.
  void skipto(char c);
  // What is found next, quoted, to say so: "'colour'", "','", "byte \x07",
  // "the end of the line".
  std::string token();

  // A decimal number, "-" allowed: its value, held below 2^40, past which
  // no range reaches. Nothing, and nothing taken, where no digit comes.
  std::optional<std::int64_t> number() {
    const bool negative = peek() == '-';
    if (!isdigit(peek(negative ? 1 : 0))) return std::nullopt;
    negative_ = negative;
    skip(negative ? 1 : 0);
    // The digits at hand are read in place, and their text left there
    // until it is asked for; a number that runs on past them, a rare thing,
    // a byte at a time.
    numberstart_ = pos_;
    std::int64_t value = 0;
    const std::size_t size = buffer_.size();
    const char* const text = buffer_.data();
    std::size_t at = pos_;
    while (at != size && isdigit(text[at])) {
      value = std::min(beyond, value * 10 + (text[at++] - '0'));
    }
    numberlength_ = at - pos_;
    pos_ = at;
    runon_ = at == size;
    if (runon_) value = morenumber(value);
    return negative ? -value : value;
  }
  // The last number's text as written (the first digits of a long one).
  std::string numbertext() const;

  // One character of a picture row: a byte, "\\" or "\xHH". Nothing, and
  // the backslash left, where an escape is bad.
  std::optional<char> character() {
    const int c = peek();
    if (c != '\\') {
      skip();
      return static_cast<char>(c);
    }
    if (pos_ + 3 < buffer_.size() && buffer_[pos_ + 1] == 'x') {
      const int high = hexvalue(buffer_[pos_ + 2]);
      const int low = hexvalue(buffer_[pos_ + 3]);
      if (high >= 0 && low >= 0) {
        pos_ += 4;
        return static_cast<char>(high * 16 + low);
      }
    }
    return escape();
  }

  // Keeps the bytes from the next one on until let go, so that the reader
  // can come back to them.
  std::uint64_t hold() {
    held_ = true;
    heldfrom_ = column();
    return heldfrom_;
  }
  // Back to a column held; the hold ends.
  void back(std::uint64_t column) {
    pos_ = static_cast<std::size_t>(column - start_);
    held_ = false;
  }
  void letgo() { held_ = false; }

  static bool isblank(int c) { return c == ' ' || c == '\t' || c == '\r'; }
  static bool isletter(int c) { return c >= 'a' && c <= 'z'; }
  static bool isdigit(int c) { return c >= '0' && c <= '9'; }

 private:
  static constexpr std::int64_t beyond = std::int64_t{1} << 40;

  int peekslowly(std::size_t ahead);
  std::optional<char> escape();
  std::int64_t morenumber(std::int64_t value);
  // Takes more of the line from the source; false when the line has ended.
  bool takemore();
  bool refill();

  const bytesource& source_;
  std::span<const unsigned char> view_;  // from the source, not yet taken
  bool sourceended_ = false;
  std::string buffer_;       // the part of the line at hand
  std::size_t pos_ = 0;      // of the next byte in buffer_
  std::uint64_t start_ = 0;  // the column of buffer_[0]
  bool lineended_ = true;    // whether buffer_ holds the rest of the line
  // The last number read: its sign, where it stands in buffer_ and how many
  // digits it has; when it ran on past the bytes at hand, its first digits.
  bool negative_ = false;
  std::size_t numberstart_ = 0, numberlength_ = 0;
  bool runon_ = false;
  std::array<char, 24> digits_{};
  bool held_ = false;
  std::uint64_t heldfrom_ = 0;  // the column kept from, while held_
  std::uint64_t line_ = 0;
};

}  // namespace boards

#endif  // BOARD_TEXTSCAN_H_
