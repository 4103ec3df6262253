#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <random>

#include "board/boardfile.h"
#include "tests/scratch.h"
#include "trackedit/commands.h"
#include "trackedit/keys.h"
#include "trackedit/recovery.h"
#include "trackedit/text.h"

using trackedit::celltype;
using trackedit::document;
using trackedit::editor;
using trackedit::keys::ctrl;

namespace {

// Answers the editor's questions from a script; an empty script cancels.
class script : public trackedit::prompter {
 public:
  std::deque<std::string> answers;
  std::vector<std::string> asked;
  std::optional<std::string> line(const std::string& question,
                                  const std::string& initial) override {
    asked.push_back(question + " " + initial);
    if (answers.empty()) return std::nullopt;
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<int> key(const std::string& question) override {
    const auto answer = line(question, "");
    if (!answer) return std::nullopt;
    return (*answer)[0];
  }
};

// A document whose picture is the given rows, each as wide as the first.
document drawn(const std::vector<std::string>& rows) {
  document doc(static_cast<std::int32_t>(rows[0].size()),
               static_cast<std::int32_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const celltype cell{std::int32_t(r), std::int32_t(c)};
      doc.setcharacters(cell, cell, rows[r][c]);
    }
  }
  doc.marksaved();
  return doc;
}

std::string row(const editor& e, std::int32_t r) {
  std::string text;
  for (std::int32_t c = 0; c < e.doc().width(); ++c) {
    text += e.doc().character({r, c});
  }
  return text;
}

void press(editor& e, std::initializer_list<int> keys) {
  for (const int key : keys) e.handle(key);
}

// Jumps stop at the first cell whose character differs, or at the edge;
// Enter returns under the column where typing began.
TEST(commands, MovesByJumpsGoToAndReturn) {
  using namespace trackedit::keys;
  struct {
    std::initializer_list<int> keys;
    celltype cursor;
  } cases[] = {
      {{jumpright}, {0, 3}},
      {{jumpright, jumpright}, {0, 4}},
      {{end, jumpleft}, {0, 5}},
      {{end, jumpleft, jumpleft}, {0, 4}},
      {{jumpdown}, {2, 0}},
      {{jumpdown, jumpdown, jumpdown}, {3, 0}},
      {{right, right, 'x', 'y', enter, 'z', enter}, {2, 2}},
      {{ctrl('g')}, {1, 5}},
  };
  for (const auto& c : cases) {
    script ask;
    ask.answers = {"1 5"};
    editor e(drawn({"aaa b  ", "aaaaaaa", "  ccc  ", "  ccc  "}), "x", ask);
    press(e, c.keys);
    EXPECT_EQ(e.cursor(), c.cursor) << trackedit::keys::name(*c.keys.begin());
  }
}

// A jump back returns to where a jump forward started from the start of a
// run, along rows and columns, over random pictures of few characters.
TEST(commands, JumpsBackUndoJumpsForward) {
  using namespace trackedit::keys;
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> rows(1 + random() % 6);
    const std::size_t width = 1 + random() % 12;
    for (auto& r : rows) {
      for (std::size_t c = 0; c < width; ++c) r += "ab."[random() % 3];
    }
    script ask;
    editor e(drawn(rows), "x", ask);
    const bool across = random() % 2;
    const int forward = across ? jumpright : jumpdown;
    const int back = across ? jumpleft : jumpup;
    press(e, {forward, back});  // to the start of the first run
    ASSERT_EQ(e.cursor(), (celltype{0, 0}));
    for (celltype from = e.cursor();; from = e.cursor()) {
      e.handle(forward);
      if (e.cursor() == from) break;  // at the edge
      const celltype to = e.cursor();
      e.handle(back);
      ASSERT_EQ(e.cursor(), from) << round;
      e.handle(forward);
      ASSERT_EQ(e.cursor(), to) << round;
    }
  }
}

// A screen shrunk scrolls to the cursor; grown back, it shows the whole
// board again, whatever size it passed through.
TEST(commands, AGrownScreenShowsTheBoardAgain) {
  script ask;
  editor e(document(30, 12), "x", ask);
  press(e, {trackedit::keys::jumpdown, trackedit::keys::end});
  for (const auto& [rows, columns] : {std::pair{1, 1}, {3, 80}, {24, 2}}) {
    e.setscreen(rows, columns);
    EXPECT_EQ(e.view(),
              (celltype{std::max(12 - rows, 0), std::max(30 - columns, 0)}));
    e.setscreen(20, 80);
    EXPECT_EQ(e.view(), (celltype{0, 0})) << rows << "x" << columns;
  }
}

