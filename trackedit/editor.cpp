#include "trackedit/editor.h"

#include <curses.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/boardlook.h"
#include "board/boardtext.h"
#include "trackedit/look.h"

namespace trackedit {
namespace {

constexpr int ctrl(char key) { return key & 0x1f; }
constexpr int escape = 27;
// How long a key is waited for before the loop looks at signals again.
constexpr int tick = 100;

enum class modetype { picture, color, hole };

const char* modename(modetype mode) {
  switch (mode) {
    case modetype::picture:
      return "PICTURE";
    case modetype::color:
      return "COLOR";
    case modetype::hole:
      return "HOLE";
  }
  return "";
}

const char* modehints(modetype mode) {
  switch (mode) {
    case modetype::picture:
      return "type to draw, ^B mark a rectangle, Tab mode, F1 help";
    case modetype::color:
      return "+/- or c index, Space paint, f fill, i pick, a/e/x pair";
    case modetype::hole:
      return "Space add, r run, x remove, m move, i insert, g go, f finish,"
             " [ ] n D c track, h v o s copy";
  }
  return "";
}

constexpr const char* helptext[] = {
    "trackedit: every key",
    "",
    "Anywhere",
    "  arrows, Page Up/Down, Home/End   move the cursor; a click moves it too",
    "  Tab        next mode: picture, color, hole",
    "  Ctrl-S     save            Ctrl-Q  quit (asks about unsaved edits)",
    "  Ctrl-Z     undo            Ctrl-Y  redo",
    "  Ctrl-B     set or clear the mark; the next edit fills the rectangle",
    "             from the mark to the cursor (a line on one row or column)",
    "  Ctrl-N     go to the next problem and show it",
    "  Esc        drop the mark and the message    F1  this help",
    "",
    "Picture mode",
    "  a character   write it and move right (with a mark: fill the rectangle)",
    "  Backspace     clear the cell to the left    Delete  clear this cell",
    "",
    "Color mode (a click paints)",
    "  + -  or c N   choose the color index        i  take this cell's index",
    "  Space         paint (with a mark: the rectangle)   f  flood-fill",
    "  a  add a pair   e  change this index's pair   x  remove the last pair",
    "",
    "Hole mode (a click adds a hole)",
    "  Space  add this cell as the track's next hole",
    "  r      add a run of holes to here along a row, column or diagonal",
    "  x      remove the hole here    m  move it (m again where it goes)",
    "  i N    insert this cell as hole N     g N  go to hole N",
    "  f      put the finish here",
    "  [ ]    previous, next track   n  new track   D  delete track",
    "  c N    the track's color index",
    "  h v o  copy the track mirrored left-right, top-bottom, turned around",
    "  s      copy the track shifted so that its first hole is here",
    "",
    "Press any key to go back.",
};

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

// Numbers in a line of text, or nothing when anything else is there.
std::optional<std::vector<long>> numbersin(const std::string& text) {
  std::istringstream in(text);
  std::vector<long> numbers;
  long number;
  while (in >> number) numbers.push_back(number);
  if (!in.eof()) return std::nullopt;
  return numbers;
}

std::string cellname(celltype cell) {
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string name = "(";
  name += std::to_string(cell.row);
  name += ", ";
  name += std::to_string(cell.column);
  name += ')';
  return name;
}

struct problemtype {
  std::optional<celltype> cell;
  std::string message;
};

class editor {
 public:
  editor(document& doc, const std::string& path,
         const volatile std::sig_atomic_t& stop)
      : doc_(doc), path_(path), stop_(stop), colored_(colorwanted()) {
    if (colored_) {
      start_color();
      use_default_colors();
    }
    track_ = doc_.tracks().empty() ? -1 : 0;
  }

  void run() {
    offerrecover();
    while (!quit_ && !stop_) {
      draw();
      // With checks to run, a key already waiting comes first and the
      // checks run as soon as none is.
      timeout(checked_ == doc_.version() ? tick : 0);
      const int key = getch();
      if (key == ERR) {
        if (checked_ != doc_.version()) runchecks();
        continue;
      }
      message_.clear();
      handle(key);
    }
  }

