#ifndef TRACKEDIT_KEYS_H_
#define TRACKEDIT_KEYS_H_

// The keys the editor knows, apart from any terminal: a typed character is
// its code point, a control key its ASCII control code, and the keys that
// type nothing are numbered past the last code point.

#include <string>

namespace trackedit::keys {

constexpr int ctrl(char letter) { return letter & 0x1f; }
constexpr int escape = 27;
constexpr int enter = '\r';
constexpr int tab = '\t';
constexpr int backspace = 127;

enum : int {
  up = 0x110000,
  down,
  left,
  right,
  pageup,
  pagedown,
  home,
  end,
  deletekey,
  backtab,   // Shift-Tab
  help,      // F1
  jumpleft,  // Ctrl and an arrow
  jumpright,
  jumpup,
  jumpdown,
  otherkey,  // one that has no name here
};

// A code point in UTF-8.
std::string utf8(int point);

// How the key is written in messages and help: "Ctrl-W", "Shift-Tab", "'/'".
std::string name(int key);

}  // namespace trackedit::keys

#endif  // TRACKEDIT_KEYS_H_