TEST(commands, PlacesOfGoTo) {
  document doc(10, 10);
  doc.addtrack(0);
  doc.appendrun(0, {2, 3});
  doc.appendrun(0, {2, 6});
  doc.setfinish({9, 9});
  struct {
    const char* text;
    std::optional<celltype> place;
  } cases[] = {{"4 7", celltype{4, 7}},     {" t0 h2 ", celltype{2, 5}},
               {"t 0 h 3", celltype{2, 6}}, {"h1", celltype{2, 4}},
               {"f", celltype{9, 9}},       {"10 1", std::nullopt},
               {"t1 h0", std::nullopt},     {"t0 h4", std::nullopt},
               {"4", std::nullopt},         {"fx", std::nullopt}};
  for (const auto& c : cases) {
    std::string message;
    EXPECT_EQ(trackedit::placeof(doc, 0, c.text, message), c.place) << c.text;
    EXPECT_EQ(message.empty(), c.place.has_value()) << c.text << message;
  }
}

// Copies pasted elsewhere are the rectangle, flips twice are no flip, a
// left-right flip turns slants and brackets, and a paste or cut is one step.
TEST(commands, ClipboardRoundTrips) {
  std::mt19937 random(3);
  for (int round = 0; round < 50; ++round) {
    document doc(12, 9);
    for (std::int32_t r = 0; r < 9; ++r) {
      for (std::int32_t c = 0; c < 12; ++c) {
        doc.setcharacters({r, c}, {r, c}, "/(<[{ab "[random() % 8]);
        doc.setcolors({r, c}, {r, c}, random() % 4);
      }
    }
    script ask;
    editor e(std::move(doc), "x", ask);
    const celltype a{int(random() % 9), int(random() % 12)};
    const celltype b{int(random() % 9), int(random() % 12)};
    e.handle(ctrl('g'));  // no answer: stays
    ask.answers = {std::to_string(a.row) + " " + std::to_string(a.column),
                   std::to_string(b.row) + " " + std::to_string(b.column)};
    press(e, {ctrl('g'), ctrl('b'), ctrl('g'), ctrl('c')});
    const auto copied = e.clipboard();
    ASSERT_EQ(copied.rows, std::abs(a.row - b.row) + 1);
    auto twice = copied;
    trackedit::flipcolumns(twice);
    trackedit::flipcolumns(twice);
    trackedit::fliprows(twice);
    trackedit::fliprows(twice);
    EXPECT_EQ(twice, copied);
    press(e, {ctrl('f'), ctrl('v'), ctrl('f'), ctrl('v')});
    for (std::int32_t r = 0; r < copied.rows; ++r) {
      for (std::int32_t c = 0; c < copied.columns; ++c) {
        const celltype cell{e.cursor().row + r, e.cursor().column + c};
        if (!e.doc().inside(cell)) continue;
        EXPECT_EQ(e.doc().character(cell),
                  copied.characters[r * copied.columns + c]);
        EXPECT_EQ(e.doc().color(cell), copied.colors[r * copied.columns + c]);
      }
    }
  }
  trackedit::clipboardtype slants{1, 4, {'/', '(', 'a', '<'}, {1, 2, 3, 4}};
  trackedit::flipcolumns(slants);
  EXPECT_EQ(std::string(slants.characters.begin(), slants.characters.end()),
            ">a)\\");
  EXPECT_EQ(slants.colors, (std::vector<unsigned char>{4, 3, 2, 1}));
  trackedit::fliprows(slants);
  EXPECT_EQ(slants.characters[3], '/');
}

