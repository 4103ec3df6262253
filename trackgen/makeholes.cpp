#include "board/boardtype.h"
#include "trackgen/threeplayer.h"

namespace {

struct cell {
  std::int32_t row, column;
};

// The rows of each track's three straights.
struct straights {
  std::int32_t outbound, back, home;
};
constexpr straights trackrows[threeplayer::trackcount] = {
    {0, 10, 4}, {2, 8, 6}, {1, 9, 5}};

// Holes 40 to 49 of each track: round the far (right-hand) turn.
constexpr cell farturn[threeplayer::trackcount][10] = {
    {{0, 48},
     {0, 50},
     {0, 52},
     {2, 54},
     {4, 54},
     {6, 54},
     {8, 54},
     {10, 52},
     {10, 50},
     {10, 48}},
    {{2, 48},
     {2, 49},
     {2, 50},
     {3, 50},
     {4, 51},
     {6, 51},
     {7, 50},
     {8, 50},
     {8, 49},
     {8, 48}},
    {{1, 48},
     {1, 50},
     {1, 51},
     {2, 52},
     {4, 53},
     {6, 53},
     {8, 52},
     {9, 51},
     {9, 50},
     {9, 48}},
};

// Holes 85 to 89 of each track: round the near (left-hand) turn.
constexpr cell nearturn[threeplayer::trackcount][5] = {
    {{10, 4}, {10, 1}, {7, 0}, {4, 1}, {4, 4}},
    {{8, 4}, {8, 3}, {7, 3}, {6, 3}, {6, 4}},
    {{9, 4}, {9, 2}, {7, 1}, {5, 2}, {5, 4}},
};

constexpr cell finishcell = {5, 44};

// Column offset of the j-th hole of a straight: groups of five holes with
// one separator column after each group.
constexpr std::int32_t grouped(std::int32_t j) { return j + j / 5; }

}  // namespace

void boardtype::makeholes() {
  for (std::int32_t t = 0; t < threeplayer::trackcount; ++t) {
    holetype* hole = tracks[t].get();
    const straights& rows = trackrows[t];
    for (std::int32_t i = 0; i < 40; ++i) {
      hole[i].set(rows.outbound, grouped(i));
    }
    for (std::int32_t i = 40; i < 50; ++i) {
      hole[i].set(farturn[t][i - 40].row, farturn[t][i - 40].column);
    }
    for (std::int32_t i = 50; i < 85; ++i) {
      hole[i].set(rows.back, 46 - grouped(i - 50));
    }
    for (std::int32_t i = 85; i < 90; ++i) {
      hole[i].set(nearturn[t][i - 85].row, nearturn[t][i - 85].column);
    }
    for (std::int32_t i = 90; i < 120; ++i) {
      hole[i].set(rows.home, 6 + grouped(i - 90));
    }
  }
  finish.set(finishcell.row, finishcell.column);
}
