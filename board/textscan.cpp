#include "board/textscan.h"

#include <algorithm>
#include <cstring>

#include "board/words.h"

namespace boards {
namespace {

// What has been read is let go once this much of it has gathered.
constexpr std::size_t keptbehind = 64 * 1024;

// The longest word a message quotes in full.
constexpr std::size_t longestword = 32;

}  // namespace

bool textscanner::refill() {
  if (view_.empty() && !sourceended_) {
    view_ = source_(boardpiecelength);
    sourceended_ = view_.empty();
  }
  return !view_.empty();
}

bool textscanner::nextline() {
  // The rest of the line is passed over without being kept.
  while (!lineended_ && refill()) {
    const void* newline = std::memchr(view_.data(), '\n', view_.size());
    if (newline == nullptr) {
      view_ = {};
      continue;
    }
    view_ = view_.subspan(static_cast<const unsigned char*>(newline) -
                          view_.data() + 1);
    lineended_ = true;
  }
  buffer_.clear();
  pos_ = 0;
  start_ = 0;
  held_ = false;
  if (!refill()) return false;
  lineended_ = false;
  ++line_;
  return true;
}

bool textscanner::takemore() {
  if (lineended_) return false;
  if (!refill()) {
    lineended_ = true;  // a last line without a newline
    return false;
  }
  const std::size_t keep =
      held_ ? std::min(pos_, static_cast<std::size_t>(heldfrom_ - start_))
            : pos_;
  if (keep >= keptbehind) {
    buffer_.erase(0, keep);
    pos_ -= keep;
    start_ += keep;
  }
  const auto* text = reinterpret_cast<const char*>(view_.data());
  const auto* newline =
      static_cast<const char*>(std::memchr(text, '\n', view_.size()));
  const std::size_t taken =
      newline != nullptr ? std::size_t(newline - text) : view_.size();
  buffer_.append(text, taken);
  view_ = view_.subspan(std::min(view_.size(), taken + 1));
  lineended_ = newline != nullptr;
  return true;
}

int textscanner::peekslowly(std::size_t ahead) {
  while (pos_ + ahead >= buffer_.size()) {
    if (!takemore()) return endofline;
  }
  return static_cast<unsigned char>(buffer_[pos_ + ahead]);
}

bool textscanner::lookingat(std::string_view word) {
  skipblanks();
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (peek(i) != static_cast<unsigned char>(word[i])) return false;
  }
  return !isletter(peek(word.size()));
}

void textscanner::skipto(char c) {
  for (int next = peek(); next != endofline && next != c; next = peek()) {
    const auto found = buffer_.find(c, pos_);
    pos_ = found == std::string::npos ? buffer_.size() : found;
  }
}

std::string textscanner::token() {
  const int first = peek();
  if (first == endofline) return "the end of the line";
  std::size_t letters = 0;
  while (letters <= longestword && isletter(peek(letters))) ++letters;
  if (letters == 0 && (first < ' ' || first > '~')) {
    return "byte " + escapedbyte(static_cast<unsigned char>(first));
  }
  std::string quoted = "'";
  for (std::size_t i = 0; i < std::max<std::size_t>(letters, 1); ++i) {
    quoted += static_cast<char>(peek(i));
  }
  if (letters > longestword) quoted.replace(quoted.size() - 1, 1, "...");
  return quoted += '\'';
}

std::string textscanner::numbertext() const {
  const std::size_t shown = std::min(numberlength_, digits_.size());
  std::string text = negative_ ? "-" : "";
  if (runon_) {
    text.append(digits_.data(), shown);
  } else {
    text.append(buffer_, numberstart_, shown);
  }
  if (numberlength_ > shown) text += "...";
  return text;
}

std::int64_t textscanner::morenumber(std::int64_t value) {
  // The digits at hand are kept before more of the line is taken, which may
  // let them go.
  std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(numberstart_),
              std::min(numberlength_, digits_.size()), digits_.begin());
  for (int c = peek(); isdigit(c); c = peek()) {
    value = std::min(beyond, value * 10 + (c - '0'));
    if (numberlength_ < digits_.size()) {
      digits_[numberlength_] = static_cast<char>(c);
    }
    ++numberlength_;
    skip();
  }
  return value;
}

std::optional<char> textscanner::escape() {
  if (peek(1) == '\\') {
    skip(2);
    return '\\';
  }
  const int high = hexvalue(static_cast<char>(peek(2)));
  const int low = hexvalue(static_cast<char>(peek(3)));
  if (peek(1) != 'x' || high < 0 || low < 0) return std::nullopt;
  skip(4);
  return static_cast<char>(high * 16 + low);
}

}  // namespace boards