 private:
  // The screen: rulers at the top (labels and ticks) and left, status and
  // message at the foot.
  static constexpr int top = 2;
  int left() const {
    return std::max<int>(
        4, std::to_string(std::max(doc_.height() - 1, 0)).size() + 1);
  }
  int rows() const { return LINES - top - 2; }
  int columns() const { return COLS - left(); }
  bool fits() const { return rows() >= 1 && columns() >= 1; }
  bool oncell() const { return doc_.inside(cursor_); }

  void draw() {
    erase();
    if (!fits()) {
      attr_set(A_NORMAL, 0, nullptr);
      mvaddnstr(0, 0, "terminal too small", COLS);
      refresh();
      return;
    }
    scrollintoview();
    drawrulers();
    drawcells();
    drawstatus();
    drawmessage();
    move(cursor_.row - view_.row + top, cursor_.column - view_.column + left());
    refresh();
  }

  void scrollintoview() {
    view_.row = std::clamp(view_.row, cursor_.row - rows() + 1, cursor_.row);
    view_.column = std::clamp(view_.column, cursor_.column - columns() + 1,
                              cursor_.column);
    view_.row = std::max(view_.row, 0);
    view_.column = std::max(view_.column, 0);
  }

  void drawrulers() {
    attr_set(A_DIM, 0, nullptr);
    const int shown = std::clamp(doc_.width() - view_.column, 0, columns());
    mvaddstr(0, left(), boards::columnlabels(view_.column, shown).c_str());
    mvaddstr(1, left(), boards::columnticks(view_.column, shown).c_str());
    for (int r = 0; r < rows() && view_.row + r < doc_.height(); ++r) {
      mvprintw(r + top, 0, "%*d", left() - 1, view_.row + r);
    }
  }

  // The current track's hole numbers on the cells shown, in hole mode.
  std::vector<std::int32_t> shownnumbers() const {
    if (mode_ != modetype::hole || track_ < 0) {
      return std::vector<std::int32_t>(std::size_t(rows()) * columns(), -1);
    }
    return holenumbers(doc_, track_, view_, rows(), columns());
  }

  bool marked(celltype cell) const {
    if (!mark_) return false;
    return cell.row >= std::min(mark_->row, cursor_.row) &&
           cell.row <= std::max(mark_->row, cursor_.row) &&
           cell.column >= std::min(mark_->column, cursor_.column) &&
           cell.column <= std::max(mark_->column, cursor_.column);
  }

  void drawcells() {
    const auto numbers = shownnumbers();
    eachcell(doc_, view_, rows(), columns(),
             [&](int r, int c, const boards::celllook& look,
                 std::optional<boards::colorpair> colors) {
               attr_t attributes = look.finish() ? A_BOLD : A_NORMAL;
               char glyph = colored_ ? look.picture : look.glyph;
               const std::int32_t number =
                   numbers[std::size_t(r) * columns() + c];
               if (number >= 0) {
                 glyph = static_cast<char>('0' + number % 10);
                 attributes |= A_BOLD | A_UNDERLINE;
               }
               if (marked({view_.row + r, view_.column + c})) {
                 attributes |= A_UNDERLINE;
               }
               attr_set(attributes, colors ? cursespair(*colors) : short{0},
                        nullptr);
               mvaddch(r + top, c + left(), static_cast<unsigned char>(glyph));
             });
  }

  // The curses pair of a board pair, made the first time it is asked for;
  // the terminal's own colors once the terminal has no pairs left.
  short cursespair(boards::colorpair pair) {
    if (!colored_) return 0;
    const short foreground = terminalcolor(pair[0], COLORS);
    const short background = terminalcolor(pair[1], COLORS);
    const int key = foreground * 256 + background;
    if (const auto found = cursespairs_.find(key);
        found != cursespairs_.end()) {
      return found->second;
    }
    if (nextpair_ >= std::min(COLOR_PAIRS, 32767)) return 0;
    init_pair(nextpair_, foreground, background);
    cursespairs_[key] = nextpair_;
    return nextpair_++;
  }

