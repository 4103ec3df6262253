#ifndef TRACKEDIT_MODEL_H_
#define TRACKEDIT_MODEL_H_

// The board being edited, with no screen in it: the picture, the colormap,
// the pairs, the tracks and the finish, changed only through edits that
// remember what they changed. Each edit is one step of undo; a step holds the
// cells and holes it touched and nothing else, so undo is unlimited and costs
// memory in proportion to the edits. While editing, tracks may differ in
// length; the board file wants them equal, so the board is made only when
// they are.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "board/boardtype.h"

namespace trackedit {

// A cell of the picture, row first like every coordinate in the system.
struct celltype {
  std::int32_t row = 0;
  std::int32_t column = 0;
  bool operator==(const celltype&) const = default;
};

using pairtype = std::array<unsigned char, 2>;  // foreground, background

struct tracktype {
  std::int32_t color = 0;  // a color index, the track's own pair
  std::vector<celltype> holes;
  bool operator==(const tracktype&) const = default;
};

// What a step of undo did and the cell it did it at (where there is one),
// so that undo and redo can say what they took back and show it.
struct steplabel {
  std::string what;
  std::optional<celltype> where;
};

// How a copy of a track is laid out from the original.
enum class copykind {
  mirrorcolumns,  // left and right swapped
  mirrorrows,     // top and bottom swapped
  rotate,         // turned half a circle around the picture's center
  shift,          // moved by an offset
};

class document {
 public:
  // A board of width x height blank cells, no tracks and one pair.
  document(std::int32_t width, std::int32_t height);
  // The board as loaded; every byte the file holds is kept.
  explicit document(const boardtype& board);

  std::int32_t width() const { return board_.width; }
  std::int32_t height() const { return board_.height; }
  bool inside(celltype cell) const;
  char character(celltype cell) const { return board_.picture[offset(cell)]; }
  unsigned char color(celltype cell) const {
    return board_.colormap[offset(cell)];
  }
  const std::vector<pairtype>& pairs() const { return board_.pairs; }
  const std::vector<tracktype>& tracks() const { return board_.tracks; }
  celltype finish() const { return board_.finish; }
  // The tracks that have a hole on the cell, once per hole, in no order.
  std::span<const std::int32_t> tracksat(celltype cell) const {
    return occupants_[offset(cell)];
  }
  // The last of the track's holes on the cell, if any.
  std::optional<std::int32_t> holeat(std::int32_t track, celltype cell) const;

  // Picture and colors. A rectangle is given by two opposite corners.
  void setcharacters(celltype from, celltype to, char character);
  void setcolors(celltype from, celltype to, unsigned char color);
  // Gives the region of the cell's color index, reached through edges, the
  // new index.
  void floodcolor(celltype start, unsigned char color);
  // Writes rows x columns cells, row by row, with their top left on first;
  // the cells that fall off the picture are left out. One step, named what.
  void setcells(celltype first, std::int32_t rows, std::int32_t columns,
                std::span<const char> characters,
                std::span<const unsigned char> colors, std::string what);

  // Pairs: added at the end, removed from the end so no index moves.
  void addpair(pairtype pair);
  void removelastpair();
  void setpair(std::int32_t index, pairtype pair);

  // Tracks and holes. Indices must be in range (insert may be at the end).
  void addtrack(std::int32_t color);
  void removetrack(std::int32_t track);
  void settrackcolor(std::int32_t track, std::int32_t color);
  void appendhole(std::int32_t track, celltype cell);
  // Appends the holes from the track's last hole up to the cell along a row,
  // a column or a diagonal; with ondrawn, only the cells drawn with the
  // character of the run's first cell (the one after the last hole). False,
  // and nothing changed, when the cell is on none of them or is the last
  // hole. An empty track gets the cell alone.
  bool appendrun(std::int32_t track, celltype to, bool ondrawn = false);
  void inserthole(std::int32_t track, std::int32_t index, celltype cell);
  void removehole(std::int32_t track, std::int32_t index);
  void movehole(std::int32_t track, std::int32_t index, celltype cell);
  // Adds a copy of the track as the last track, with the same color; shift
  // moves it by offset, the other kinds ignore offset. False, and nothing
  // changed, when a hole of the copy would fall outside the 0..255 that the
  // board file holds.
  bool copytrack(std::int32_t track, copykind kind, celltype offset = {});
  void setfinish(celltype cell);
  // The four header values, carried through the file uninterpreted.
  std::array<std::int32_t, 4> header() const { return board_.header; }
  void setheader(std::array<std::int32_t, 4> values);
  // Becomes the board (as loaded again from its file) in one step, which
  // undo takes back; counts as saved.
  void reload(const boardtype& board, std::string what);

