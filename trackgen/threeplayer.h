#ifndef TRACKGEN_THREEPLAYER_H_
#define TRACKGEN_THREEPLAYER_H_

// The three-player board as it is drawn: the picture, its colormap digits and
// the color pairs. A "." is a hole and "|" separates groups of five.

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace threeplayer {

inline constexpr std::int32_t height = 12;
inline constexpr std::int32_t width = 55;
inline constexpr std::int32_t holecount = 120;
inline constexpr std::int32_t trackcount = 3;
inline constexpr std::int32_t paircount = 7;

// clang-format off
inline constexpr std::string_view picture[height] = {
    ".....|.....|.....|.....|.....|.....|.....|.....|. . .  ",
    ".....|.....|.....|.....|.....|.....|.....|.....|. ..   ",
    ".....|.....|.....|.....|.....|.....|.....|.....|... . .",
    "     5     10    15    20    25    30    35    40 .    ",
    " .  .|.....|.....|.....|.....|.....|.....|         . ..",
    "  . .|.....|.....|.....|.....|.....|.....|  .    45----",
    "   ..|.....|.....|.....|.....|.....|.....|         . ..",
    ".. . S     95   100   105   110   115   120       .    ",
    "   ..|.....|.....|.....|.....|.....|.....|.....|... . .",
    "  . .|.....|.....|.....|.....|.....|.....|.....|. ..   ",
    " .  .|.....|.....|.....|.....|.....|.....|.....|. . .  ",
    "     85    80    75    70    65    60    55    50      ",
};

// One digit per picture cell: 0 is the plain board, 1, 2 and 3 the bands
// along tracks 0, 1 and 2.
inline constexpr std::string_view colormap[height] = {
    "1111111111111111111111111111111111111111111111111111100",
    "3333333333333333333333333333333333333333333333333333110",
    "2222222222222222222222222222222222222222222222222223311",
    "0000000000000000000000000000000000000000000000000022331",
    "0111111111111111111111111111111111111111111111100002331",
    "1133333333333333333333333333333333333333333333300002331",
    "1332222222222222222222222222222222222222222222200002331",
    "1322000000000000000000000000000000000000000000000022331",
    "1332222222222222222222222222222222222222222222222223311",
    "1133333333333333333333333333333333333333333333333333110",
    "0111111111111111111111111111111111111111111111111111100",
    "0000000000000000000000000000000000000000000000000000000",
};
// clang-format on

// Two color numbers per entry: entries 0 to 3 serve the colormap values,
// 4 to 6 the track colors. A track's band and its track color share their
// second color.
inline constexpr unsigned char pairs[paircount][2] = {
    {0, 7}, {0, 1}, {0, 4}, {0, 2}, {6, 1}, {3, 4}, {5, 2},
};

inline constexpr std::int32_t trackcolor[trackcount] = {4, 5, 6};

inline constexpr std::int32_t header[4] = {4, 1, 5, 1};

constexpr bool everyrowfills(const std::string_view (&rows)[height]) {
  return std::all_of(std::begin(rows), std::end(rows),
                     [](std::string_view row) { return row.size() == width; });
}
static_assert(everyrowfills(picture), "a picture row is not 55 characters");
static_assert(everyrowfills(colormap), "a colormap row is not 55 digits");

}  // namespace threeplayer

#endif  // TRACKGEN_THREEPLAYER_H_