  void drawstatus() {
    std::string status =
        std::string(" ") + modename(mode_) + "  " + cellname(cursor_);
    if (oncell()) {
      const char c = doc_.character(cursor_);
      status += c >= ' ' && c <= '~' ? std::string(" '") + c + "'" : " '?'";
      status += " color " + std::to_string(doc_.color(cursor_));
    }
    if (mode_ == modetype::color) {
      status += "  painting " + std::to_string(colorindex_);
    }
    if (track_ >= 0) {
      const auto holes = doc_.tracks()[track_].holes.size();
      status += "  track " + std::to_string(track_) + ": " +
                std::to_string(holes) + (holes == 1 ? " hole" : " holes");
      if (const auto hole = doc_.holeat(track_, cursor_)) {
        status += ", here " + std::to_string(*hole);
      }
    } else {
      status += "  no tracks";
    }
    if (mark_) status += "  mark " + cellname(*mark_);
    if (checked_ == doc_.version()) {
      status += "  " + std::to_string(problems_.size()) +
                (problems_.size() == 1 ? " problem" : " problems");
    }
    if (doc_.modified()) status += "  modified";
    status.resize(std::max(COLS, 0), ' ');
    attr_set(A_REVERSE, 0, nullptr);
    mvaddnstr(LINES - 2, 0, status.c_str(), COLS);
  }

  void drawmessage() {
    attr_set(A_NORMAL, 0, nullptr);
    if (!message_.empty()) {
      mvaddnstr(LINES - 1, 0, message_.c_str(), COLS);
    } else if (mode_ == modetype::color) {
      drawswatches();
    } else {
      mvaddnstr(LINES - 1, 0, modehints(mode_), COLS);
    }
  }

  // The pair table: each index in its own colors, the chosen one marked.
  void drawswatches() {
    move(LINES - 1, 0);
    for (std::size_t i = 0; i < doc_.pairs().size(); ++i) {
      // Appended piece by piece, as in cellname.
      std::string label(1, i == colorindex_ ? '[' : ' ');
      label += std::to_string(i);
      label += i == colorindex_ ? ']' : ' ';
      int y, x;
      getyx(stdscr, y, x);
      if (x + static_cast<int>(label.size()) >= COLS) break;
      attr_set(colored_ ? A_NORMAL : A_REVERSE, cursespair(doc_.pairs()[i]),
               nullptr);
      addstr(label.c_str());
      (void)y;
    }
    attr_set(A_NORMAL, 0, nullptr);
  }

  void runchecks() {
    problems_.clear();
    const std::string mismatch = doc_.lengthmismatch();
    if (!mismatch.empty()) {
      problems_.push_back(
          {std::nullopt, "tracks differ in length: " + mismatch});
    }
    const boardtype board =
        mismatch.empty() ? doc_.board() : doc_.shortenedboard();
    boards::checkboard(board, [this](const boards::boardproblem& problem) {
      std::optional<celltype> cell;
      if (problem.row >= 0 && problem.column >= 0) {
        cell = celltype{problem.row, problem.column};
      }
      problems_.push_back({cell, problem.message});
    });
    checked_ = doc_.version();
    nextproblem_ = 0;
  }

  void handle(int key) {
    if (key == KEY_RESIZE) return;
    if (key == KEY_MOUSE) return click();
    if (movecursor(key)) return;
    switch (key) {
      case ctrl('s'):
        save();
        return;
      case ctrl('q'):
        askquit();
        return;
      case ctrl('z'):
        if (!doc_.undo()) message_ = "nothing to undo";
        return keeptrack();
      case ctrl('y'):
        if (!doc_.redo()) message_ = "nothing to redo";
        return keeptrack();
      case ctrl('b'):
        mark_ = mark_ ? std::nullopt : std::optional<celltype>(cursor_);
        return;
      case ctrl('n'):
        return gotoproblem();
      case KEY_F(1):
        return help();
      case '\t':
        mode_ = mode_ == modetype::picture ? modetype::color
                : mode_ == modetype::color ? modetype::hole
                                           : modetype::picture;
        moving_.reset();
        return;
      case escape:
        mark_.reset();
        moving_.reset();
        return;
    }
    if (!oncell()) return;
    switch (mode_) {
      case modetype::picture:
        return picturekey(key);
      case modetype::color:
        return colorkey(key);
      case modetype::hole:
        return holekey(key);
    }
  }

