#include "trackedit/view.h"

#include <curses.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "trackedit/look.h"
#include "trackedit/text.h"

namespace trackedit {
namespace {

// The rulers take the two rows at the top, the status and the message the
// two at the foot.
constexpr int top = 2;

int boardrows() { return LINES - top - 2; }

// A board color on a terminal of this many colors: itself where the
// terminal has it, else the nearest standard color it has.
short terminalcolor(int color, int colors) {
  if (color < colors) return static_cast<short>(color);
  if (color < 16 && colors >= 8) return static_cast<short>(color - 8);
  const boards::rgbtype want = boards::terminalrgb(color);
  const auto square = [](int d) { return d * d; };
  int best = 0;
  int bestdistance = -1;
  for (int c = 0; c < std::min(colors, 16); ++c) {
    const boards::rgbtype have = boards::terminalrgb(c);
    const int distance = square(want.red - have.red) +
                         square(want.green - have.green) +
                         square(want.blue - have.blue);
    if (bestdistance < 0 || distance < bestdistance) {
      best = c;
      bestdistance = distance;
    }
  }
  return static_cast<short>(best);
}

bool colorwanted() {
  const char* nocolor = std::getenv("NO_COLOR");
  return has_colors() && (nocolor == nullptr || *nocolor == 0);
}

}  // namespace

view::view() : colored_(colorwanted()) {
  if (colored_) {
    start_color();
    use_default_colors();
  }
}

int view::left(const editor& state) const {
  return std::max<int>(
      4, std::to_string(std::max(state.doc().height() - 1, 0)).size() + 1);
}

bool view::fits(const editor& state) const {
  return boardrows() >= 1 && COLS - left(state) >= 1;
}

std::optional<celltype> view::cellat(const editor& state, int y, int x) const {
  // A long message covers the board's last rows, the status line above it.
  const int bottom = std::min(top + boardrows(), firstmessagerow(state) - 1);
  if (!fits(state) || y < top || y >= bottom || x < left(state)) {
    return std::nullopt;
  }
  const celltype cell{y - top + state.view().row,
                      x - left(state) + state.view().column};
  if (!state.doc().inside(cell)) return std::nullopt;
  return cell;
}

// The message's lines, as many as the screen has room for; the last shows
// when there are more. Too small for a cell, the whole screen is theirs.
std::vector<std::string> view::messagelines(const editor& state) const {
  auto lines = wrapped(state.message(), COLS);
  const auto room =
      static_cast<std::size_t>(std::max(fits(state) ? LINES - 1 : LINES, 1));
  if (lines.size() > room) lines.erase(lines.begin(), lines.end() - room);
  return lines;
}

int view::firstmessagerow(const editor& state) const {
  if (!fits(state)) return 0;
  return LINES - std::max<int>(messagelines(state).size(), 1);
}

void view::cursorinmessage(const editor& state, std::size_t offset) const {
  const std::string& text = state.message();
  const auto [line, column] = wrappedplace(text, COLS, offset);
  const int skipped =
      std::max<int>(wrapped(text, COLS).size() - messagelines(state).size(), 0);
  const int row = firstmessagerow(state) + line - skipped;
  move(std::clamp(row, 0, LINES - 1), column);
}

void view::draw(editor& state) {
  erase();
  if (!fits(state)) {
    attr_set(A_NORMAL, 0, nullptr);
    const auto lines = messagelines(state);
    if (lines.empty()) mvaddnstr(0, 0, "terminal too small", COLS);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      mvaddstr(static_cast<int>(i), 0, lines[i].c_str());
    }
    refresh();
    return;
  }
  state.setscreen(boardrows(), COLS - left(state));
  drawrulers(state);
  drawcells(state);
  drawfoot(state);
  move(state.cursor().row - state.view().row + top,
       state.cursor().column - state.view().column + left(state));
  refresh();
}

void view::drawrulers(const editor& state) {
  attr_set(A_DIM, 0, nullptr);
  const celltype first = state.view();
  const int shown =
      std::clamp(state.doc().width() - first.column, 0, COLS - left(state));
  mvaddstr(0, left(state), boards::columnlabels(first.column, shown).c_str());
  mvaddstr(1, left(state), boards::columnticks(first.column, shown).c_str());
  for (int r = 0; r < boardrows() && first.row + r < state.doc().height();
       ++r) {
    mvprintw(r + top, 0, "%*d", left(state) - 1, first.row + r);
  }
}

