#ifndef TRACKEDIT_KEYS_H_
#define TRACKEDIT_KEYS_H_

// The keys the editor knows, apart from any terminal: a typed character is
// its code point, a control key its ASCII control code, and the keys that
// type nothing are numbered past the last code point.

#include <optional>
#include <string>
#include <string_view>

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

// What a pointer report says, in screen cells from the top left.
struct pointer {
  enum kind { press, drag, release, wheelup, wheeldown } what;
  int y = 0;
  int x = 0;
  bool operator==(const pointer&) const = default;
};

// Whether the bytes read after an Esc make a whole sequence: a control
// sequence (Esc [ parameters final), Esc O and a key, a mouse report in
// either form (Esc [ M and three bytes, or Esc [ < B ; X ; Y and M or m),
// or Esc and one character (Alt and a key). Overlong ones count as whole.
bool escapedone(std::string_view after);

// The pointer report that the bytes after an Esc are, in either form; none
// when they are some other sequence, or a button the editor has no use for.
std::optional<pointer> pointerreport(std::string_view after);

// How an unnamed sequence is shown: "unknown key ESC [ 4 ~".
std::string unknownsequence(std::string_view after);

// A code point in UTF-8.
std::string utf8(int point);

// How the key is written in messages and help: "Ctrl-W", "Shift-Tab", "'/'".
std::string name(int key);

}  // namespace trackedit::keys

#endif  // TRACKEDIT_KEYS_H_