  bool movecursor(int key) {
    celltype to = cursor_;
    switch (key) {
      case KEY_UP:
        --to.row;
        break;
      case KEY_DOWN:
        ++to.row;
        break;
      case KEY_LEFT:
        --to.column;
        break;
      case KEY_RIGHT:
        ++to.column;
        break;
      case KEY_PPAGE:
        to.row -= std::max(rows(), 1);
        break;
      case KEY_NPAGE:
        to.row += std::max(rows(), 1);
        break;
      case KEY_HOME:
        to.column = 0;
        break;
      case KEY_END:
        to.column = doc_.width() - 1;
        break;
      default:
        return false;
    }
    cursor_.row = std::clamp(to.row, 0, std::max(doc_.height() - 1, 0));
    cursor_.column = std::clamp(to.column, 0, std::max(doc_.width() - 1, 0));
    return true;
  }

  void click() {
    MEVENT event;
    if (getmouse(&event) != OK || !fits()) return;
    if (!(event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED))) return;
    const celltype cell{event.y - top + view_.row,
                        event.x - left() + view_.column};
    if (event.y < top || event.x < left() || !doc_.inside(cell)) return;
    cursor_ = cell;
    if (mode_ == modetype::color) colorkey(' ');
    if (mode_ == modetype::hole) holekey(' ');
  }

  // The rectangle from the mark to the cursor, or the cursor's cell; the
  // mark is used up.
  celltype takemark() {
    const celltype from = mark_.value_or(cursor_);
    mark_.reset();
    return from;
  }

  void picturekey(int key) {
    if (key >= ' ' && key <= '~') {
      const bool block = mark_.has_value();
      doc_.setcharacters(takemark(), cursor_, static_cast<char>(key));
      if (!block) movecursor(KEY_RIGHT);
    } else if (key == KEY_BACKSPACE || key == 127 || key == 8) {
      if (cursor_.column == 0) return;
      --cursor_.column;
      doc_.setcharacters(cursor_, cursor_, ' ');
    } else if (key == KEY_DC) {
      doc_.setcharacters(takemark(), cursor_, ' ');
    }
  }

  void colorkey(int key) {
    const auto pairs = static_cast<std::int32_t>(doc_.pairs().size());
    switch (key) {
      case '+':
      case '=':
        if (pairs > 0) colorindex_ = (colorindex_ + 1) % pairs;
        return;
      case '-':
        if (pairs > 0) colorindex_ = (colorindex_ + pairs - 1) % pairs;
        return;
      case 'c':
        if (const auto n = asknumbers("color index (0 to 255):", 1, 255)) {
          colorindex_ = static_cast<unsigned char>((*n)[0]);
        }
        return;
      case 'i':
        colorindex_ = doc_.color(cursor_);
        return;
      case ' ':
        doc_.setcolors(takemark(), cursor_, colorindex_);
        return;
      case 'f':
        doc_.floodcolor(cursor_, colorindex_);
        return;
      case 'a':
        if (const auto n =
                asknumbers("new pair: foreground background:", 2, 255)) {
          doc_.addpair({std::uint8_t((*n)[0]), std::uint8_t((*n)[1])});
          colorindex_ = static_cast<unsigned char>(pairs);
        }
        return;
      case 'e':
        if (colorindex_ >= pairs) {
          message_ = "index " + std::to_string(colorindex_) + " has no pair";
        } else if (const auto n =
                       asknumbers("pair " + std::to_string(colorindex_) +
                                      ": foreground background:",
                                  2, 255)) {
          doc_.setpair(colorindex_,
                       {std::uint8_t((*n)[0]), std::uint8_t((*n)[1])});
        }
        return;
      case 'x':
        doc_.removelastpair();
        return;
    }
  }

