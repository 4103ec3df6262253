#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "board/boardfile.h"
#include "board/boardtext.h"
#include "tests/sampleboard.h"
#include "trackedit/look.h"
#include "trackedit/model.h"

using trackedit::celltype;
using trackedit::copykind;
using trackedit::document;

namespace {

// Everything a document holds, for comparing two of them.
struct snapshot {
  std::vector<char> picture;
  std::vector<unsigned char> colors;
  std::vector<trackedit::pairtype> pairs;
  std::vector<trackedit::tracktype> tracks;
  celltype finish;
  bool operator==(const snapshot&) const = default;
};

snapshot take(const document& doc) {
  snapshot s{{}, {}, doc.pairs(), doc.tracks(), doc.finish()};
  for (std::int32_t r = 0; r < doc.height(); ++r) {
    for (std::int32_t c = 0; c < doc.width(); ++c) {
      s.picture.push_back(doc.character({r, c}));
      s.colors.push_back(doc.color({r, c}));
    }
  }
  return s;
}

// The cell-to-hole index agrees with a count made from the tracks.
void expectindexed(const document& doc) {
  std::vector<std::vector<std::int32_t>> owners(doc.width() * doc.height());
  for (std::size_t t = 0; t < doc.tracks().size(); ++t) {
    for (const celltype hole : doc.tracks()[t].holes) {
      if (doc.inside(hole)) {
        owners[hole.row * doc.width() + hole.column].push_back(t);
      }
    }
  }
  for (std::int32_t r = 0; r < doc.height(); ++r) {
    for (std::int32_t c = 0; c < doc.width(); ++c) {
      auto indexed = doc.tracksat({r, c});
      std::vector<std::int32_t> got(indexed.begin(), indexed.end());
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, owners[r * doc.width() + c]) << r << ", " << c;
    }
  }
}

// One random edit of any kind; cells may fall a little off the picture.
void randomedit(document& doc, std::mt19937& random) {
  auto pick = [&](std::int32_t n) {
    return std::uniform_int_distribution<std::int32_t>(0, n - 1)(random);
  };
  const auto cell = [&] {
    return celltype{pick(doc.height()), pick(doc.width())};
  };
  const auto tracks = static_cast<std::int32_t>(doc.tracks().size());
  const std::int32_t track = tracks ? pick(tracks) : -1;
  const auto holes =
      track >= 0 ? static_cast<std::int32_t>(doc.tracks()[track].holes.size())
                 : 0;
  switch (pick(17)) {
    case 0:
      doc.setcharacters(cell(), cell(), char(' ' + pick(95)));
      break;
    case 1:
      doc.setcolors(cell(), cell(), pick(4));
      break;
    case 2:
      doc.floodcolor(cell(), pick(4));
      break;
    case 3:
      doc.addpair({std::uint8_t(pick(256)), std::uint8_t(pick(256))});
      break;
    case 4:
      doc.removelastpair();
      break;
    case 5:
      if (!doc.pairs().empty()) doc.setpair(pick(doc.pairs().size()), {1, 2});
      break;
    case 6:
      doc.addtrack(pick(5));
      break;
    case 7:
      if (track >= 0) doc.removetrack(track);
      break;
    case 8:
      if (track >= 0) doc.settrackcolor(track, pick(9));
      break;
    case 9:
      if (track >= 0) doc.appendhole(track, cell());
      break;
    case 10:
      if (track >= 0) doc.appendrun(track, cell(), pick(2));
      break;
    case 11:
      if (track >= 0) doc.inserthole(track, pick(holes + 1), cell());
      break;
    case 12:
      if (holes) doc.removehole(track, pick(holes));
      break;
    case 13:
      if (holes) doc.movehole(track, pick(holes), cell());
      break;
    case 14:
      if (track >= 0) {
        doc.copytrack(track, copykind(pick(4)), {pick(5) - 2, pick(5) - 2});
      }
      break;
    case 15:
      doc.setfinish(cell());
      break;
    case 16:
      doc.setheader({pick(3), -pick(3), pick(3), INT32_MIN});
      break;
  }
}