TEST(commands, CutIsOneStepAndCtrlXQuitsWithoutAMark) {
  script ask;
  editor e(drawn({"abcd", "efgh"}), "x", ask);
  press(e,
        {ctrl('b'), trackedit::keys::down, trackedit::keys::right, ctrl('x')});
  EXPECT_EQ(row(e, 0), "  cd");
  EXPECT_FALSE(e.quitting());
  press(e, {trackedit::keys::end, ctrl('v')});
  EXPECT_EQ(row(e, 1), "  ga");  // pasted off the edge: cut to the picture
  e.handle(ctrl('z'));
  EXPECT_EQ(e.message(), "undid: paste 2x2");
  e.handle(ctrl('z'));
  EXPECT_EQ(row(e, 0), "abcd");
  EXPECT_EQ(e.message(), "undid: cut 2x2");
  EXPECT_EQ(e.cursor(), (celltype{0, 0}));  // undo shows where
  ask.answers = {"n"};
  e.handle(ctrl('x'));
  EXPECT_TRUE(e.quitting());
}

// A click only moves the cursor; a drag does what Space does in the mode to
// every cell it passes, and one undo takes the whole drag back.
TEST(commands, MouseDragsAreOneStep) {
  const std::initializer_list<int> setups[] = {
      {}, {'\t', 'a'}, {'\t', '\t', 'n'}};
  for (const auto& setup : setups) {
    script ask;
    ask.answers = {"1 2"};  // the pair that color mode paints with
    editor e(drawn({"....", "...."}), "x", ask);
    press(e, {'#'});
    press(e, setup);
    const auto before = e.doc().tracks();
    e.press({1, 0});
    e.release();
    EXPECT_EQ(e.cursor(), (celltype{1, 0}));
    e.press({1, 0});
    e.dragto({1, 2});
    e.dragto({0, 3});  // off its row: the cells on the way too
    e.release();
    EXPECT_EQ(e.cursor(), (celltype{0, 3}));
    const std::size_t holes =
        e.doc().tracks().empty() ? 0 : e.doc().tracks()[0].holes.size();
    EXPECT_EQ(row(e, 1) == "###.", setup.size() == 0);
    EXPECT_EQ(e.doc().color({1, 2}) == 1, setup.size() == 2);
    EXPECT_EQ(holes == 4, setup.size() == 3);
    e.handle(ctrl('z'));
    EXPECT_EQ(e.message().rfind("undid: drag ", 0), 0u) << e.message();
    EXPECT_EQ(row(e, 1), "....");
    EXPECT_EQ(e.doc().color({1, 2}), 0);
    EXPECT_EQ(e.doc().tracks(), before);
  }
}

// Every key of the table is in the help, does something in each of its
// modes (never "does nothing"), and is at most one step of undo.
TEST(commands, EveryKeyOfTheTableActs) {
  scratchdir dir;
  const auto& help = trackedit::helplines();
  for (const trackedit::bindingtype& binding : trackedit::bindings()) {
    if (binding.names != nullptr) {
      EXPECT_TRUE(std::any_of(
          help.begin(), help.end(),
          [&](const std::string& line) {
            return line.rfind(std::string("  ") + binding.names + " ", 0) ==
                       0 ||
                   line == std::string("  ") + binding.names;
          }))
          << binding.names;
    }
    for (int mode = 0; mode < 3; ++mode) {
      if ((binding.modes & (1u << mode)) == 0) continue;
      for (const auto range : binding.keys) {
        for (const int key : {range.first, range.last}) {
          document doc = drawn({"a..b", "....", "cc.."});
          doc.addtrack(0);
          doc.appendrun(0, {1, 0});
          doc.appendrun(0, {1, 3});
          script ask;  // every question cancelled
          editor e(document(doc.board()), dir / "b.board", ask);  // no undo
          press(e, {trackedit::keys::right, ctrl('c')});
          for (int tab = 0; tab < mode; ++tab) e.handle('\t');
          const std::string before = e.doc().recovertext();
          e.handle(key);
          const std::string name = trackedit::keys::name(key);
          EXPECT_EQ(e.message().find("does nothing"), std::string::npos)
              << name << " in mode " << mode;
          if (e.doc().recovertext() == before) continue;
          e.handle(ctrl('z'));
          EXPECT_EQ(e.doc().recovertext(), before) << name << " " << mode;
        }
      }
    }
  }
}

// An edit after a drag is a step of its own.
TEST(commands, ADragEndsItsStep) {
  script ask;
  editor e(drawn({"....", "...."}), "x", ask);
  press(e, {'#', trackedit::keys::down});
  e.press({1, 0});
  e.dragto({1, 2});
  e.release();
  press(e, {'z', ctrl('z')});
  EXPECT_EQ(e.message(), "undid: write 'z'");
  EXPECT_EQ(row(e, 1), "###.");
}

