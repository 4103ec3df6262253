#include "trackedit/look.h"

#include <algorithm>

namespace trackedit {
namespace {

char trackglyph(std::int32_t track) {
  constexpr char glyphs[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  return track < 36 ? glyphs[track] : '+';
}

}  // namespace

looktype lookof(const document& doc, celltype cell, bool plain) {
  looktype look;
  look.glyph = doc.character(cell);
  if (look.glyph < ' ' || look.glyph > '~') look.glyph = '?';
  look.pair = doc.color(cell);
  const auto owners = doc.tracksat(cell);
  if (!owners.empty()) {
    look.track = *std::max_element(owners.begin(), owners.end());
    look.pair = doc.tracks()[look.track].color;
    if (plain) look.glyph = trackglyph(look.track);
  }
  if (doc.finish() == cell) {
    look.finish = true;
    look.pair = doc.color(cell);
    if (plain) look.glyph = '*';
  }
  if (look.pair < 0 ||
      look.pair >= static_cast<std::int32_t>(doc.pairs().size())) {
    look.pair = -1;
  }
  return look;
}

}  // namespace trackedit
