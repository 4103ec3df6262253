#ifndef TRACKEDIT_TERMINAL_H_
#define TRACKEDIT_TERMINAL_H_

// The editor on a real terminal: the curses session, the keys and mouse
// events it reads, and the questions asked on its message line.

#include <csignal>
#include <string>
#include <vector>

#include "trackedit/commands.h"

struct screen;  // curses' own, kept out of this header

namespace trackedit {

// Why the terminal cannot be used, or empty when it can: a terminal that
// cannot move its cursor (TERM=dumb) would draw the board on one line.
// Looks at the terminal's description only; the terminal is not touched.
std::string unusableterminal();

// The terminal's string for a capability (of the terminal set up last);
// empty when it has none.
std::string capability(const char* name);

// The terminal in curses mode for the session's lifetime; the destructor
// leaves it as it was found, on every way out.
class session {
 public:
  session();
  ~session();
  session(const session&) = delete;
  session& operator=(const session&) = delete;

 private:
  ::screen* screen_;
};

// Asks on the message line; a signal that sets stop cancels the question.
class terminalprompter : public prompter {
 public:
  explicit terminalprompter(const volatile std::sig_atomic_t& stop)
      : stop_(stop) {}
  // The editor whose message line asks, drawn by screen.
  void attach(editor& state, class view& screen) {
    state_ = &state;
    screen_ = &screen;
  }
  std::optional<std::string> line(const std::string& question,
                                  const std::string& initial) override;
  std::optional<int> key(const std::string& question) override;

 private:
  std::optional<int> ask(const std::string& question, std::size_t cursor);

  const volatile std::sig_atomic_t& stop_;
  editor* state_ = nullptr;
  class view* screen_ = nullptr;
};

// First offers the recovery files, then reads keys and the mouse into the
// editor until it quits or stop is set; ask is the editor's prompter.
void run(editor& state, terminalprompter& ask,
         const std::vector<editor::recoveryoffer>& offers,
         const volatile std::sig_atomic_t& stop);

}  // namespace trackedit

#endif  // TRACKEDIT_TERMINAL_H_
