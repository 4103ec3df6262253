#include "trackedit/keys.h"

namespace trackedit::keys {
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
