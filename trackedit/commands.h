#ifndef TRACKEDIT_COMMANDS_H_
#define TRACKEDIT_COMMANDS_H_

// What the editor's keys and mouse do to the board, with no terminal: the
// cursor, the modes, the mark, the clipboard, the saves and the questions
// they ask. The terminal turns its keys into trackedit::keys and draws what
// the editor holds; tests drive it with keys and answer its questions from a
// script.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "trackedit/model.h"

namespace trackedit {

enum class modetype { picture, color, hole };

// Asks the user; each answer is nothing when the question was cancelled
// (Esc, Ctrl-C, or a signal that ends the session).
class prompter {
 public:
  virtual ~prompter() = default;
  // A line of text, starting out as initial.
  virtual std::optional<std::string> line(const std::string& question,
                                          const std::string& initial) = 0;
  // A single key.
  virtual std::optional<int> key(const std::string& question) = 0;
};

// A rectangle of the picture and its colors, row by row.
struct clipboardtype {
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  std::vector<char> characters;
  std::vector<unsigned char> colors;
  bool operator==(const clipboardtype&) const = default;
};

// The clipboard mirrored left-right, with the characters that point one way
// ('/', '(', '<', '[', '{') turned to point the other; and top-bottom, where
// '/' and '\' swap.
void flipcolumns(clipboardtype& clip);
void fliprows(clipboardtype& clip);

struct problemtype {
  std::optional<celltype> cell;
  std::string message;
};

// A place typed for Ctrl-G: "ROW COLUMN", "tN hM" (hole M of track N; "hM"
// alone, of the current track) or "f", the finish. Nothing, with the reason
// in message, when the text names no place of the board.
std::optional<celltype> placeof(const document& doc, std::int32_t track,
                                const std::string& text, std::string& message);

// What a file on disk was when last looked at: a change to any of these
// says the file may have changed.
struct fileidentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t seconds = 0;  // the last change of the contents
  std::int64_t nanoseconds = 0;
  bool operator==(const fileidentity&) const = default;
};

// The file's identity; nothing when there is no file there.
std::optional<fileidentity> identityof(const std::string& path);

class editor;

// The modes a key acts in, as bits.
enum : unsigned { inpicture = 1, incolor = 2, inhole = 4 };

struct keyrange {
  int first, last;
};

// A line of the key table: the keys, the modes they act in, their names and
// their line of help as F1 shows them (a '\n' starts another line), and
// what they do. A key that needs a cell does nothing off the picture (a
// board of no columns); one that needs a track says so when there is none.
struct bindingtype {
  std::vector<keyrange> keys;
  unsigned modes;
  const char* names;  // nothing for keys the help leaves out
  const char* help;
  void (*act)(editor& state, int key);  // nothing: the terminal's own
  bool needstrack = false;
};

// Every key, in the order of the help.
const std::vector<bindingtype>& bindings();

// What the key does in the mode; nothing when it does nothing there.
const bindingtype* bindingof(int key, modetype mode);

class editor {
 public:
  editor(document doc, std::string path, prompter& ask);

  const document& doc() const { return doc_; }
  const std::string& path() const { return path_; }
  modetype mode() const { return mode_; }
  celltype cursor() const { return cursor_; }
  celltype view() const { return view_; }  // the cell at the screen's top left
  const std::optional<celltype>& mark() const { return mark_; }
  bool marked(celltype cell) const;
  std::int32_t track() const { return track_; }
  unsigned char colorindex() const { return colorindex_; }
  const clipboardtype& clipboard() const { return clipboard_; }
  const std::string& message() const { return message_; }
  // Whether a save to the file would be refused, and whether it is yet to
  // be made.
  bool readonly() const { return readonly_; }
  bool isnew() const { return new_; }
  // The problems of the board as it is now; nothing while unchecked.
  std::optional<std::size_t> problemcount() const;
  bool quitting() const { return quit_; }

