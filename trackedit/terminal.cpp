#include "trackedit/terminal.h"

#include <curses.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "trackedit/keys.h"
#include "trackedit/text.h"
#include "trackedit/view.h"

namespace trackedit {
namespace {

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
constexpr int mousekey = -2;
constexpr int resizekey = -3;
constexpr int nokey = -1;

// The next key as trackedit::keys has it; nokey when none came in time.
int readkey() {
  wint_t code;
  const int kind = get_wch(&code);
  if (kind == ERR) return nokey;
  if (kind == OK) return static_cast<int>(code);
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
    return keys::jumpleft + static_cast<int>(code) - cursesjump;
  }
  return keys::otherkey;
}

// Waits for a key, looking at stop between ticks; nothing when stop came
// first. The screen is drawn again after a resize.
template <class redraw>
std::optional<int> waitkey(const volatile std::sig_atomic_t& stop,
                           redraw&& draw) {
  timeout(tick);
  for (;;) {
    if (stop) return std::nullopt;
    const int key = readkey();
    if (key == resizekey) draw();
    if (key >= 0) return key;
  }
}

void mouse(editor& state, const view& screen) {
  MEVENT event;
  if (getmouse(&event) != OK) return;
  if (event.bstate & BUTTON5_PRESSED) return state.scrollby(wheelrows);
  const auto cell = screen.cellat(state, event.y, event.x);
  if (event.bstate & BUTTON1_PRESSED) {
    if (cell) state.press(*cell);
    return;
  }
  if (cell) state.dragto(*cell);
  if (event.bstate & BUTTON1_RELEASED) {
    // A press that came in the same read as later events can be lost; its
    // release still moves the cursor.
    if (cell && state.cursor() != *cell) state.press(*cell);
    state.release();
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
}

session::~session() {
  curs_set(1);
  endwin();
  delscreen(screen_);
}

std::optional<std::string> terminalprompter::line(const std::string& question,
                                                  const std::string& initial) {
  std::string answer = initial;
  for (;;) {
    const auto key = this->key(question + " " + answer);
    if (!key || *key == keys::escape || *key == keys::ctrl('c')) {
      return std::nullopt;
    }
    if (*key == keys::enter || *key == '\n') return answer;
    if (*key == keys::backspace || *key == 8) {
      // A whole UTF-8 character goes.
      while (!answer.empty() && (answer.back() & 0xc0) == 0x80) {
        answer.pop_back();
      }
      if (!answer.empty()) answer.pop_back();
    } else if (*key == keys::ctrl('u')) {
      answer.clear();
    } else if (*key >= ' ' && *key < keys::up && *key != keys::backspace) {
      answer += keys::utf8(*key);
    }
  }
}

std::optional<int> terminalprompter::key(const std::string& question) {
  const auto draw = [&] {
    state_->say(question);
    screen_->draw(*state_);
    move(LINES - 1, std::min<int>(question.size(), COLS - 1));
    refresh();
  };
  draw();
  auto key = waitkey(stop_, draw);
  state_->say("");
  if (key == keys::ctrl('c')) key = keys::escape;
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
    timeout(checked ? tick : 0);
    const int key = readkey();
    if (key == nokey) {
      if (!checked) state.runchecks();
    } else if (key == mousekey) {
      mouse(state, screen);
    } else if (key == keys::help) {
      help(screen, stop);
    } else if (key != resizekey) {
      state.handle(key);
    }
  }
}

}  // namespace trackedit