  // The step taken back or done again; nothing when there was none.
  std::optional<steplabel> undo();
  std::optional<steplabel> redo();
  // Between these, the edits join into one step named what (a drag of the
  // mouse).
  void beginstroke(std::string what) {
    stroke_ = true;
    strokeopen_ = false;
    strokename_ = std::move(what);
  }
  void endstroke() { stroke_ = false; }
  // Whether the board differs from the one last saved (or loaded).
  bool modified() const;
  void marksaved();
  // Counts the board as unsaved until the next save, as one that came from
  // elsewhere than the file.
  void markunsaved() { savedid_ = UINT64_MAX; }
  // Changes whenever the board does, undo and redo included.
  std::uint64_t version() const { return version_; }

  // Empty when every track has the same number of holes, else a line that
  // names each track and its count: "track 0 has 12 holes, track 1 has 9".
  std::string lengthmismatch() const;
  // The board file's board; only when lengthmismatch() is empty.
  boardtype board() const;
  // The board with every track cut to the shortest one's length, for checks
  // while the lengths differ.
  boardtype shortenedboard() const;
  // The board's text, buildable even while the lengths differ: short tracks
  // are filled up with their last hole and a comment at the top says so.
  std::string recovertext() const;

 private:
  struct cellchange {
    std::size_t offset;
    char character[2];
    unsigned char color[2];
  };
  struct holechange {  // a hole inserted (or removed, undone)
    std::int32_t track, index;
    celltype cell;
    bool insert;
  };
  struct holemove {
    std::int32_t track, index;
    celltype cell[2];
  };
  struct trackchange {  // the step's track inserted (or removed, undone)
    std::int32_t index;
    bool insert;
  };
  struct trackcolorchange {
    std::int32_t track, color[2];
  };
  struct pairchange {  // a pair added at the end (or removed, undone)
    pairtype pair;
    bool insert;
  };
  struct pairset {
    std::int32_t index;
    pairtype pair[2];
  };
  struct finishchange {
    celltype cell[2];
  };
  struct headerchange {
    std::array<std::int32_t, 4> values[2];
  };
  struct reloadchange {};  // the step's boards, before and after
  using change = std::variant<cellchange, holechange, holemove, trackchange,
                              trackcolorchange, pairchange, pairset,
                              finishchange, headerchange, reloadchange>;
  // Everything a board holds: the document's own, and a reload's boards.
  struct contents {
    std::array<std::int32_t, 4> header{};  // carried through uninterpreted
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t holecount = 0;  // what the file said, kept while no tracks
    std::vector<char> picture;
    std::vector<unsigned char> colormap;
    // Each row's terminator slot, carried through the file unchanged.
    std::vector<char> pictureend;
    std::vector<unsigned char> colorend;
    std::vector<pairtype> pairs;
    std::vector<tracktype> tracks;
    celltype finish;
  };
  // The changes are small and trivially copied; a track that comes or goes
  // is kept once beside them, and so are the boards of a reload.
  struct step {
    std::vector<change> changes;
    tracktype track;
    std::uint64_t id;
    std::string what;
    std::vector<contents> boards;
  };

  std::size_t offset(celltype cell) const {
    return static_cast<std::size_t>(cell.row) * board_.width + cell.column;
  }
  void commit(std::string what, std::vector<change> changes,
              tracktype track = {}, std::vector<contents> boards = {});
  steplabel label(const step& s) const;
  void apply(const step& s, const change& c, bool forward);
  void apply(const cellchange& c, bool forward);
  void apply(const holechange& c, bool forward);
  void apply(const holemove& c, bool forward);
  void apply(const trackchange& c, const tracktype& track, bool forward);
  void apply(const trackcolorchange& c, bool forward);
  void apply(const pairchange& c, bool forward);
  void apply(const pairset& c, bool forward);
  void apply(const finishchange& c, bool forward);
  void apply(const headerchange& c, bool forward);
  void apply(const contents& board);
  void index(std::int32_t track, celltype cell, bool add);
  void reindex();
  boardtype makeboard(std::size_t holecount) const;

  contents board_;
  std::vector<std::vector<std::int32_t>> occupants_;  // per cell

  std::vector<step> done_;
  std::vector<step> undone_;
  std::uint64_t nextid_ = 1;
  std::uint64_t savedid_ = 0;  // the id of the top step when saved; 0: none
  std::uint64_t version_ = 0;
  bool stroke_ = false;
  bool strokeopen_ = false;  // the top step is the stroke's
  std::string strokename_;
};

}  // namespace trackedit

#endif  // TRACKEDIT_MODEL_H_
