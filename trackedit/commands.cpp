#include "trackedit/commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "board/boardcheck.h"
#include "board/boardfile.h"
#include "board/boardtext.h"
#include "tools/loadlimit.h"
#include "trackedit/keys.h"
#include "trackedit/recovery.h"

namespace trackedit {
namespace {

using keys::ctrl;

// Numbers in a line of text, or nothing when anything else is there.
std::optional<std::vector<long>> numbersin(const std::string& text) {
  std::istringstream in(text);
  std::vector<long> numbers;
  long number;
  while (in >> number) numbers.push_back(number);
  if (!in.eof()) return std::nullopt;
  return numbers;
}

std::string cellname(long row, long column) {
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string name = "(";
  name += std::to_string(row);
  name += ", ";
  name += std::to_string(column);
  name += ')';
  return name;
}

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

char mirrored(char c, bool columns) {
  static constexpr char leftright[][2] = {
      {'/', '\\'}, {'(', ')'}, {'<', '>'}, {'[', ']'}, {'{', '}'}};
  for (const auto& pair : leftright) {
    if (!columns && pair[0] != '/') break;
    if (c == pair[0]) return pair[1];
    if (c == pair[1]) return pair[0];
  }
  return c;
}

void flip(clipboardtype& clip, bool columns) {
  clipboardtype flipped = clip;
  for (std::int32_t r = 0; r < clip.rows; ++r) {
    for (std::int32_t c = 0; c < clip.columns; ++c) {
      const std::int32_t fr = columns ? r : clip.rows - 1 - r;
      const std::int32_t fc = columns ? clip.columns - 1 - c : c;
      const std::size_t to = std::size_t(r) * clip.columns + c;
      const std::size_t from = std::size_t(fr) * clip.columns + fc;
      flipped.characters[to] = mirrored(clip.characters[from], columns);
      flipped.colors[to] = clip.colors[from];
    }
  }
  clip = std::move(flipped);
}

}  // namespace

void flipcolumns(clipboardtype& clip) { flip(clip, true); }
void fliprows(clipboardtype& clip) { flip(clip, false); }

std::optional<celltype> placeof(const document& doc, std::int32_t track,
                                const std::string& text, std::string& message) {
  long tracknumber = track, hole = -1;
  // Whether the format reads the whole text, filling every value.
  const auto reads = [&text](const char* format, auto*... values) {
    int used = -1;
    const int filled = std::sscanf(text.c_str(), format, values..., &used);
    return filled == static_cast<int>(sizeof...(values)) &&
           used == static_cast<int>(text.size());
  };
  if (reads(" f %n")) return doc.finish();
  if (!reads(" t%ld h%ld %n", &tracknumber, &hole) &&
      !reads(" h%ld %n", &hole)) {
    const auto numbers = numbersin(text);
    if (!numbers || numbers->size() != 2) {
      message = "go to wants ROW COLUMN, tN hM (track N's hole M) or f";
      return std::nullopt;
    }
    const auto row = (*numbers)[0], column = (*numbers)[1];
    if (row >= 0 && row < doc.height() && column >= 0 && column < doc.width()) {
      return celltype{static_cast<std::int32_t>(row),
                      static_cast<std::int32_t>(column)};
    }
    message = cellname(row, column) + " is off the picture";
    return std::nullopt;
  }
  const auto tracks = static_cast<long>(doc.tracks().size());
  if (tracknumber < 0 || tracknumber >= tracks) {
    message = tracks == 0 ? std::string("there are no tracks")
                          : "tracks are 0 to " + std::to_string(tracks - 1);
    return std::nullopt;
  }
  const auto& holes = doc.tracks()[tracknumber].holes;
  if (hole < 0 || hole >= static_cast<long>(holes.size())) {
    message = "track " + std::to_string(tracknumber) + " has " +
              plural(holes.size(), "hole", "holes");
    return std::nullopt;
  }
  if (!doc.inside(holes[hole])) {
    message = "hole " + std::to_string(hole) + " is off the picture";
    return std::nullopt;
  }
  return holes[hole];
}

std::optional<fileidentity> identityof(const std::string& path) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return fileidentity{status.st_dev, status.st_ino, status.st_size,
                      status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

editor::editor(document doc, std::string path, prompter& ask)
    : doc_(std::move(doc)), ask_(ask) {
  setpath(std::move(path));
  track_ = doc_.tracks().empty() ? -1 : 0;
  // The board was loaded from the file just now (or there is none).
  identity_ = identityof(path_);
  if (identity_) ondisk_ = boards::encodeboard(doc_.board());
}

// After a load or save of board through path_.
void editor::noteondisk(const boardtype& board) {
  identity_ = identityof(path_);
  ondisk_ = boards::encodeboard(board);
  warned_.reset();
}

// Whether the file holds another board than the one last loaded or saved.
// A file removed holds nothing that a save could lose.
bool editor::changedondisk() {
  const auto now = identityof(path_);
  if (!now || now == identity_) return false;
  boardtype board;
  if (boards::readboardfile(path_.c_str(), board, loading_).ok() &&
      boards::encodeboard(board) == ondisk_) {
    identity_ = now;  // touched, or saved again the same
    return false;
  }
  return true;
}

void editor::lookatdisk() {
  if (!changedondisk() || warned_ == identityof(path_)) return;
  warned_ = identityof(path_);
  message_ = path_ +
             " changed on disk since it was opened; Ctrl-S asks whether to "
             "overwrite it, reload it or save elsewhere";
}

// Takes the board on disk as a step of its own, so that undo brings the
// edits back.
void editor::reload() {
  boardtype board;
  const auto identity = identityof(path_);
  const auto loaded = boards::readboardfile(path_.c_str(), board, loading_);
  if (!loaded.ok()) {
    message_ = "cannot reload " + path_ + ": " + tools::loadfault(loaded);
    return;
  }
  doc_.reload(board, "reload " + path_);
  identity_ = identity;
  ondisk_ = boards::encodeboard(board);
  warned_.reset();
  mark_.reset();
  typingfrom_.reset();
  keeptrack();
  cursor_.row = std::clamp(cursor_.row, 0, std::max(doc_.height() - 1, 0));
  cursor_.column = std::clamp(cursor_.column, 0, std::max(doc_.width() - 1, 0));
  message_ = "reloaded " + path_ + "; Ctrl-Z brings the edits back";
}

void editor::blindkey(int key) {
  release();
  message_.clear();
  const bool quits = key == ctrl('q') || (key == ctrl('x') && !mark_);
  if (!quits) {
    message_ = keys::name(key) + " is ignored: the terminal is too small";
    return;
  }
  if (!doc_.modified()) {
    quit_ = true;
    return;
  }
  // Nothing is saved blind: the board cannot be seen.
  const auto answer = ask_.key(
      "unsaved edits: n quits without saving them, any other key goes back");
  quit_ = answer == 'n' || answer == 'N';
}

void editor::setpath(std::string path) {
  path_ = std::move(path);
  struct stat status;
  new_ = ::stat(path_.c_str(), &status) != 0 &&
         (errno == ENOENT || errno == ENOTDIR);
  readonly_ = boards::cansave(path_.c_str()) != 0;
}

bool editor::marked(celltype cell) const {
  if (!mark_) return false;
  return cell.row >= std::min(mark_->row, cursor_.row) &&
         cell.row <= std::max(mark_->row, cursor_.row) &&
         cell.column >= std::min(mark_->column, cursor_.column) &&
         cell.column <= std::max(mark_->column, cursor_.column);
}

std::optional<std::size_t> editor::problemcount() const {
  if (checked_ != doc_.version()) return std::nullopt;
  return problems_.size();
}

void editor::setscreen(std::int32_t rows, std::int32_t columns) {
  screenrows_ = std::max(rows, 1);
  screencolumns_ = std::max(columns, 1);
  keepinview();
}

void editor::keepinview() {
  view_.row = std::clamp(view_.row, cursor_.row - screenrows_ + 1, cursor_.row);
  view_.column = std::clamp(view_.column, cursor_.column - screencolumns_ + 1,
                            cursor_.column);
  // A screen grown back shows every row and column it has room for.
  view_.row = std::min(view_.row, doc_.height() - screenrows_);
  view_.column = std::min(view_.column, doc_.width() - screencolumns_);
  view_.row = std::max(view_.row, 0);
  view_.column = std::max(view_.column, 0);
}

void editor::handle(int key) {
  release();
  message_.clear();
  const bool typing = mode_ == modetype::picture && key >= ' ' && key <= '~' &&
                      !mark_ && doc_.inside(cursor_);
  if (typing && !typingfrom_) typingfrom_ = cursor_.column;
  if (!typing && key != keys::enter && key != '\n') typingfrom_.reset();
  const bindingtype* binding = bindingof(key, mode_);
  // A mode's key needs a cell, which a board of no columns does not have.
  const bool modal =
      binding && binding->modes != (inpicture | incolor | inhole);
  if (!binding) {
    unknown(key);
  } else if (binding->needstrack && track_ < 0) {
    message_ = "no track: n adds one";
  } else if (binding->act && (!modal || doc_.inside(cursor_))) {
    binding->act(*this, key);
  }
  keepinview();
}

bool editor::movecursor(int key) {
  celltype to = cursor_;
  switch (key) {
    case keys::up:
      --to.row;
      break;
    case keys::down:
      ++to.row;
      break;
    case keys::left:
      --to.column;
      break;
    case keys::right:
      ++to.column;
      break;
    case keys::pageup:
      to.row -= screenrows_;
      break;
    case keys::pagedown:
      to.row += screenrows_;
      break;
    case keys::home:
      to.column = 0;
      break;
    case keys::end:
      to.column = doc_.width() - 1;
      break;
    default:
      return false;
  }
  cursor_.row = std::clamp(to.row, 0, std::max(doc_.height() - 1, 0));
  cursor_.column = std::clamp(to.column, 0, std::max(doc_.width() - 1, 0));
  return true;
}

// Word jumps over runs of one character: forward to the start of the next
// run (or the edge), back to the start of this run, or of the one before
// when already at a start; so a jump back undoes a jump forward.
void editor::jump(std::int32_t rows, std::int32_t columns) {
  if (!doc_.inside(cursor_)) return;
  const auto step = [&](celltype at) {
    return celltype{at.row + rows, at.column + columns};
  };
  celltype at = cursor_;
  if (rows + columns > 0) {
    const char from = doc_.character(at);
    while (doc_.inside(step(at))) {
      at = step(at);
      if (doc_.character(at) != from) break;
    }
  } else {
    // Whether the cell before this one (the way of the jump) is the same.
    const auto samebefore = [&](celltype cell) {
      return doc_.inside(step(cell)) &&
             doc_.character(step(cell)) == doc_.character(cell);
    };
    if (!samebefore(at) && doc_.inside(step(at))) at = step(at);
    while (samebefore(at)) at = step(at);
  }
  cursor_ = at;
}

// The next row, under the column where typing began (or this one).
void editor::typewriterreturn() {
  cursor_.row = std::min(cursor_.row + 1, std::max(doc_.height() - 1, 0));
  cursor_.column = typingfrom_.value_or(cursor_.column);
}

void editor::nextmode(int step) {
  mode_ = static_cast<modetype>((static_cast<int>(mode_) + step) % 3);
  moving_.reset();
}

void editor::unknown(int key) {
  static constexpr const char* names[] = {"picture", "color", "hole"};
  message_ = keys::name(key) + " does nothing in " +
             names[static_cast<int>(mode_)] + " mode; F1 lists the keys";
}

// The rectangle from the mark to the cursor, or the cursor's cell; the
// mark is used up.
celltype editor::takemark() {
  const celltype from = mark_.value_or(cursor_);
  mark_.reset();
  return from;
}

void editor::write(char character) {
  pen_ = character;
  const bool block = mark_.has_value();
  doc_.setcharacters(takemark(), cursor_, pen_);
  if (!block) movecursor(keys::right);
}

void editor::stepcolor(int step) {
  const auto pairs = static_cast<std::int32_t>(doc_.pairs().size());
  if (pairs > 0) colorindex_ = (colorindex_ + pairs + step) % pairs;
}

void editor::choosecolor() {
  if (const auto n = asknumber("color index (0 to 255):", 255)) {
    colorindex_ = static_cast<unsigned char>(*n);
    message_ = "painting with color index " + std::to_string(*n);
  }
}

void editor::addpair() {
  const auto pairs = doc_.pairs().size();
  if (const auto n = asknumbers("new pair: foreground background:", 2, 255)) {
    doc_.addpair({std::uint8_t((*n)[0]), std::uint8_t((*n)[1])});
    colorindex_ = static_cast<unsigned char>(pairs);
  }
}

void editor::changepair() {
  if (colorindex_ >= doc_.pairs().size()) {
    message_ = "index " + std::to_string(colorindex_) + " has no pair";
  } else if (const auto n = asknumbers("pair " + std::to_string(colorindex_) +
                                           ": foreground background:",
                                       2, 255)) {
    doc_.setpair(colorindex_, {std::uint8_t((*n)[0]), std::uint8_t((*n)[1])});
  }
}

// The last pair goes; when cells or tracks use it, only once confirmed.
void editor::removepair() {
  if (doc_.pairs().empty()) {
    message_ = "no pair to remove";
    return;
  }
  const auto last = static_cast<std::int32_t>(doc_.pairs().size()) - 1;
  const std::string users = pairusers(last);
  if (!users.empty()) {
    const auto answer =
        ask_.key("pair " + std::to_string(last) + " is used by " + users +
                 "; y removes it, any other key keeps it");
    if (answer != 'y' && answer != 'Y') {
      message_ = "pair " + std::to_string(last) + " kept";
      return;
    }
  }
  doc_.removelastpair();
  message_ = "pair " + std::to_string(last) + " removed; Ctrl-Z undoes it";
}

// "12 cells and track 1" for a pair index; empty when nothing uses it.
std::string editor::pairusers(std::int32_t index) const {
  std::size_t cells = 0;
  for (std::int32_t r = 0; r < doc_.height(); ++r) {
    for (std::int32_t c = 0; c < doc_.width(); ++c) {
      cells += doc_.color({r, c}) == index;
    }
  }
  std::string users = cells > 0 ? plural(cells, "cell", "cells") : "";
  for (std::size_t t = 0; t < doc_.tracks().size(); ++t) {
    if (doc_.tracks()[t].color != index) continue;
    users += (users.empty() ? "track " : " and track ") + std::to_string(t);
  }
  return users;
}

void editor::run(bool ondrawn) {
  if (!doc_.appendrun(track_, cursor_, ondrawn)) {
    message_ = "a run goes along a row, a column or a diagonal";
  }
}

void editor::movehole() {
  if (moving_) {
    doc_.movehole(track_, *moving_, cursor_);
    moving_.reset();
  } else if (const auto here = doc_.holeat(track_, cursor_)) {
    moving_ = here;
    message_ = "moving hole " + std::to_string(*here) +
               ": m again where it goes, Esc leaves it";
  }
}

void editor::inserthole() {
  const auto count = static_cast<long>(doc_.tracks()[track_].holes.size());
  if (const auto n = asknumber("insert this cell as hole:", count)) {
    doc_.inserthole(track_, static_cast<std::int32_t>(*n), cursor_);
  }
}

void editor::gotohole() {
  const auto count = static_cast<long>(doc_.tracks()[track_].holes.size());
  if (count == 0) return;
  if (const auto n = asknumber("go to hole:", count - 1)) {
    if (const auto to =
            placeof(doc_, track_, "h" + std::to_string(*n), message_)) {
      cursor_ = *to;
    }
  }
}

void editor::steptrack(int step) {
  const auto tracks = static_cast<std::int32_t>(doc_.tracks().size());
  if (tracks > 0) track_ = (track_ + tracks + step) % tracks;
  moving_.reset();
}

void editor::colortrack() {
  if (const auto n = asknumber("track color index:", 255)) {
    doc_.settrackcolor(track_, static_cast<std::int32_t>(*n));
    message_ = "track " + std::to_string(track_) + " has color index " +
               std::to_string(*n);
  }
}

void editor::shifttrack() {
  const auto& holes = doc_.tracks()[track_].holes;
  if (holes.empty()) return;
  copytrack(copykind::shift,
            {cursor_.row - holes[0].row, cursor_.column - holes[0].column});
}

void editor::deletetrack() {
  const auto holes = doc_.tracks()[track_].holes.size();
  const auto answer = ask_.key("delete track " + std::to_string(track_) + " (" +
                               plural(holes, "hole", "holes") +
                               ")? y deletes it (Ctrl-Z brings it back)");
  if (answer != 'y' && answer != 'Y') {
    message_ = "track " + std::to_string(track_) + " kept";
    return;
  }
  doc_.removetrack(track_);
  message_ = "track " + std::to_string(track_) + " deleted; Ctrl-Z undoes it";
  keeptrack();
}

void editor::copytrack(copykind kind, celltype offset) {
  if (!doc_.copytrack(track_, kind, offset)) {
    message_ = "no copy: a hole would leave rows and columns 0 to 255";
    return;
  }
  track_ = static_cast<std::int32_t>(doc_.tracks().size()) - 1;
  message_ = "track " + std::to_string(track_) + " made";
}

// After undo, redo or a removal the current track may be gone.
void editor::keeptrack() {
  const auto tracks = static_cast<std::int32_t>(doc_.tracks().size());
  track_ = tracks == 0 ? -1 : std::clamp(track_, 0, tracks - 1);
  moving_.reset();
}

void editor::stepback(bool undo) {
  const auto step = undo ? doc_.undo() : doc_.redo();
  keeptrack();
  if (!step) {
    message_ = undo ? "nothing to undo" : "nothing to redo";
    return;
  }
  message_ = (undo ? "undid: " : "redid: ") + step->what;
  if (step->where) cursor_ = *step->where;
}

void editor::copy(bool cut) {
  if (!doc_.inside(cursor_)) return;
  const celltype from = takemark();
  const celltype first{std::min(from.row, cursor_.row),
                       std::min(from.column, cursor_.column)};
  clipboardtype clip;
  clip.rows = std::abs(from.row - cursor_.row) + 1;
  clip.columns = std::abs(from.column - cursor_.column) + 1;
  for (std::int32_t r = 0; r < clip.rows; ++r) {
    for (std::int32_t c = 0; c < clip.columns; ++c) {
      const celltype cell{first.row + r, first.column + c};
      clip.characters.push_back(doc_.character(cell));
      clip.colors.push_back(doc_.color(cell));
    }
  }
  const std::string size =
      std::to_string(clip.columns) + "x" + std::to_string(clip.rows);
  clipboard_ = std::move(clip);
  if (!cut) {
    message_ = "copied " + size + "; Ctrl-V pastes";
    return;
  }
  const auto cells = clipboard_.characters.size();
  doc_.setcells(first, clipboard_.rows, clipboard_.columns,
                std::vector<char>(cells, ' '),
                std::vector<unsigned char>(cells, 0), "cut " + size);
  message_ = "cut " + size + "; Ctrl-V pastes";
}

void editor::paste() {
  if (clipboard_.rows == 0) {
    message_ = "nothing to paste: Ctrl-C copies the mark's rectangle";
    return;
  }
  if (!doc_.inside(cursor_)) return;
  doc_.setcells(cursor_, clipboard_.rows, clipboard_.columns,
                clipboard_.characters, clipboard_.colors,
                "paste " + std::to_string(clipboard_.columns) + "x" +
                    std::to_string(clipboard_.rows));
}

void editor::flip(bool columns) {
  if (clipboard_.rows == 0) {
    message_ = "nothing to flip: Ctrl-C copies the mark's rectangle";
    return;
  }
  columns ? flipcolumns(clipboard_) : fliprows(clipboard_);
  message_ =
      columns ? "clipboard flipped left-right" : "clipboard flipped top-bottom";
}

// The four header values, which the file carries and nothing reads.
void editor::editheader() {
  std::string now;
  for (const std::int32_t value : doc_.header()) {
    // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
    if (!now.empty()) now.append(" ");
    now.append(std::to_string(value));
  }
  const auto text = ask_.line("header (four numbers):", now);
  if (!text) return;
  const auto numbers = numbersin(*text);
  if (!numbers || numbers->size() != 4 ||
      std::any_of(numbers->begin(), numbers->end(),
                  [](long n) { return n < INT32_MIN || n > INT32_MAX; })) {
    message_ = "the header wants four numbers from " +
               std::to_string(INT32_MIN) + " to " + std::to_string(INT32_MAX);
    return;
  }
  std::array<std::int32_t, 4> values;
  std::copy(numbers->begin(), numbers->end(), values.begin());
  doc_.setheader(values);
  message_ = "header set";
  for (const std::int32_t value : values) {
    message_ += " " + std::to_string(value);
  }
}

void editor::gotoplace() {
  const auto text = ask_.line("go to (ROW COLUMN, tN hM, f):", "");
  if (!text) return;
  if (const auto to = placeof(doc_, track_, *text, message_)) cursor_ = *to;
}

void editor::runchecks() {
  problems_.clear();
  const std::string mismatch = doc_.lengthmismatch();
  if (!mismatch.empty()) {
    problems_.push_back({std::nullopt, "tracks differ in length: " + mismatch});
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

void editor::gotoproblem() {
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

bool editor::save() { return saveto(path_); }

bool editor::saveto(const std::string& path) {
  const std::string mismatch = doc_.lengthmismatch();
  if (!mismatch.empty()) {
    message_ = "not saved, tracks differ in length: " + mismatch;
    return false;
  }
  if (path == path_ && changedondisk()) {
    for (;;) {
      const auto answer = ask_.key(
          path_ +
          " changed on disk since it was opened; overwrite it, reload it, or "
          "save elsewhere? o/r/s");
      if (!answer || *answer == keys::escape) {
        message_ = "not saved";
        return false;
      }
      if (*answer == 'o' || *answer == 'O') break;
      if (*answer == 'r' || *answer == 'R') {
        reload();
        return false;
      }
      if (*answer == 's' || *answer == 'S') return saveas();
    }
  }
  // Synced, as editors save: once it says "saved", a power cut keeps it.
  boards::saveoptions options;
  options.sync = true;
  const auto saved =
      boards::writeboardfile(path.c_str(), doc_.board(), options);
  if (!saved.ok()) {
    message_ =
        "not saved (Ctrl-O saves under another name): " + saved.describe();
    return false;
  }
  doc_.marksaved();
  setpath(path);
  noteondisk(doc_.board());
  message_ = "saved " + path_;
  if (!fromrecovery_.empty() && std::remove(fromrecovery_.c_str()) == 0) {
    message_ += "; " + fromrecovery_ + " removed";
  }
  fromrecovery_.clear();
  runchecks();
  if (!problems_.empty()) {
    message_ += "; " + plural(problems_.size(), "problem", "problems") +
                " (Ctrl-N shows them)";
  }
  return true;
}

bool editor::saveas() {
  const auto name = ask_.line("save as:", path_);
  if (!name || name->empty()) {
    message_ = "not saved";
    return false;
  }
  struct stat status;
  if (*name != path_ && ::lstat(name->c_str(), &status) == 0) {
    const auto answer =
        ask_.key(*name + " exists: y replaces it, any other key goes back");
    if (answer != 'y' && answer != 'Y') {
      message_ = "not saved";
      return false;
    }
  }
  return saveto(*name);
}

void editor::askquit() {
  if (!doc_.modified()) {
    quit_ = true;
    return;
  }
  for (;;) {
    const auto key = ask_.key(
        "unsaved edits: y saves and quits, n quits without saving, Esc goes "
        "back");
    if (!key || *key == keys::escape) return;
    if (*key == 'y' || *key == 'Y') {
      quit_ = save();
      return;
    }
    if (*key == 'n' || *key == 'N') {
      quit_ = true;
      return;
    }
  }
}

std::optional<long> editor::asknumber(const std::string& question, long most) {
  const auto numbers = asknumbers(question, 1, most);
  if (!numbers) return std::nullopt;
  return (*numbers)[0];
}

// Asks for count numbers from 0 to most; nothing (and a message when the
// answer was wrong) when there are none.
std::optional<std::vector<long>> editor::asknumbers(const std::string& question,
                                                    std::size_t count,
                                                    long most) {
  const auto line = ask_.line(question, "");
  if (!line) return std::nullopt;
  const auto numbers = numbersin(*line);
  if (!numbers || numbers->size() != count ||
      std::any_of(numbers->begin(), numbers->end(),
                  [most](long n) { return n < 0 || n > most; })) {
    message_ = "wanted " + plural(count, "number", "numbers") + " from 0 to " +
               std::to_string(most);
    return std::nullopt;
  }
  return numbers;
}

void editor::press(celltype cell) {
  message_.clear();
  typingfrom_.reset();
  if (!doc_.inside(cell)) return;
  cursor_ = cell;
  dragging_ = cell;
  dragged_ = false;
  keepinview();
}

std::string editor::dragname() const {
  switch (mode_) {
    case modetype::picture:
      return "drag writing " + keys::name(static_cast<unsigned char>(pen_));
    case modetype::color:
      return "drag painting " + std::to_string(colorindex_);
    case modetype::hole:
      return "drag adding holes to track " + std::to_string(track_);
  }
  return "drag";
}

// What Space does in the mode, at the cursor; in picture mode, the pen.
void editor::spacekey() {
  switch (mode_) {
    case modetype::picture:
      doc_.setcharacters(cursor_, cursor_, pen_);
      return;
    case modetype::color:
      doc_.setcolors(cursor_, cursor_, colorindex_);
      return;
    case modetype::hole:
      if (track_ < 0) {
        message_ = "no track: n adds one";
      } else if (const auto& holes = doc_.tracks()[track_].holes;
                 holes.empty() || holes.back() != cursor_) {
        doc_.appendhole(track_, cursor_);
      }
      return;
  }
}

void editor::dragto(celltype cell) {
  if (!dragging_ || !doc_.inside(cell)) return;
  const celltype from = *dragging_;
  if (!dragged_ && cell == from) return;  // a click, not yet a drag
  if (!dragged_) {  // the cell pressed is the drag's first
    doc_.beginstroke(dragname());
    spacekey();
    dragged_ = true;
  }
  // Every cell on the way, so that a fast pointer leaves no gaps.
  const std::int32_t steps = std::max(std::abs(cell.row - from.row),
                                      std::abs(cell.column - from.column));
  for (std::int32_t i = 1; i <= steps; ++i) {
    cursor_ = {
        from.row + (steps ? (cell.row - from.row) * i / steps : 0),
        from.column + (steps ? (cell.column - from.column) * i / steps : 0)};
    spacekey();
  }
  dragging_ = cell;
  keepinview();
}

void editor::release() {
  dragging_.reset();
  doc_.endstroke();
}

void editor::scrollby(std::int32_t rows) {
  const std::int32_t last = std::max(doc_.height() - 1, 0);
  view_.row =
      std::clamp(view_.row + rows, 0, std::max(doc_.height() - screenrows_, 0));
  cursor_.row = std::clamp(cursor_.row + rows, 0, last);
  keepinview();
}

void editor::offerrecovery(const std::vector<recoveryoffer>& offers) {
  for (const recoveryoffer& offer : offers) {
    const auto key = ask_.key("open the unsaved edits in " + offer.path +
                              " (written " + offer.written + ")? y/n");
    if (!key) return;
    if (*key != 'y' && *key != 'Y') continue;
    std::string text;
    boardtype board;
    if (const std::string error = readrecovery(offer.path, text);
        !error.empty()) {
      message_ = "cannot read " + offer.path + ": " + error;
      return;
    }
    if (const auto problems = boards::readboardtext(text, board);
        !problems.empty()) {
      message_ = "cannot read " + offer.path + ": line " +
                 std::to_string(problems[0].line) + ": " + problems[0].message;
      return;
    }
    doc_ = document(board);
    doc_.markunsaved();
    fromrecovery_ = offer.path;
    keeptrack();
    message_ = "opened " + offer.path + "; Ctrl-S saves it as " + path_;
    return;
  }
}

}  // namespace trackedit
