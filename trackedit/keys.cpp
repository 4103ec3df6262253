#include "trackedit/keys.h"

#include <cstdio>

namespace trackedit::keys {
namespace {

// Sequences longer than this are not a key; they end where they are cut.
constexpr std::size_t longest = 32;

// A button code as both report forms number it: the low bits the button
// (3: released), 32 added while moving, 64 for the wheel.
std::optional<pointer> pointerof(int code, int y, int x, bool released) {
  if (y < 0 || x < 0) return std::nullopt;
  if (code & 64) {
    if ((code & 3) > 1) return std::nullopt;
    return pointer{code & 1 ? pointer::wheeldown : pointer::wheelup, y, x};
  }
  const int button = code & 3;
  if ((code & 32) && button == 3) return std::nullopt;  // moving, no button
  if (released || button == 3) return pointer{pointer::release, y, x};
  if (button != 0) return std::nullopt;  // only the first button draws
  return pointer{code & 32 ? pointer::drag : pointer::press, y, x};
}

}  // namespace

bool escapedone(std::string_view after) {
  if (after.empty()) return false;
  if (after.size() >= longest) return true;
  if (after[0] == 'O') return after.size() >= 2;
  if (after[0] != '[') return true;
  if (after.size() >= 2 && after[1] == 'M') return after.size() >= 5;
  const unsigned char last = after.back();
  return after.size() >= 2 && last >= 0x40 && last <= 0x7e;
}

std::optional<pointer> pointerreport(std::string_view after) {
  if (after.size() == 5 && after.substr(0, 2) == "[M") {
    const auto byte = [&](std::size_t i) {
      return static_cast<unsigned char>(after[i]);
    };
    return pointerof(byte(2) - 32, byte(4) - 33, byte(3) - 33, false);
  }
  if (after.size() < 4 || after.substr(0, 2) != "[<") return std::nullopt;
  const char end = after.back();
  if (end != 'M' && end != 'm') return std::nullopt;
  const std::string numbers(after.substr(2, after.size() - 3));
  int code = 0, x = 0, y = 0, used = -1;
  if (std::sscanf(numbers.c_str(), "%3d;%4d;%4d%n", &code, &x, &y, &used) !=
          3 ||
      used != static_cast<int>(numbers.size())) {
    return std::nullopt;
  }
  return pointerof(code, y - 1, x - 1, end == 'm');
}

std::string unknownsequence(std::string_view after) {
  std::string text = "unknown key ESC";
  for (const char c : after) {
    const auto byte = static_cast<unsigned char>(c);
    text += ' ';
    if (byte > ' ' && byte < 0x7f) {
      text += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02x", byte);
      text += hex;
    }
  }
  return text;
}
std::string utf8(int point) {
  std::string text;
  if (point < 0x80) {
    text += static_cast<char>(point);
  } else if (point < 0x800) {
    text += static_cast<char>(0xc0 | point >> 6);
    text += static_cast<char>(0x80 | (point & 0x3f));
  } else if (point < 0x10000) {
    text += static_cast<char>(0xe0 | point >> 12);
    text += static_cast<char>(0x80 | (point >> 6 & 0x3f));
    text += static_cast<char>(0x80 | (point & 0x3f));
  } else {
    text += static_cast<char>(0xf0 | point >> 18);
    text += static_cast<char>(0x80 | (point >> 12 & 0x3f));
    text += static_cast<char>(0x80 | (point >> 6 & 0x3f));
    text += static_cast<char>(0x80 | (point & 0x3f));
  }
  return text;
}

std::string name(int key) {
  static constexpr const char* named[] = {
      "Up",         "Down",    "Left",      "Right",     "Page Up", "Page Down",
      "Home",       "End",     "Delete",    "Shift-Tab", "F1",      "Ctrl-Left",
      "Ctrl-Right", "Ctrl-Up", "Ctrl-Down", "that key"};
  switch (key) {
    case escape:
      return "Esc";
    case tab:
      return "Tab";
    case enter:
      return "Enter";
    case backspace:
      return "Backspace";
    case ' ':
      return "Space";
  }
  if (key >= up && key <= otherkey) return named[key - up];
  if (key >= 0 && key < ' ') {
    return std::string("Ctrl-") + static_cast<char>('A' + key - 1);
  }
  if (key < 0 || key >= 0x110000 || (key >= 0xd800 && key < 0xe000)) {
    return "that key";
  }
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string quoted = "'";
  quoted += utf8(key);
  quoted += '\'';
  return quoted;
}

}  // namespace trackedit::keys