// Ctrl-T turns the clipboard top-bottom, Ctrl-F left-right.
TEST(commands, FlipsGoTheWayTheirKeysSay) {
  script ask;
  editor e(drawn({"/a", "b("}), "x", ask);
  const auto clip = [&e] {
    const auto& chars = e.clipboard().characters;
    return std::string(chars.begin(), chars.end());
  };
  press(e, {ctrl('b'), trackedit::keys::down, trackedit::keys::right, ctrl('c'),
            ctrl('t')});
  EXPECT_EQ(clip(), "b(\\a");
  EXPECT_EQ(e.message(), "clipboard flipped top-bottom");
  press(e, {ctrl('t'), ctrl('f')});
  EXPECT_EQ(clip(), "a\\)b");
}

// What the editor says: unknown keys, characters a cell cannot hold, a
// track deleted only when confirmed, a track copy named on redo.
TEST(commands, SaysWhatHappens) {
  script ask;
  editor e(document(5, 5), "x", ask);
  struct {
    int key;
    const char* says;
  } cases[] = {{ctrl('w'), "Ctrl-W does nothing in picture mode; F1 lists"},
               {0xe9, "'\xc3\xa9' is not one byte"},
               {0x2500, "'\xe2\x94\x80' is not one byte"},
               {trackedit::keys::otherkey, "that key does nothing"}};
  for (const auto& c : cases) {
    e.handle(c.key);
    EXPECT_EQ(e.message().rfind(c.says, 0), 0u) << e.message();
  }
  press(e, {'\t', '\t', 'n', ' ', 'h'});
  ASSERT_EQ(e.doc().tracks().size(), 2u);
  ask.answers = {"n"};
  e.handle('D');
  EXPECT_EQ(e.doc().tracks().size(), 2u);
  ask.answers = {"y"};
  e.handle('D');
  EXPECT_EQ(e.doc().tracks().size(), 1u);
  EXPECT_NE(e.message().find("Ctrl-Z"), std::string::npos);
  press(e, {ctrl('z'), ctrl('y')});
  EXPECT_EQ(e.message(), "redid: delete track 1");
  e.handle('z');
  EXPECT_EQ(e.message(), "'z' does nothing in hole mode; F1 lists the keys");
}

// Save as writes the new name and edits it from then on; a name taken is
// replaced only when confirmed; a failed save points at Ctrl-O.
TEST(commands, SaveAsAndFileStates) {
  scratchdir dir;
  writebytes(dir / "file", {1});
  script ask;
  editor e(document(4, 3), dir / "file/x.board", ask);
  EXPECT_TRUE(e.readonly());
  EXPECT_TRUE(e.isnew());
  e.handle('q');
  e.handle(ctrl('s'));
  EXPECT_NE(e.message().find("Ctrl-O saves under another name"),
            std::string::npos);
  ask.answers = {dir / "file", "n", dir / "new.board"};
  e.handle(ctrl('o'));
  EXPECT_EQ(e.message(), "not saved");
  e.handle(ctrl('o'));
  EXPECT_EQ(e.path(), dir / "new.board");
  EXPECT_FALSE(e.doc().modified());
  EXPECT_FALSE(e.readonly() || e.isnew());
  EXPECT_EQ(ask.asked.back(), "save as: " + dir / "file/x.board");
  boardtype board;
  ASSERT_TRUE(boards::readboardfile((dir / "new.board").c_str(), board).ok());
  EXPECT_EQ(board.picture[0][0], 'q');
}