  void holekey(int key) {
    const auto tracks = static_cast<std::int32_t>(doc_.tracks().size());
    switch (key) {
      case 'n':
        doc_.addtrack(colorindex_);
        track_ = tracks;
        return;
      case 'f':
        doc_.setfinish(cursor_);
        return;
      case '[':
      case ']':
        if (tracks > 0)
          track_ = (track_ + (key == ']' ? 1 : tracks - 1)) % tracks;
        moving_.reset();
        return;
    }
    if (track_ < 0) {
      message_ = "no track: n adds one";
      return;
    }
    const auto& holes = doc_.tracks()[track_].holes;
    const auto count = static_cast<std::int32_t>(holes.size());
    const auto here = doc_.holeat(track_, cursor_);
    switch (key) {
      case ' ':
      case 'a':
        doc_.appendhole(track_, cursor_);
        return;
      case 'r':
        if (!doc_.appendrun(track_, cursor_)) {
          message_ = "a run goes along a row, a column or a diagonal";
        }
        return;
      case 'x':
        if (here) doc_.removehole(track_, *here);
        return;
      case 'm':
        if (moving_) {
          doc_.movehole(track_, *moving_, cursor_);
          moving_.reset();
        } else if (here) {
          moving_ = here;
          message_ = "moving hole " + std::to_string(*here) +
                     ": m again where it goes, Esc leaves it";
        }
        return;
      case 'i':
        if (const auto n = asknumbers("insert this cell as hole:", 1, count)) {
          doc_.inserthole(track_, static_cast<std::int32_t>((*n)[0]), cursor_);
        }
        return;
      case 'g':
        if (count == 0) return;
        if (const auto n = asknumbers("go to hole:", 1, count - 1)) {
          const celltype to = holes[(*n)[0]];
          if (doc_.inside(to)) {
            cursor_ = to;
          } else {
            message_ =
                "hole " + std::to_string((*n)[0]) + " is off the picture";
          }
        }
        return;
      case 'D':
        doc_.removetrack(track_);
        keeptrack();
        return;
      case 'c':
        if (const auto n = asknumbers("track color index:", 1, 255)) {
          doc_.settrackcolor(track_, static_cast<std::int32_t>((*n)[0]));
        }
        return;
      case 'h':
        return copy(copykind::mirrorcolumns, {});
      case 'v':
        return copy(copykind::mirrorrows, {});
      case 'o':
        return copy(copykind::rotate, {});
      case 's':
        if (count > 0) {
          copy(copykind::shift,
               {cursor_.row - holes[0].row, cursor_.column - holes[0].column});
        }
        return;
    }
  }

  void copy(copykind kind, celltype offset) {
    if (!doc_.copytrack(track_, kind, offset)) {
      message_ = "no copy: a hole would leave rows and columns 0 to 255";
      return;
    }
    track_ = static_cast<std::int32_t>(doc_.tracks().size()) - 1;
    message_ = "track " + std::to_string(track_) + " made";
  }

  // After undo, redo or a removal the current track may be gone.
  void keeptrack() {
    const auto tracks = static_cast<std::int32_t>(doc_.tracks().size());
    track_ = tracks == 0 ? -1 : std::clamp(track_, 0, tracks - 1);
    moving_.reset();
  }

  void gotoproblem() {
    if (checked_ != doc_.version()) runchecks();
    if (problems_.empty()) {
      message_ = "no problems";
      return;
    }
    const problemtype& problem = problems_[nextproblem_ % problems_.size()];
    message_ = std::to_string(nextproblem_ % problems_.size() + 1) + "/" +
               std::to_string(problems_.size()) + ": " + problem.message;
    if (problem.cell && doc_.inside(*problem.cell)) cursor_ = *problem.cell;
    ++nextproblem_;
  }

  bool save() {
    const std::string mismatch = doc_.lengthmismatch();
    if (!mismatch.empty()) {
      message_ = "not saved, tracks differ in length: " + mismatch;
      return false;
    }
    // Synced, as editors save: once it says "saved", a power cut keeps it.
    boards::saveoptions options;
    options.sync = true;
    const auto saved =
        boards::writeboardfile(path_.c_str(), doc_.board(), options);
    if (!saved.ok()) {
      message_ = "not saved: " + saved.describe();
      return false;
    }
    doc_.marksaved();
    message_ = "saved " + path_;
    if (fromrecovery_ && std::remove(recoverypath().c_str()) == 0) {
      message_ += "; " + recoverypath() + " removed";
    }
    fromrecovery_ = false;
    return true;
  }

  void askquit() {
    if (!doc_.modified()) {
      quit_ = true;
      return;
    }
    for (;;) {
      const int key =
          ask("unsaved edits: y saves and quits, n quits without "
              "saving, Esc goes back");
      if (key == 'y' || key == 'Y') {
        quit_ = save();
        return;
      }
      if (key == 'n' || key == 'N') {
        quit_ = true;
        return;
      }
      if (key == escape || key == ERR) return;
    }
  }

