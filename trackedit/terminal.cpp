#include "trackedit/terminal.h"

#include <curses.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "trackedit/keys.h"
#include "trackedit/text.h"
#include "trackedit/view.h"

namespace trackedit {
namespace {

// The terminal reports its focus coming and going with these, once asked.
constexpr char focusin[] = "[I";
constexpr char focusout[] = "[O";
constexpr char focusreports[] = "\033[?1004h";
constexpr char nofocusreports[] = "\033[?1004l";

// How long a key is waited for before the loop looks at signals again.
constexpr int tick = 100;
// The rows the wheel scrolls a notch.
constexpr int wheelrows = 3;

// Curses codes for Ctrl and an arrow, which curses has no names for.
constexpr int cursesjump = KEY_MAX + 1;
constexpr const char* jumpsequences[][2] = {
    {"kLFT5", "\033[1;5D"},
    {"kRIT5", "\033[1;5C"},
    {"kUP5", "\033[1;5A"},
    {"kDN5", "\033[1;5B"},
};

void definejumps() {
  for (int i = 0; i < 4; ++i) {
    define_key(jumpsequences[i][1], cursesjump + i);
    const std::string own = capability(jumpsequences[i][0]);
    if (!own.empty()) define_key(own.c_str(), cursesjump + i);
  }
}

// Pseudo keys the loop handles itself.
constexpr int mousekey = -2;  // curses' own mouse report
constexpr int resizekey = -3;
constexpr int sequencekey = -4;  // a sequence after an Esc, read whole
constexpr int nokey = -1;

// How long the bytes of a sequence after an Esc are waited for: they come
// together, and an Esc alone is the key.
constexpr int sequencewait = 30;

// A key that curses names, as trackedit::keys has it.
int namedkey(int code) {
  switch (code) {
    case KEY_UP:
      return keys::up;
    case KEY_DOWN:
      return keys::down;
    case KEY_LEFT:
      return keys::left;
    case KEY_RIGHT:
      return keys::right;
    case KEY_PPAGE:
      return keys::pageup;
    case KEY_NPAGE:
      return keys::pagedown;
    case KEY_HOME:
      return keys::home;
    case KEY_END:
      return keys::end;
    case KEY_DC:
      return keys::deletekey;
    case KEY_BTAB:
      return keys::backtab;
    case KEY_F(1):
      return keys::help;
    case KEY_BACKSPACE:
      return keys::backspace;
    case KEY_ENTER:
      return keys::enter;
    case KEY_MOUSE:
      return mousekey;
    case KEY_RESIZE:
      return resizekey;
  }
  if (code >= cursesjump && code < cursesjump + 4) {
    return keys::jumpleft + code - cursesjump;
  }
  return keys::otherkey;
}

// The rest of a sequence that began with an Esc, as it comes; empty when
// the Esc came alone. A key of its own (another Esc, a named key) ends it
// and is read next.
std::string readsequence() {
  std::string after;
  timeout(sequencewait);
  while (!keys::escapedone(after)) {
    wint_t code;
    const int kind = get_wch(&code);
    if (kind == ERR) break;
    if (kind == KEY_CODE_YES || code > 0xff || (after.empty() && code == 27)) {
      kind == KEY_CODE_YES ? ungetch(static_cast<int>(code)) : unget_wch(code);
      break;
    }
    after += static_cast<char>(code);
  }
  return after;
}

// The next key as trackedit::keys has it, waiting at most wait
// milliseconds (nokey when none came); for sequencekey, the bytes after
// the Esc are in sequence.
int readkey(int wait, std::string& sequence) {
  timeout(wait);
  wint_t code;
  const int kind = get_wch(&code);
  if (kind == ERR) return nokey;
  if (kind == OK && code == keys::escape) {
    sequence = readsequence();
    if (sequence.empty()) return keys::escape;
    // A key whose bytes came too far apart for curses to join them.
    const int named = key_defined(("\033" + sequence).c_str());
    return named > 0 ? namedkey(named) : sequencekey;
  }
  if (kind == OK) return static_cast<int>(code);
  return namedkey(static_cast<int>(code));
}

// Waits for a key, looking at stop between ticks; nothing when stop came
// first. The screen is drawn again after a resize.
template <class redraw>
std::optional<int> waitkey(const volatile std::sig_atomic_t& stop,
                           redraw&& draw) {
  for (;;) {
    if (stop) return std::nullopt;
    std::string sequence;  // swallowed: a question takes keys alone
    const int key = readkey(tick, sequence);
    if (key == resizekey) draw();
    if (key >= 0) return key;
  }
}

// Curses' report as the editor's; none for what the editor has no use for.
std::optional<keys::pointer> cursespointer() {
  MEVENT event;
  if (getmouse(&event) != OK) return std::nullopt;
  const auto at = [&](keys::pointer::kind what) {
    return keys::pointer{what, event.y, event.x};
  };
  if (event.bstate & BUTTON4_PRESSED) return at(keys::pointer::wheelup);
  if (event.bstate & BUTTON5_PRESSED) return at(keys::pointer::wheeldown);
  if (event.bstate & BUTTON1_PRESSED) return at(keys::pointer::press);
  if (event.bstate & BUTTON1_RELEASED) return at(keys::pointer::release);
  if (event.bstate & REPORT_MOUSE_POSITION) return at(keys::pointer::drag);
  return std::nullopt;
}

void mouse(editor& state, const view& screen, const keys::pointer& event) {
  switch (event.what) {
    case keys::pointer::wheelup:
      return state.scrollby(-wheelrows);
    case keys::pointer::wheeldown:
      return state.scrollby(wheelrows);
    case keys::pointer::press:
      if (const auto cell = screen.cellat(state, event.y, event.x)) {
        state.press(*cell);
      }
      return;
    case keys::pointer::drag:
    case keys::pointer::release:
      break;
  }
  const auto cell = screen.cellat(state, event.y, event.x);
  if (cell) state.dragto(*cell);
  if (event.what == keys::pointer::release) {
    // A press that came in the same read as later events can be lost; its
    // release still moves the cursor.
    if (cell && state.cursor() != *cell) state.press(*cell);
    state.release();
  }
}

// A sequence after an Esc that curses did not name: a pointer report in the
// form curses does not read, the terminal's focus coming back (when the
// file is looked at again), or an unknown key, swallowed whole.
void sequence(editor& state, const view& screen, bool blind,
              const std::string& after) {
  if (const auto event = keys::pointerreport(after)) {
    if (!blind) mouse(state, screen, *event);
  } else if (after == focusin) {
    state.lookatdisk();
  } else if (after != focusout) {
    state.say(keys::unknownsequence(after));
  }
}

void help(view& screen, const volatile std::sig_atomic_t& stop) {
  const int lines = static_cast<int>(helplines().size());
  int first = 0;
  for (;;) {
    const int page = screen.drawhelp(first);
    const auto key = waitkey(stop, [&] { screen.drawhelp(first); });
    if (!key) return;
    switch (*key) {
      case keys::escape:
      case keys::ctrl('c'):
      case keys::help:
      case 'q':
      case 'Q':
        return;
      case keys::up:
        --first;
        break;
      case keys::down:
      case keys::enter:
        ++first;
        break;
      case keys::pageup:
        first -= page;
        break;
      case keys::pagedown:
      case ' ':
        first += page;
        break;
      case keys::home:
        first = 0;
        break;
      case keys::end:
        first = lines;
        break;
    }
    first = std::clamp(first, 0, std::max(lines - page, 0));
  }
}

}  // namespace

session::session() {
  // Unlike initscr, newterm gives a terminal it cannot use back to us
  // instead of ending the program.
  screen_ = newterm(nullptr, stdout, stdin);
  if (screen_ == nullptr) {
    const char* term = std::getenv("TERM");
    throw std::runtime_error(std::string("cannot use the terminal, TERM=") +
                             (term ? term : ""));
  }
  raw();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  definejumps();
  mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON4_PRESSED |
                BUTTON5_PRESSED | REPORT_MOUSE_POSITION,
            nullptr);
  mouseinterval(0);
  std::fputs(focusreports, stdout);
  std::fflush(stdout);
}