// Random edit scripts: undoing all of a script gives back the loaded board's
// bytes, redoing all gives the board the script made, and the index of
// holes by cell follows every step.
TEST(TrackeditModel, UndoAndRedoRetraceRandomScripts) {
  for (std::uint32_t seed = 0; seed < 60; ++seed) {
    std::mt19937 random(seed);
    const auto original = sampleboard(6 + seed % 5, 9 + seed % 7, seed % 6,
                                      seed % 4, 1 + seed % 3);
    const auto bytes = boards::encodeboard(*original);
    document doc(*original);
    for (int i = 0; i < 40; ++i) randomedit(doc, random);
    expectindexed(doc);
    boardtype recovered;  // whatever the lengths, the text builds
    EXPECT_TRUE(boards::readboardtext(doc.recovertext(), recovered).empty());
    const snapshot made = take(doc);
    EXPECT_EQ(doc.modified(), doc.version() > 0) << seed;
    while (doc.undo()) {
    }
    EXPECT_FALSE(doc.modified());
    EXPECT_EQ(boards::encodeboard(doc.board()), bytes) << seed;
    expectindexed(doc);
    while (doc.redo()) {
    }
    EXPECT_EQ(take(doc), made) << seed;
    expectindexed(doc);
  }
}

// A reload becomes the board from the file, even of another size, as one
// step between the others: undo and redo cross it, and it counts as saved.
TEST(TrackeditModel, AReloadIsAStep) {
  for (std::uint32_t seed = 0; seed < 30; ++seed) {
    std::mt19937 random(seed);
    const auto original = sampleboard(5 + seed % 4, 7 + seed % 3, 3, 2, 2);
    const auto other = sampleboard(3 + seed % 6, 4 + seed % 9, 5, 3, 3);
    document doc(*original);
    for (int i = 0; i < 20; ++i) randomedit(doc, random);
    const snapshot before = take(doc);
    const std::uint64_t steps = doc.version();  // one per edit, so far
    doc.reload(*other, "reload");
    EXPECT_FALSE(doc.modified());
    EXPECT_EQ(boards::encodeboard(doc.board()), boards::encodeboard(*other));
    for (int i = 0; i < 20; ++i) randomedit(doc, random);
    const snapshot made = take(doc);
    while (doc.undo()) {
    }
    EXPECT_EQ(boards::encodeboard(doc.board()), boards::encodeboard(*original));
    expectindexed(doc);
    for (std::uint64_t i = 0; i < steps; ++i) ASSERT_TRUE(doc.redo());
    EXPECT_EQ(take(doc), before);
    EXPECT_EQ(doc.redo()->what, "reload");
    expectindexed(doc);
    while (doc.redo()) {
    }
    EXPECT_EQ(take(doc), made) << seed;
  }
}

TEST(TrackeditModel, RunsFollowRowsColumnsAndDiagonals) {
  document doc(20, 10);
  doc.addtrack(1);
  EXPECT_TRUE(doc.appendrun(0, {2, 3}));   // an empty track takes the cell
  EXPECT_TRUE(doc.appendrun(0, {2, 6}));   // right
  EXPECT_TRUE(doc.appendrun(0, {5, 3}));   // down and left
  EXPECT_FALSE(doc.appendrun(0, {6, 5}));  // neither straight nor diagonal
  EXPECT_FALSE(doc.appendrun(0, {5, 3}));  // the last hole itself
  const std::vector<celltype> want{{2, 3}, {2, 4}, {2, 5}, {2, 6},
                                   {3, 5}, {4, 4}, {5, 3}};
  EXPECT_EQ(doc.tracks()[0].holes, want);
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.tracks()[0].holes.size(), 4u);  // one run is one step
  // On the drawing: only the cells drawn as the run's first one.
  doc.setcharacters({7, 0}, {7, 9}, '.');
  doc.setcharacters({7, 3}, {7, 3}, '|');
  doc.setcharacters({7, 6}, {7, 7}, ' ');
  doc.addtrack(1);
  doc.appendhole(1, {7, 0});
  EXPECT_TRUE(doc.appendrun(1, {7, 9}, true));
  const std::vector<celltype> dots{{7, 0}, {7, 1}, {7, 2}, {7, 4},
                                   {7, 5}, {7, 8}, {7, 9}};
  EXPECT_EQ(doc.tracks()[1].holes, dots);
  EXPECT_EQ(doc.undo()->what, "run of 6 holes on '.' on track 1");
}

