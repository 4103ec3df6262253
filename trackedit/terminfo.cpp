// The terminal's description, apart from the rest of the terminal code:
// term.h defines macros with common names (lines, columns, tab).

#include <cstdlib>
#include <string>

#include "trackedit/terminal.h"

// Last: its macros would rename the words of the headers above.
#include <curses.h>
#include <term.h>

namespace trackedit {

std::string capability(const char* name) {
  const char* value = tigetstr(const_cast<char*>(name));
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
  return value;
}

std::string unusableterminal() {
  int error = 0;
  if (setupterm(nullptr, 1, &error) != OK) {
    const char* term = std::getenv("TERM");
    return std::string("cannot use the terminal, TERM=") + (term ? term : "");
  }
  const bool moves = !capability("cup").empty();
  std::string why;
  if (!moves) {
    const char* term = std::getenv("TERM");
    why = std::string("the terminal cannot move its cursor (TERM=") +
          (term ? term : "") + "); a full-screen terminal is needed";
  }
  del_curterm(cur_term);
  cur_term = nullptr;
  return why;
}

}  // namespace trackedit