// In hole mode the current track's holes show their numbers; in color mode
// every cell shows its own index's pair (without colors, the index), a hole
// marked by its glyph.
void view::drawcells(const editor& state) {
  const document& doc = state.doc();
  const celltype first = state.view();
  const int rows = boardrows();
  const int columns = COLS - left(state);
  const bool holes = state.mode() == modetype::hole && state.track() >= 0;
  const bool painting = state.mode() == modetype::color;
  const auto numbers =
      holes ? holenumbers(doc, state.track(), first, rows, columns)
            : std::vector<std::int32_t>();
  eachcell(
      doc, first, rows, columns,
      [&](int r, int c, const boards::celllook& look,
          std::optional<boards::colorpair> colors) {
        const celltype cell{first.row + r, first.column + c};
        attr_t attributes = look.finish() ? A_BOLD : A_NORMAL;
        char glyph = colored_ ? look.picture : look.glyph;
        if (painting) {
          const bool hole = look.hole != boards::nohole;
          glyph = !colored_ ? indexglyph(doc.color(cell))
                  : hole    ? look.glyph
                            : look.picture;
          if (hole) attributes |= A_UNDERLINE;
          colors = std::nullopt;
          if (doc.color(cell) < doc.pairs().size()) {
            const auto& pair = doc.pairs()[doc.color(cell)];
            colors = boards::colorpair{pair[0], pair[1]};
          }
        }
        if (holes) {
          const std::int32_t number = numbers[std::size_t(r) * columns + c];
          if (number >= 0) {
            glyph = static_cast<char>('0' + number % 10);
            attributes |= A_BOLD | A_UNDERLINE;
          }
        }
        if (state.marked(cell)) attributes |= A_UNDERLINE;
        attr_set(attributes, colors ? cursespair(*colors) : short{0}, nullptr);
        mvaddch(r + top, c + left(state), static_cast<unsigned char>(glyph));
      });
}

// The curses pair of a board pair, made the first time it is asked for;
// the terminal's own colors once the terminal has no pairs left.
short view::cursespair(boards::colorpair pair) {
  if (!colored_) return 0;
  const short foreground = terminalcolor(pair[0], COLORS);
  const short background = terminalcolor(pair[1], COLORS);
  const int key = foreground * 256 + background;
  if (const auto found = cursespairs_.find(key); found != cursespairs_.end()) {
    return found->second;
  }
  if (nextpair_ >= std::min(COLOR_PAIRS, 32767)) return 0;
  init_pair(nextpair_, foreground, background);
  cursespairs_[key] = nextpair_;
  return nextpair_++;
}

// A long message goes over the board's last rows, the status line above
// it.
void view::drawfoot(const editor& state) {
  const int first = firstmessagerow(state);
  attr_set(A_REVERSE, 0, nullptr);
  mvaddnstr(first - 1, 0, statusline(state, COLS).c_str(), COLS);
  attr_set(A_NORMAL, 0, nullptr);
  if (!state.message().empty()) {
    const auto lines = messagelines(state);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      move(first + static_cast<int>(i), 0);
      clrtoeol();
      addstr(lines[i].c_str());
    }
  } else if (state.mode() == modetype::color) {
    drawswatches(state);
  } else {
    mvaddnstr(LINES - 1, 0, hints(state).c_str(), COLS);
  }
}

// The pair table: each index in its own colors, the chosen one marked.
void view::drawswatches(const editor& state) {
  move(LINES - 1, 0);
  const auto& pairs = state.doc().pairs();
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const bool chosen = i == state.colorindex();
    std::string label(1, chosen ? '[' : ' ');
    label += std::to_string(i);
    label += chosen ? ']' : ' ';
    if (getcurx(stdscr) + static_cast<int>(label.size()) >= COLS) break;
    attr_set(colored_ ? A_NORMAL : A_REVERSE, cursespair(pairs[i]), nullptr);
    addstr(label.c_str());
  }
  attr_set(A_NORMAL, 0, nullptr);
}

int view::drawhelp(int first) {
  erase();
  attr_set(A_NORMAL, 0, nullptr);
  const auto& lines = helplines();
  const int page = std::max(LINES - 1, 1);
  for (int y = 0; y < page && first + y < static_cast<int>(lines.size()); ++y) {
    mvaddnstr(y, 0, lines[first + y].c_str(), COLS);
  }
  const int last = std::min<int>(first + page, lines.size());
  const std::string foot = "lines " + std::to_string(first + 1) + "-" +
                           std::to_string(last) + " of " +
                           std::to_string(lines.size()) +
                           ": Up/Down, Page Up/Down scroll; Esc or q closes";
  attr_set(A_REVERSE, 0, nullptr);
  mvaddnstr(LINES - 1, 0, foot.c_str(), COLS);
  refresh();
  return page;
}

}  // namespace trackedit
