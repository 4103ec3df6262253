#ifndef BOARD_WORDS_H_
#define BOARD_WORDS_H_

// How the library and its tools put things into words: counts with their
// nouns, bytes in hexadecimal, cells as "(row, column)". The library's and
// its tools' own; not installed. Inline, so that a shared library need not
// export them.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace boards {

inline constexpr char hexdigits[] = "0123456789abcdef";

// The value of a hexadecimal digit, either case; -1 for anything else.
inline int hexvalue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "\xHH": a byte as the text form escapes it.
inline std::string escapedbyte(unsigned char byte) {
  return {'\\', 'x', hexdigits[byte >> 4], hexdigits[byte & 15]};
}

// A picture byte as the text form writes it, in the space given: printable
// ASCII as itself, "\\" for a backslash, "\xHH" for any other byte. The
// one home of the rule: rows, "on" clauses and messages all write so.
inline std::string_view picturecharacter(unsigned char byte, char (&space)[4]) {
  if (byte == '\\') {
    space[0] = space[1] = '\\';
    return {space, 2};
  }
  if (byte >= ' ' && byte <= '~') {
    space[0] = static_cast<char>(byte);
    return {space, 1};
  }
  space[0] = '\\';
  space[1] = 'x';
  space[2] = hexdigits[byte >> 4];
  space[3] = hexdigits[byte & 15];
  return {space, 4};
}

inline void appendpicturecharacter(std::string& text, unsigned char byte) {
  char space[4];
  text.append(picturecharacter(byte, space));
}

// Numbers are appended: a board may have millions of messages.
inline void appendnumber(std::string& text, std::int64_t value) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  // The count form, not the range: the range builds a string to append.
  text.append(digits, static_cast<std::size_t>(written.ptr - digits));
}

// The count and the noun, plural unless the count is 1: "1 track",
// "3 tracks", "0 problems".
inline std::string counted(std::int64_t count, std::string_view noun) {
  std::string text;
  appendnumber(text, count);
  text += ' ';
  text += noun;
  if (count != 1) text += 's';
  return text;
}

// "(row, column)", the way every message names a cell.
inline void appendcell(std::string& text, std::int64_t row,
                       std::int64_t column) {
  text += '(';
  appendnumber(text, row);
  text += ", ";
  appendnumber(text, column);
  text += ')';
}

inline std::string cellname(std::int64_t row, std::int64_t column) {
  std::string text;
  appendcell(text, row, column);
  return text;
}

}  // namespace boards

#endif  // BOARD_WORDS_H_