// A save over a file that another writer changed asks first: Esc keeps the
// other's board, r reloads it (undo brings the edits back), o overwrites;
// a file touched but holding the same board asks nothing.
TEST(commands, AChangeOnDiskIsNeverOverwrittenUnasked) {
  scratchdir dir;
  const std::string path = dir / "b.board";
  const auto write = [&](char first) {
    document other(drawn({"..", ".."}));
    other.setcharacters({0, 0}, {0, 0}, first);
    ASSERT_TRUE(boards::writeboardfile(path.c_str(), other.board()).ok());
  };
  const auto first = [&] { return readbytes(path).at(36); };
  write('.');
  script ask;
  editor e(drawn({"..", ".."}), path, ask);
  e.handle('X');
  write('Y');
  e.lookatdisk();
  EXPECT_EQ(e.message().rfind(path + " changed on disk since it was opened;"),
            0u);
  ask.answers = {"", "r"};
  press(e, {ctrl('s')});
  EXPECT_EQ(ask.asked.back(),
            path +
                " changed on disk since it was opened; overwrite it, reload "
                "it, or save elsewhere? o/r/s ");
  EXPECT_EQ(first(), 'Y');
  press(e, {ctrl('s')});
  EXPECT_EQ(row(e, 0), "Y.");
  EXPECT_FALSE(e.doc().modified());
  press(e, {ctrl('z'), ctrl('s')});
  EXPECT_EQ(first(), 'X');
  const auto asked = ask.asked.size();
  ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);  // touched
  press(e, {trackedit::keys::home, 'Z', ctrl('s')});
  EXPECT_EQ(first(), 'Z');
  write('W');
  ask.answers = {"o"};
  press(e, {trackedit::keys::home, 'V', ctrl('s')});
  EXPECT_EQ(first(), 'V');
  EXPECT_EQ(ask.asked.size(), asked + 1);
}

// Too small to show a cell, keys change nothing and say so; the quit key
// quits, but never saves.
TEST(commands, BlindKeysChangeNothing) {
  scratchdir dir;
  const std::string path = dir / "b.board";
  script ask;
  editor e(drawn({"..", ".."}), path, ask);
  for (const int key : {int('W'), ctrl('s'), ctrl('v'), ctrl('e'), int('\t'),
                        int(trackedit::keys::deletekey)}) {
    e.blindkey(key);
    EXPECT_NE(e.message().find("is ignored"), std::string::npos);
  }
  EXPECT_EQ(e.mode(), trackedit::modetype::picture);
  e.handle('W');
  ask.answers = {"y", "n"};
  e.blindkey(ctrl('q'));
  EXPECT_FALSE(e.quitting());
  e.blindkey(ctrl('q'));
  EXPECT_TRUE(e.quitting());
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Ctrl-E sets the header as one step; c N says what it set; x asks before
// it removes a pair in use.
TEST(commands, HeaderColorsAndPairsInUse) {
  script ask;
  editor e(drawn({"..", ".."}), "x", ask);
  ask.answers = {"1 -2 3 2147483647", "1 2 3"};
  press(e, {ctrl('e'), ctrl('e')});
  EXPECT_EQ(e.doc().header(),
            (std::array<std::int32_t, 4>{1, -2, 3, INT32_MAX}));
  EXPECT_EQ(e.message().rfind("the header wants four numbers", 0), 0u);
  EXPECT_EQ(ask.asked.back(), "header (four numbers): 1 -2 3 2147483647");
  ask.answers = {"1 2", "1", "1", "n", "y"};
  press(e, {'\t', 'a', 'c'});
  EXPECT_EQ(e.message(), "painting with color index 1");
  press(e, {'\t', 'n', 'c'});
  EXPECT_EQ(e.message(), "track 0 has color index 1");
  press(e, {'\t', '\t', ' ', 'x'});
  EXPECT_EQ(ask.asked.back(),
            "pair 1 is used by 1 cell and track 0; y removes it, any other "
            "key keeps it ");
  EXPECT_EQ(e.doc().pairs().size(), 2u);
  e.handle('x');
  EXPECT_EQ(e.doc().pairs().size(), 1u);
}

// Every status line fits its width and keeps the mode, the position, the
// problem count and "modified"; hints and help fit 60 columns.
TEST(commands, TextFits) {
  script ask;
  editor e(document(255, 255), "/a/very/long/folder/name/for/the/board.board",
           ask);
  press(e, {'\t', '\t', 'n', ' ', '\t', 'x', ctrl('b')});
  e.runchecks();
  for (int width = 40; width <= 140; ++width) {
    const std::string line = trackedit::statusline(e, width);
    ASSERT_EQ(line.size(), std::size_t(width));
    for (const char* part : {" PICTURE ", "(0, 1)", "problem", "modified"}) {
      EXPECT_NE(line.find(part), std::string::npos) << width << line;
    }
    EXPECT_TRUE(width < 80 || line.find("[read-only]") != line.npos) << line;
  }
  for (int mode = 0; mode < 3; ++mode, e.handle('\t')) {
    EXPECT_LE(trackedit::hints(e).size(), 60u) << trackedit::hints(e);
  }
  for (const std::string& line : trackedit::helplines()) {
    EXPECT_LE(line.size(), 60u) << line;
  }
  EXPECT_EQ(
      std::string("09az++"),
      std::string({trackedit::indexglyph(0), trackedit::indexglyph(9),
                   trackedit::indexglyph(10), trackedit::indexglyph(35),
                   trackedit::indexglyph(36), trackedit::indexglyph(255)}));
}

// Pointer reports mean the same in either form, and no prefix of one is
// taken for a whole sequence; other sequences are named, never pointers.
TEST(keys, SequencesAreReadWhole) {
  using trackedit::keys::pointer;
  const std::pair<int, pointer::kind> buttons[] = {{0, pointer::press},
                                                   {32, pointer::drag},
                                                   {3, pointer::release},
                                                   {64, pointer::wheelup},
                                                   {65, pointer::wheeldown}};
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    const auto [code, kind] = buttons[random() % 5];
    const int x = random() % 190, y = random() % 190;
    std::string old = "[M";
    for (const int value : {32 + code, 33 + x, 33 + y}) old += char(value);
    const bool up = code == 3;
    const std::string sgr = "[<" + std::to_string(up ? 0 : code) + ";" +
                            std::to_string(x + 1) + ";" +
                            std::to_string(y + 1) + (up ? "m" : "M");
    for (const std::string& report : {old, sgr}) {
      for (std::size_t n = 0; n < report.size(); ++n) {
        ASSERT_FALSE(trackedit::keys::escapedone(report.substr(0, n)));
      }
      ASSERT_TRUE(trackedit::keys::escapedone(report));
      ASSERT_EQ(trackedit::keys::pointerreport(report), (pointer{kind, y, x}))
          << report;
    }
  }
  EXPECT_FALSE(trackedit::keys::pointerreport("[<35;4;4M"));  // no button
  for (const char* other : {"[4~", "[1;5P", "OZ", "x", "[<1;2;3Z"}) {
    EXPECT_TRUE(trackedit::keys::escapedone(other)) << other;
    EXPECT_FALSE(trackedit::keys::pointerreport(other)) << other;
  }
  EXPECT_EQ(trackedit::keys::unknownsequence("[4~"), "unknown key ESC [ 4 ~");
  EXPECT_EQ(trackedit::keys::unknownsequence("\x7f"), "unknown key ESC 0x7f");
}