  // The limits of every load of the file after the first (--max-size).
  void limitloads(const boards::loadoptions& loading) { loading_ = loading; }

  // The cells the screen has for the board; the view follows the cursor.
  void setscreen(std::int32_t rows, std::int32_t columns);
  void say(std::string message) { message_ = std::move(message); }
  void handle(int key);
  // A key while the screen is too small to show a cell: only the quit key
  // acts (and does not save); any other key is refused with a message.
  void blindkey(int key);
  // Says so, once, when the file changed on disk since it was opened or
  // saved.
  void lookatdisk();
  // The mouse: a press moves the cursor; with the button held, each cell
  // the pointer passes gets what Space gives it in the mode (picture mode:
  // the pen), the whole drag one step of undo.
  void press(celltype cell);
  void dragto(celltype cell);
  void release();
  // The wheel: the view and the cursor move by rows.
  void scrollby(std::int32_t rows);
  void runchecks();
  // Offers each of the recovery files (newest first, with when each was
  // written) until one is opened or all are declined.
  struct recoveryoffer {
    std::string path;
    std::string written;
  };
  void offerrecovery(const std::vector<recoveryoffer>& offers);

 private:
  friend const std::vector<bindingtype>& bindings();

  bool movecursor(int key);
  void nextmode(int step);
  void write(char character);
  void stepcolor(int step);
  void choosecolor();
  void addpair();
  void changepair();
  void run(bool ondrawn);
  void movehole();
  void inserthole();
  void gotohole();
  void steptrack(int step);
  void colortrack();
  void shifttrack();
  void removepair();
  std::string pairusers(std::int32_t index) const;
  void unknown(int key);
  void jump(std::int32_t rows, std::int32_t columns);
  void typewriterreturn();
  void gotoplace();
  void copy(bool cut);
  void paste();
  void flip(bool columns);
  void stepback(bool undo);
  void copytrack(copykind kind, celltype offset);
  void deletetrack();
  void keeptrack();
  void gotoproblem();
  bool save();
  bool changedondisk();
  void noteondisk(const boardtype& board);
  void reload();
  void editheader();
  bool saveto(const std::string& path);
  bool saveas();
  void askquit();
  void keepinview();
  void spacekey();
  std::string dragname() const;
  void setpath(std::string path);
  std::optional<long> asknumber(const std::string& question, long most);
  std::optional<std::vector<long>> asknumbers(const std::string& question,
                                              std::size_t count, long most);
  celltype takemark();

  document doc_;
  std::string path_;
  prompter& ask_;
  bool readonly_ = false;
  bool new_ = false;
  modetype mode_ = modetype::picture;
  celltype cursor_;
  celltype view_;
  std::int32_t screenrows_ = 20;
  std::int32_t screencolumns_ = 76;
  std::optional<celltype> mark_;
  std::optional<std::int32_t> typingfrom_;  // the column typing began at
  std::optional<celltype> dragging_;        // the last cell of a drag
  bool dragged_ = false;  // whether the button moved since it was pressed
  std::int32_t track_ = -1;
  std::optional<std::int32_t> moving_;  // the hole being moved
  unsigned char colorindex_ = 0;
  char pen_ = ' ';  // the last character typed: what a drag writes
  clipboardtype clipboard_;
  std::string message_;
  std::vector<problemtype> problems_;
  std::uint64_t checked_ = UINT64_MAX;  // the version the problems are of
  std::size_t nextproblem_ = 0;
  bool quit_ = false;
  std::string fromrecovery_;  // the recovery opened, removed by a save
  // The file as last loaded or saved: its identity, and the board's bytes
  // as the file holds them, which a changed identity is checked against.
  std::optional<fileidentity> identity_;
  std::vector<unsigned char> ondisk_;
  boards::loadoptions loading_;
  std::optional<fileidentity> warned_;  // the change last told of
};

}  // namespace trackedit

#endif  // TRACKEDIT_COMMANDS_H_