// Tracks of different lengths cannot be saved, are named with their counts,
// and still give a text that builds.
TEST(TrackeditModel, DifferentLengthsAreNamedAndRecoverable) {
  document doc(8, 4);
  doc.addtrack(0);
  doc.addtrack(0);
  doc.appendhole(0, {0, 0});
  doc.appendrun(0, {0, 3});
  doc.appendhole(1, {2, 2});
  EXPECT_EQ(doc.lengthmismatch(), "track 0 has 4 holes, track 1 has 1 hole");
  boardtype built;
  EXPECT_TRUE(boards::readboardtext(doc.recovertext(), built).empty());
  EXPECT_EQ(built.holecount, 4);
  EXPECT_EQ(built.tracks[1][3].y, 2);
  EXPECT_EQ(doc.shortenedboard().holecount, 1);
  doc.appendrun(1, {2, 5});  // (2, 2) to (2, 5)
  EXPECT_EQ(doc.lengthmismatch(), "");
  EXPECT_EQ(boards::writeboardtext(doc.board()), doc.recovertext());
}

// The cells the editor draws look as the library draws the whole board,
// wherever the screen stands: the hole on each cell comes from the model's
// index and the cells from a board of the screen's size.
TEST(TrackeditLook, CellsLookAsTheLibraryDrawsThem) {
  for (std::uint32_t seed = 0; seed < 20; ++seed) {
    auto board = sampleboard(7, 11, 1 + seed % 8, seed % 4, 1 + seed % 4);
    std::mt19937 random(seed);
    for (std::int32_t t = 0; t < board->trackcount; ++t) {
      for (std::int32_t i = 0; i < board->holecount; ++i) {
        // Crowded into a corner, so that holes share cells.
        board->tracks[t][i].set(random() % 5 - 1, random() % 6 - 1);
      }
    }
    board->finish.set(random() % 4, random() % 5);
    const boards::holemap holes(*board);
    const document doc(*board);
    const celltype first{int(random() % 4), int(random() % 5)};
    std::int32_t seen = 0;
    trackedit::eachcell(
        doc, first, 4, 6,
        [&](int r, int c, const boards::celllook& look,
            std::optional<boards::colorpair> colors) {
          const std::int32_t row = first.row + r, column = first.column + c;
          const std::int32_t hole = holes.at(row, column);
          const auto want = boards::lookofcell(*board, row, column, hole);
          EXPECT_EQ(look.glyph, want.glyph) << seed;
          EXPECT_EQ(look.pair, want.pair) << seed;
          EXPECT_EQ(colors, hole == boards::finishhole
                                ? boards::finishcolors(*board, want.pair)
                                : boards::paircolors(*board, want.pair));
          ++seen;
        });
    EXPECT_EQ(seen, std::max(0, std::min(4, 7 - first.row)) *
                        std::max(0, std::min(6, 11 - first.column)));
  }
}

// Mirrors undo themselves and a half turn is both mirrors; a copy is one
// step that undo takes back.
TEST(TrackeditModel, CopiesOfTracks) {
  const auto board = sampleboard(9, 14, 12, 1, 1);
  for (std::int32_t i = 0; i < 12; ++i) board->tracks[0][i].set(i % 9, i);
  document doc(*board);
  ASSERT_TRUE(doc.copytrack(0, copykind::mirrorcolumns));
  ASSERT_TRUE(doc.copytrack(1, copykind::mirrorcolumns));
  ASSERT_TRUE(doc.copytrack(0, copykind::rotate));
  ASSERT_TRUE(doc.copytrack(3, copykind::mirrorrows));
  ASSERT_TRUE(doc.copytrack(0, copykind::shift, {2, 3}));
  EXPECT_FALSE(doc.copytrack(0, copykind::shift, {-300, 0}));
  const auto& tracks = doc.tracks();
  EXPECT_EQ(tracks[2].holes, tracks[0].holes);
  EXPECT_EQ(tracks[4].holes, tracks[1].holes);
  EXPECT_EQ(tracks[5].holes[3].row, tracks[0].holes[3].row + 2);
  EXPECT_EQ(tracks[5].holes[3].column, tracks[0].holes[3].column + 3);
  ASSERT_TRUE(doc.undo());
  EXPECT_EQ(doc.tracks().size(), 5u);
}

// Modified means "differs from the saved steps", whichever way undo and
// redo went.
TEST(TrackeditModel, ModifiedFollowsTheSavedStep) {
  document doc(4, 3);
  doc.setcharacters({0, 0}, {0, 0}, 'a');
  doc.marksaved();
  EXPECT_FALSE(doc.modified());
  doc.undo();
  EXPECT_TRUE(doc.modified());
  doc.redo();
  EXPECT_FALSE(doc.modified());
  doc.setcharacters({0, 0}, {0, 0}, 'a');  // no change, no step
  EXPECT_FALSE(doc.modified());
  doc.markunsaved();
  EXPECT_TRUE(doc.modified());
}

}  // namespace
