#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
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
      {{end, jumpleft}, {0, 4}},
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

// Every status line fits its width and keeps the mode, the position, the
// problem count and "modified"; hints and help fit 80 columns.
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
    EXPECT_LE(trackedit::hints(e).size(), 80u) << trackedit::hints(e);
  }
  for (const std::string& line : trackedit::helplines()) {
    EXPECT_LE(line.size(), 80u) << line;
  }
  EXPECT_EQ(
      std::string("09az++"),
      std::string({trackedit::indexglyph(0), trackedit::indexglyph(9),
                   trackedit::indexglyph(10), trackedit::indexglyph(35),
                   trackedit::indexglyph(36), trackedit::indexglyph(255)}));
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
  const auto found = trackedit::findrecoveries(board);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].path, made[2]);
  const std::string lost = dir / "missing/b.board";
  const auto kept = trackedit::writerecovery(lost, "four", 0400);
  EXPECT_EQ(kept.path,
            dir / "state/trackedit/" + trackedit::statename(lost) + ".recover");
  ASSERT_EQ(::stat((dir / "state/trackedit").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(trackedit::findrecoveries(lost).at(0).path, kept.path);
  EXPECT_EQ(readbytes(kept.path), (bytes{'f', 'o', 'u', 'r'}));
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
