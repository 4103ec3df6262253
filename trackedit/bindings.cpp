// The key table: every key of the editor, the modes it acts in, what it
// does and its line of help. The editor's dispatch and the F1 help are both
// made from it.

#include <algorithm>

#include "trackedit/commands.h"
#include "trackedit/keys.h"

namespace trackedit {
namespace {

using keys::ctrl;

constexpr unsigned anywhere = inpicture | incolor | inhole;

// One key, as a range of one.
keyrange only(int key) { return {key, key}; }

}  // namespace

const std::vector<bindingtype>& bindings() {
  using e = editor;
  static const std::vector<bindingtype> table = {
      // Anywhere.
      {{only(keys::up), only(keys::down), only(keys::left), only(keys::right),
        only(keys::pageup), only(keys::pagedown), only(keys::home),
        only(keys::end)},
       anywhere,
       "arrows, Page Up/Down, Home/End",
       "move the cursor",
       [](e& s, int key) { s.movecursor(key); }},
      {{{keys::jumpleft, keys::jumpdown}},
       anywhere,
       "Ctrl-arrows",
       "to the start of the next run of one character;\n"
       "back: of this run, or of the one before",
       [](e& s, int key) {
         const int way = key == keys::jumpleft || key == keys::jumpup ? -1 : 1;
         const bool across = key == keys::jumpleft || key == keys::jumpright;
         s.jump(across ? 0 : way, across ? way : 0);
       }},
      {{only(ctrl('g'))},
       anywhere,
       "Ctrl-G",
       "go to ROW COLUMN, tN hM (track N's hole M), f",
       [](e& s, int) { s.gotoplace(); }},
      {{only(keys::enter), only('\n')},
       anywhere,
       "Enter",
       "next row, under the column typing began at",
       [](e& s, int) { s.typewriterreturn(); }},
      {{only(keys::tab)},
       anywhere,
       "Tab",
       "next mode: picture, color, hole",
       [](e& s, int) { s.nextmode(1); }},
      {{only(keys::backtab)},
       anywhere,
       "Shift-Tab",
       "the mode before",
       [](e& s, int) { s.nextmode(2); }},
      {{only(ctrl('s'))},
       anywhere,
       "Ctrl-S",
       "save (when the file changed on disk, it asks:\n"
       "overwrite it, reload it or save elsewhere)",
       [](e& s, int) { s.save(); }},
      {{only(ctrl('o'))},
       anywhere,
       "Ctrl-O",
       "save as, then edit that file",
       [](e& s, int) { s.saveas(); }},
      {{only(ctrl('q'))},
       anywhere,
       "Ctrl-Q",
       "quit (asks about unsaved edits)",
       [](e& s, int) { s.askquit(); }},
      {{only(ctrl('z'))},
       anywhere,
       "Ctrl-Z",
       "undo (says what, and shows where)",
       [](e& s, int) { s.stepback(true); }},
      {{only(ctrl('y'))},
       anywhere,
       "Ctrl-Y",
       "redo",
       [](e& s, int) { s.stepback(false); }},
      {{only(ctrl('b'))},
       anywhere,
       "Ctrl-B",
       "set or clear the mark; the next edit fills the\n"
       "rectangle from the mark to the cursor",
       [](e& s, int) {
         s.mark_ = s.mark_ ? std::nullopt : std::optional<celltype>(s.cursor_);
       }},
      {{only(ctrl('c'))},
       anywhere,
       "Ctrl-C",
       "copy the mark's rectangle (or the cell)",
       [](e& s, int) { s.copy(false); }},
      {{only(ctrl('x'))},
       anywhere,
       "Ctrl-X",
       "cut the mark's rectangle (without a mark: quit)",
       [](e& s, int) { s.mark_ ? s.copy(true) : s.askquit(); }},
      {{only(ctrl('v'))},
       anywhere,
       "Ctrl-V",
       "paste the clipboard at the cursor",
       [](e& s, int) { s.paste(); }},
      {{only(ctrl('f'))},
       anywhere,
       "Ctrl-F",
       "flip the clipboard left-right",
       [](e& s, int) { s.flip(true); }},
      {{only(ctrl('t'))},
       anywhere,
       "Ctrl-T",
       "flip the clipboard top-bottom",
       [](e& s, int) { s.flip(false); }},
      {{only(ctrl('n'))},
       anywhere,
       "Ctrl-N",
       "go to the next problem and show it",
       [](e& s, int) { s.gotoproblem(); }},
      {{only(ctrl('e'))},
       anywhere,
       "Ctrl-E",
       "set the four header values",
       [](e& s, int) { s.editheader(); }},
      {{only(keys::escape)},
       anywhere,
       "Esc",
       "drop the mark and the message",
       [](e& s, int) {
         s.mark_.reset();
         s.moving_.reset();
       }},
      {{only(keys::help)}, anywhere, "F1", "this help", nullptr},

      // Picture mode.
      {{{' ', '~'}},
       inpicture,
       "characters",
       "write one and move right (a mark: fill it)",
       [](e& s, int key) { s.write(static_cast<char>(key)); }},
      {{only(keys::backspace), only(8)},
       inpicture,
       "Backspace",
       "clear the cell to the left",
       [](e& s, int) {
         if (s.cursor_.column == 0) return;
         --s.cursor_.column;
         s.doc_.setcharacters(s.cursor_, s.cursor_, ' ');
       }},
      {{only(keys::deletekey)},
       inpicture,
       "Delete",
       "clear this cell (a mark: the rectangle)",
       [](e& s, int) { s.doc_.setcharacters(s.takemark(), s.cursor_, ' '); }},
      {{{0x80, 0x10ffff}},
       inpicture,
       nullptr,
       nullptr,
       [](e& s, int key) {
         s.message_ = keys::name(key) +
                      " is not one byte: a cell holds one of the printable "
                      "ASCII characters";
       }},

      // Color mode.
      {{only('+'), only('='), only('-')},
       incolor,
       "+ -",
       "the next, the previous color index",
       [](e& s, int key) { s.stepcolor(key == '-' ? -1 : 1); }},
      {{only('c')},
       incolor,
       "c N",
       "choose the color index N",
       [](e& s, int) { s.choosecolor(); }},
      {{only('i')},
       incolor,
       "i",
       "take this cell's index",
       [](e& s, int) { s.colorindex_ = s.doc_.color(s.cursor_); }},
      {{only(' ')},
       incolor,
       "Space",
       "paint (with a mark: the rectangle)",
       [](e& s, int) {
         s.doc_.setcolors(s.takemark(), s.cursor_, s.colorindex_);
       }},
      {{only('f')},
       incolor,
       "f",
       "flood-fill the region of this cell's index",
       [](e& s, int) { s.doc_.floodcolor(s.cursor_, s.colorindex_); }},
      {{only('a')}, incolor, "a", "add a pair", [](e& s, int) { s.addpair(); }},
      {{only('e')},
       incolor,
       "e",
       "change the chosen index's pair",
       [](e& s, int) { s.changepair(); }},
      {{only('x')},
       incolor,
       "x",
       "remove the last pair (asks when it is in use)",
       [](e& s, int) { s.removepair(); }},

      // Hole mode.
      {{only(' '), only('a')},
       inhole,
       "Space a",
       "add this cell as the track's next hole",
       [](e& s, int) { s.doc_.appendhole(s.track_, s.cursor_); },
       true},
      {{only('r')},
       inhole,
       "r",
       "a run of holes to here along a row, a column or\n"
       "a diagonal, only on the cells drawn with the\n"
       "character of its first cell",
       [](e& s, int) { s.run(true); },
       true},
      {{only('R')},
       inhole,
       "R",
       "the same run on every cell it passes",
       [](e& s, int) { s.run(false); },
       true},
      {{only('x')},
       inhole,
       "x",
       "remove the hole here",
       [](e& s, int) {
         if (const auto here = s.doc_.holeat(s.track_, s.cursor_)) {
           s.doc_.removehole(s.track_, *here);
         }
       },
       true},
      {{only('m')},
       inhole,
       "m",
       "move the hole here (m again where it goes)",
       [](e& s, int) { s.movehole(); },
       true},
      {{only('i')},
       inhole,
       "i N",
       "insert this cell as hole N",
       [](e& s, int) { s.inserthole(); },
       true},
      {{only('g')},
       inhole,
       "g N",
       "go to hole N",
       [](e& s, int) { s.gotohole(); },
       true},
      {{only('f')},
       inhole,
       "f",
       "put the finish here",
       [](e& s, int) { s.doc_.setfinish(s.cursor_); }},
      {{only('['), only(']')},
       inhole,
       "[ ]",
       "the previous, the next track",
       [](e& s, int key) { s.steptrack(key == ']' ? 1 : -1); }},
      {{only('n')},
       inhole,
       "n",
       "a new track",
       [](e& s, int) {
         s.doc_.addtrack(s.colorindex_);
         s.track_ = static_cast<std::int32_t>(s.doc_.tracks().size()) - 1;
       }},
      {{only('D')},
       inhole,
       "D",
       "delete the track (asks)",
       [](e& s, int) { s.deletetrack(); },
       true},
      {{only('c')},
       inhole,
       "c N",
       "the track's color index",
       [](e& s, int) { s.colortrack(); },
       true},
      {{only('h')},
       inhole,
       "h",
       "copy the track mirrored left-right",
       [](e& s, int) { s.copytrack(copykind::mirrorcolumns, {}); },
       true},
      {{only('v')},
       inhole,
       "v",
       "copy the track mirrored top-bottom",
       [](e& s, int) { s.copytrack(copykind::mirrorrows, {}); },
       true},
      {{only('o')},
       inhole,
       "o",
       "copy the track turned around",
       [](e& s, int) { s.copytrack(copykind::rotate, {}); },
       true},
      {{only('s')},
       inhole,
       "s",
       "copy the track shifted, its first hole here",
       [](e& s, int) { s.shifttrack(); },
       true},
  };
  return table;
}

const bindingtype* bindingof(int key, modetype mode) {
  const unsigned in = 1u << static_cast<int>(mode);
  for (const bindingtype& binding : bindings()) {
    if ((binding.modes & in) == 0) continue;
    if (std::any_of(
            binding.keys.begin(), binding.keys.end(),
            [key](keyrange r) { return key >= r.first && key <= r.last; })) {
      return &binding;
    }
  }
  return nullptr;
}

}  // namespace trackedit
