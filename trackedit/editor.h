#ifndef TRACKEDIT_EDITOR_H_
#define TRACKEDIT_EDITOR_H_

// The terminal side of the editor: a curses session that turns keys into the
// model's edits and draws the part of the board that fits on the screen.

#include <csignal>
#include <string>

#include "trackedit/model.h"

struct screen;  // curses' own, kept out of this header

namespace trackedit {

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

// Edits doc, kept at path, until the user quits or stop is set (by a signal
// handler). When path's recovery file exists, first offers to open it in
// place of doc.
void edit(document& doc, const std::string& path,
          const volatile std::sig_atomic_t& stop);

}  // namespace trackedit

#endif  // TRACKEDIT_EDITOR_H_