// Messages wrap into lines of the width, at a space where there is one,
// characters kept whole, and each byte is found where it was put; answers
// edit at their cursor.
TEST(text, MessagesWrapAndAnswersEdit) {
  std::mt19937 random(9);
  const auto characters = [](const std::string& text) {
    return std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    });
  };
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int n = random() % 40; n > 0; --n) {
      const char* pieces[] = {"a", "b", " ", "\xc3\xa9"};
      text += pieces[random() % 4];
    }
    const int width = 1 + random() % 12;
    const auto lines = trackedit::wrapped(text, width);
    std::size_t at = 0;  // the lines are the text, less a space per break
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_LE(characters(lines[i]), width);
      ASSERT_EQ(text.substr(at, lines[i].size()), lines[i]) << text;
      for (std::size_t b = 0; b < lines[i].size(); ++b) {
        if ((static_cast<unsigned char>(lines[i][b]) & 0xc0) == 0x80) continue;
        const auto place = trackedit::wrappedplace(text, width, at + b);
        ASSERT_EQ(place,
                  (std::pair<int, int>(i, characters(lines[i].substr(0, b)))));
      }
      at += lines[i].size();
      if (at < text.size() && text[at] == ' ') ++at;
    }
    ASSERT_EQ(at, text.size()) << text;
  }
  EXPECT_EQ(trackedit::wrapped("ab cd", 3),
            (std::vector<std::string>{"ab", "cd"}));
  using namespace trackedit::keys;
  trackedit::answerline answer{
      "a\xc3\xa9"
      "b.board",
      0};
  for (const int key : std::initializer_list<int>{
           end, left, 'X', home, deletekey, right, right, backspace, 'c'}) {
    answer.key(key);
  }
  EXPECT_EQ(answer.text,
            "\xc3\xa9"
            "c.boarXd");
  EXPECT_EQ(answer.at, 3u);
}