session::~session() {
  curs_set(1);
  endwin();
  std::fputs(nofocusreports, stdout);
  std::fflush(stdout);
  delscreen(screen_);
}

std::optional<std::string> terminalprompter::line(const std::string& question,
                                                  const std::string& initial) {
  answerline answer{initial, initial.size()};
  for (;;) {
    const auto key =
        ask(question + " " + answer.text, question.size() + 1 + answer.at);
    if (!key || *key == keys::escape || *key == keys::ctrl('c')) {
      return std::nullopt;
    }
    if (*key == keys::enter || *key == '\n') return answer.text;
    answer.key(*key);
  }
}

std::optional<int> terminalprompter::key(const std::string& question) {
  auto key = ask(question, question.size());
  if (key == keys::ctrl('c')) key = keys::escape;
  return key;
}

// Shows the question with the cursor at a byte offset of it; the key.
std::optional<int> terminalprompter::ask(const std::string& question,
                                         std::size_t cursor) {
  const auto draw = [&] {
    state_->say(question);
    screen_->draw(*state_);
    screen_->cursorinmessage(*state_, cursor);
    refresh();
  };
  draw();
  const auto key = waitkey(stop_, draw);
  state_->say("");
  return key;
}

void run(editor& state, terminalprompter& ask,
         const std::vector<editor::recoveryoffer>& offers,
         const volatile std::sig_atomic_t& stop) {
  view screen;
  ask.attach(state, screen);
  state.offerrecovery(offers);
  while (!state.quitting() && !stop) {
    screen.draw(state);
    // With checks to run, a key already waiting comes first and the checks
    // run as soon as none is.
    const bool checked = state.problemcount().has_value();
    std::string after;
    const int key = readkey(checked ? tick : 0, after);
    // Too small to show a cell, the editor acts blind: keys are refused.
    const bool blind = !screen.fits(state);
    if (key == nokey) {
      if (!checked) state.runchecks();
      continue;
    }
    if (key == mousekey) {
      const auto event = cursespointer();
      if (event && !blind) mouse(state, screen, *event);
    } else if (key == sequencekey) {
      sequence(state, screen, blind, after);
    } else if (key == keys::help) {
      help(screen, stop);
    } else if (key != resizekey) {
      blind ? state.blindkey(key) : state.handle(key);
    }
    state.lookatdisk();
  }
}

}  // namespace trackedit