  // Shows the question and waits for a key; ERR when a signal came first.
  int ask(const std::string& question) {
    message_ = question;
    draw();
    timeout(tick);
    for (;;) {
      if (stop_) return ERR;
      const int key = getch();
      if (key == KEY_RESIZE) draw();
      if (key != ERR && key != KEY_RESIZE) {
        message_.clear();
        return key;
      }
    }
  }

  // Reads a line on the message line; nothing when left with Esc or cut
  // short by a signal.
  std::optional<std::string> askline(const std::string& question) {
    std::string answer;
    for (;;) {
      const int key = ask(question + " " + answer);
      if (key == '\n' || key == '\r' || key == KEY_ENTER) return answer;
      if (key == escape || key == ERR) return std::nullopt;
      if (key == KEY_BACKSPACE || key == 127 || key == 8) {
        if (!answer.empty()) answer.pop_back();
      } else if (key >= ' ' && key <= '~') {
        answer += static_cast<char>(key);
      }
    }
  }

  // Asks for count numbers from 0 to most; nothing (and a message when the
  // answer was wrong) when there are none.
  std::optional<std::vector<long>> asknumbers(const std::string& question,
                                              std::size_t count, long most) {
    const auto line = askline(question);
    if (!line) return std::nullopt;
    const auto numbers = numbersin(*line);
    if (!numbers || numbers->size() != count ||
        std::any_of(numbers->begin(), numbers->end(),
                    [most](long n) { return n < 0 || n > most; })) {
      message_ = "wanted " + std::to_string(count) +
                 (count == 1 ? " number" : " numbers") + " from 0 to " +
                 std::to_string(most);
      return std::nullopt;
    }
    return numbers;
  }

  void help() {
    erase();
    attr_set(A_NORMAL, 0, nullptr);
    int line = 0;
    for (const char* text : helptext) {
      if (line >= LINES) break;
      mvaddnstr(line++, 0, text, COLS);
    }
    refresh();
    timeout(tick);
    while (!stop_ && getch() == ERR) {
    }
  }

  std::string recoverypath() const { return path_ + ".recover"; }

  // A recovery file left by a session that ended with unsaved edits.
  void offerrecover() {
    const std::string recovery = recoverypath();
    if (::access(recovery.c_str(), F_OK) != 0) return;
    const int key = ask(recovery +
                        " exists (unsaved edits of an earlier "
                        "session). Open it? y/n");
    if (key != 'y' && key != 'Y') return;
    std::ifstream in(recovery, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)),
                           std::istreambuf_iterator<char>());
    boardtype board;
    const auto problems = boards::readboardtext(text, board);
    if (!in || !problems.empty()) {
      message_ =
          "cannot read " + recovery +
          (problems.empty() ? std::string()
                            : ": line " + std::to_string(problems[0].line) +
                                  ": " + problems[0].message);
      return;
    }
    doc_ = document(board);
    doc_.markunsaved();
    fromrecovery_ = true;
    keeptrack();
    message_ = "opened " + recovery + "; Ctrl-S saves it as " + path_;
  }

  document& doc_;
  const std::string path_;
  const volatile std::sig_atomic_t& stop_;
  const bool colored_;
  modetype mode_ = modetype::picture;
  celltype cursor_;
  celltype view_;  // the board's cell at the screen's top left
  std::optional<celltype> mark_;
  std::int32_t track_ = -1;
  std::optional<std::int32_t> moving_;  // the hole being moved
  unsigned char colorindex_ = 0;
  std::string message_;
  std::vector<problemtype> problems_;
  std::uint64_t checked_ = UINT64_MAX;  // the version the problems are of
  std::size_t nextproblem_ = 0;
  bool quit_ = false;
  bool fromrecovery_ = false;
  std::map<int, short> cursespairs_;
  short nextpair_ = 1;
};

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
  mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
  mouseinterval(0);
}

session::~session() {
  curs_set(1);
  endwin();
  delscreen(screen_);
}

void edit(document& doc, const std::string& path,
          const volatile std::sig_atomic_t& stop) {
  editor(doc, path, stop).run();
}

}  // namespace trackedit
