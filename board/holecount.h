#ifndef BOARD_HOLECOUNT_H_
#define BOARD_HOLECOUNT_H_

// Where a track whose holes are not its count most likely went wrong, from
// the items it was read in: a run whose length differs from the others' by
// just the count's error, else the item that holds the longest step. The
// library's own; not installed.

#include <cstdint>
#include <optional>
#include <span>

#include "board/boardtext.h"

namespace boards {

struct trackcount {
  std::int64_t track = 0;
  std::int64_t count = 0, expected = 0;  // the holes read and declared
  // The holes as read, perhaps only the first of them, and the items that
  // hold them, perhaps only up to the one after where the count ran over.
  std::span<const holetype> holes;
  std::span<const textplaces::holeitem> items;
  std::optional<std::size_t> overrun;  // the item where the count ran over
  textplace line;                      // the track's line
};

// The one problem the count is: the true count, at the likeliest item.
textproblem wrongcount(const trackcount& track);

}  // namespace boards

#endif  // BOARD_HOLECOUNT_H_