// A recovery never replaces one: each takes the next free name, a planted
// link included, and the newest is offered first; a folder that refuses it
// sends it to the state folder, named after the board's full path.
TEST(recovery, NeverOverwritesAndFallsBack) {
  scratchdir dir;
  ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
  ASSERT_EQ(::symlink((dir / "elsewhere").c_str(),
                      (dir / "b.board.recover.1").c_str()),
            0);
  const std::string board = dir / "b.board";
  std::vector<std::string> made;
  for (const char* text : {"one", "two", "three"}) {
    made.push_back(trackedit::writerecovery(board, text, 0644).path);
  }
  EXPECT_EQ(made,
            (std::vector<std::string>{board + ".recover", board + ".recover.2",
                                      board + ".recover.3"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
  struct stat status;
  ASSERT_EQ(::stat(made[0].c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  // Planted, newer: another user's file, and one that others may write.
  writebytes(board + ".recover.8", {'x'});
  writebytes(board + ".recover.9", {'y'});
  ::chmod((board + ".recover.9").c_str(), 0620);
  const bool root = ::geteuid() == 0 &&
                    ::chown((board + ".recover.8").c_str(), 12345, 12345) == 0;
  if (!root) ::chmod((board + ".recover.8").c_str(), 0602);
  const auto found = trackedit::findrecoveries(board);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].path, made[2]);
  std::string text;
  EXPECT_EQ(trackedit::readrecovery(board + ".recover.8", text),
            "not a file of your own that only you may write");
  EXPECT_EQ(trackedit::readrecovery(made[2], text), "");
  EXPECT_EQ(text, "three");
  const std::string lost = dir / "missing/b.board";
  const auto kept = trackedit::writerecovery(lost, "four", 0400);
  EXPECT_EQ(kept.path,
            dir / "state/trackedit/" + trackedit::statename(lost) + ".recover");
  ASSERT_EQ(::stat((dir / "state/trackedit").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(trackedit::findrecoveries(lost).at(0).path, kept.path);
  EXPECT_EQ(readbytes(kept.path), (bytes{'f', 'o', 'u', 'r'}));
  const std::string log = trackedit::logrecovery(lost, "the edits are lost");
  EXPECT_EQ(log, dir / "state/trackedit/recovery.log");
  const bytes line = readbytes(log);
  EXPECT_NE(std::string(line.begin(), line.end())
                .find(" " + lost + ": the edits are lost\n"),
            std::string::npos);
  EXPECT_EQ(trackedit::statename("/a%2F/b"), "%2Fa%252F%2Fb");
  EXPECT_LE(trackedit::statename(std::string(4000, 'x')).size(), 200u);
  ::unsetenv("XDG_STATE_HOME");
}

// On a full file system an earlier recovery stays whole and the new one
// goes to the state folder; so does one whose folder is read-only, which
// the editor shows from the start. Needs a tmpfs of its own.
TEST(recovery, FullAndReadOnlyFolders) {
  scratchdir dir;
  const std::string mounted = dir / "fs";
  std::filesystem::create_directory(mounted);
  if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  struct unmount {  // before the scratch folder goes, whatever fails
    std::string path;
    ~unmount() { ::umount(path.c_str()); }
  } unmounted{mounted};
  ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
  const std::string board = mounted + "/b.board";
  const std::string older(4000, 'o');
  ASSERT_EQ(trackedit::writerecovery(board, older, 0600).path,
            board + ".recover");
  std::FILE* filler = std::fopen((mounted + "/filler").c_str(), "wb");
  while (std::fputc('x', filler) != EOF && std::fflush(filler) == 0) {
  }
  std::fclose(filler);
  for (const unsigned long flags : {0ul, (MS_REMOUNT | MS_RDONLY) + 0ul}) {
    if (flags != 0) {
      ASSERT_EQ(::mount(nullptr, mounted.c_str(), nullptr, flags, nullptr), 0);
      script ask;
      EXPECT_TRUE(editor(document(3, 3), board, ask).readonly());
    }
    const auto kept =
        trackedit::writerecovery(board, std::string(20000, 'n'), 0600);
    EXPECT_EQ(kept.path.rfind(dir / "state/trackedit/", 0), 0u) << kept.path;
    EXPECT_EQ(readbytes(board + ".recover"), bytes(older.begin(), older.end()));
  }
  EXPECT_EQ(trackedit::findrecoveries(board).size(), 3u);
  ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
