#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"
#include "trackdump/svg.h"

namespace {

// Whether the text is well-formed XML as far as SVG uses it: the
// declaration, printable ASCII, elements that nest and close, quoted
// attributes, known entities. Gathers the character data of the text
// elements, entities replaced.
bool wellformed(const std::string& xml, std::string& text) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  static const std::regex entity("&(amp|lt|gt|quot|apos);");
  static const std::regex tag(
      "<(/?)([a-z]+)(?: [A-Za-z:-]+=\"(?:[^\"<&]|&(?:amp|lt|gt|quot|apos);)*\")*"
      "(/?)>");
  if (xml.rfind(head, 0) != 0) return false;
  for (const unsigned char c : xml) {
    if ((c < ' ' && c != '\n') || c > '~') return false;
  }
  std::vector<std::string> open;
  std::smatch match;
  for (auto at = xml.cbegin() + head.size(); at != xml.cend();) {
    const auto matches = [&](const std::regex& pattern) {
      return std::regex_search(at, xml.cend(), match, pattern,
                               std::regex_constants::match_continuous);
    };
    const bool intext = !open.empty() && open.back() == "text";
    if (*at == '<') {
      if (!matches(tag)) return false;
      if (match[1].length() > 0) {
        if (open.empty() || open.back() != match[2]) return false;
        open.pop_back();
      } else if (match[3].length() == 0) {
        open.push_back(match[2]);
      }
    } else if (*at == '&') {
      if (!matches(entity)) return false;
      const std::string name = match[1];
      if (intext) {
        text += name == "amp"    ? '&'
                : name == "lt"   ? '<'
                : name == "gt"   ? '>'
                : name == "quot" ? '"'
                                 : '\'';
      }
    } else if (*at == '>') {
      return false;
    } else if (intext) {
      text += *at;
    }
    at += *at == '<' || *at == '&' ? match.length() : 1;
  }
  return open.empty();
}

std::string svgof(const boardtype& board, bool holes) {
  std::string svg;
  EXPECT_TRUE(writesvg(board, holes, [&](std::string_view piece) {
    svg += piece;
    return true;
  }));
  return svg;
}

}  // namespace

// For random boards with every byte in their pictures, the image is
// well-formed and its text is every glyph that is not blank, row by row.
TEST(Writesvg, ImagesAreWellFormedAndHoldEveryGlyph) {
  std::mt19937 random(6);
  for (int round = 0; round < 40; ++round) {
    auto board = sampleboard(random() % 9, random() % 40, random() % 5,
                             random() % 4, random() % 4);
    std::string glyphs;
    for (int r = 0; r < board->height; ++r) {
      for (int c = 0; c < board->width; ++c) {
        const char byte = static_cast<char>(random() % 3 ? random() : ' ');
        board->picture[r][c] = byte;
        if (byte != ' ') glyphs += byte < ' ' || byte > '~' ? '?' : byte;
        board->colormap[r][c] = static_cast<unsigned char>(random() % 6);
      }
    }
    for (const bool holes : {false, true}) {
      std::string text;
      EXPECT_TRUE(wellformed(svgof(*board, holes), text));
      EXPECT_EQ(text, glyphs);
    }
  }
  std::string text;
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  for (const char* bad : {"<a><b></a></b>", "<a b=\"<\"/>", "<a>&nbsp;</a>",
                          "<a>></a>", "<a>\t</a>", "<a>"}) {
    EXPECT_FALSE(wellformed(head + bad, text)) << bad;
  }
}

// The image in the README is what trackdump makes of the three-player board
// now; when it fails, run
//   trackdump --svg --holes 3player.board > boards/3player.svg
// on the board trackgen writes.
TEST(Writesvg, TheThreePlayerImageIsUpToDate) {
  scratchdir dir;
  ASSERT_EQ(runin(TRACKGEN, dir).status, 0);
  const runresult made = runin(TRACKDUMP, dir, "--svg --holes 3player.board");
  EXPECT_EQ(made.status, 0);
  const bytes kept = readbytes(std::string(BOARDS_DIR) + "/3player.svg");
  EXPECT_TRUE(made.output == std::string(kept.begin(), kept.end()))
      << "boards/3player.svg is out of date";
  EXPECT_EQ(runin(TRACKDUMP, dir, "--holes 3player.board").status, 2);
}
