#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "board/boardfile.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"
#include "trackdump/svg.h"

namespace {

// The character an entity at the place stands for, 0 when none is known,
// and its length.
char entityat(const std::string& xml, std::size_t at, std::size_t& length) {
  static const std::pair<std::string, char> known[] = {{"&amp;", '&'},
                                                       {"&lt;", '<'},
                                                       {"&gt;", '>'},
                                                       {"&quot;", '"'},
                                                       {"&apos;", '\''}};
  for (const auto& [name, glyph] : known) {
    length = name.size();
    if (xml.compare(at, length, name) == 0) return glyph;
  }
  return 0;
}

// Whether the text is well-formed XML as far as SVG uses it: the
// declaration, printable ASCII, elements that nest and close, quoted
// attributes, known entities. Gathers the character data of the text
// elements, entities replaced.
bool wellformed(const std::string& xml, std::string& text) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  if (xml.rfind(head, 0) != 0) return false;
  for (const unsigned char c : xml) {
    if ((c < ' ' && c != '\n') || c > '~') return false;
  }
  const auto isname = [](char c) { return std::isalpha(c) || c == '-'; };
  std::vector<std::string> open;
  std::size_t length = 1;
  for (std::size_t at = head.size(); at < xml.size(); at += length) {
    length = 1;
    char glyph = xml[at];
    if (glyph == '<') {
      const bool closing = xml[at + 1] == '/';
      std::size_t end = at + 1 + closing;
      while (isname(xml[end])) ++end;
      const std::string name =
          xml.substr(at + 1 + closing, end - at - 1 - closing);
      while (!closing && xml[end] == ' ') {
        std::size_t quote = end + 1;
        while (isname(xml[quote]) || xml[quote] == ':') ++quote;
        if (quote == end + 1 || xml.compare(quote, 2, "=\"") != 0) return false;
        for (end = quote + 2; xml[end] != '"'; ++end) {
          if (xml[end] == 0 || xml[end] == '<' ||
              (xml[end] == '&' && !entityat(xml, end, length))) {
            return false;
          }
        }
        ++end;
      }
      const bool empty = !closing && xml[end] == '/';
      if (name.empty() || xml[end + empty] != '>') return false;
      if (closing && (open.empty() || open.back() != name)) return false;
      if (closing) open.pop_back();
      if (!closing && !empty) open.push_back(name);
      length = end + empty + 1 - at;
      continue;
    }
    if (glyph == '>') return false;
    if (glyph == '&' && (glyph = entityat(xml, at, length)) == 0) return false;
    if (!open.empty() && open.back() == "text") text += glyph;
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

// Where each text element of the image stands, in the order written, and
// whether it is bold.
struct placement {
  int row = 0;
  int column = 0;
  bool bold = false;
};

std::vector<placement> placements(const std::string& svg) {
  static const std::regex mark(
      "translate\\(0 (\\d+)\\)|(font-weight=\"bold\")?><text x=\"(\\d+)\"|"
      "<text x=\"(\\d+)\"");
  std::vector<placement> placed;
  int baseline = 0;
  bool bold = false;
  for (std::sregex_iterator at(svg.begin(), svg.end(), mark), end; at != end;
       ++at) {
    const std::smatch& found = *at;
    if (found[1].matched) {
      baseline = std::stoi(found[1]);
    } else {
      if (found[3].matched) bold = found[2].matched;
      const int x = std::stoi(found[3].matched ? found[3] : found[4]);
      placed.push_back({(baseline - 15) / 20, (x - 5) / 10, bold});
    }
  }
  return placed;
}

}  // namespace

// For random boards with every byte in their pictures, the image is
// well-formed and holds every glyph that is not blank at its own cell, the
// finish alone in bold, with or without the holes marked.
TEST(Writesvg, ImagesAreWellFormedAndHoldEveryGlyphAtItsCell) {
  std::mt19937 random(6);
  for (int round = 0; round < 40; ++round) {
    auto board = sampleboard(random() % 9, random() % 40, random() % 5,
                             random() % 4, random() % 4);
    std::vector<std::string> glyphs(board->height,
                                    std::string(board->width, ' '));
    for (int r = 0; r < board->height; ++r) {
      for (int c = 0; c < board->width; ++c) {
        const char byte = static_cast<char>(random() % 3 ? random() : ' ');
        board->picture[r][c] = byte;
        glyphs[r][c] = byte < ' ' || byte > '~' ? '?' : byte;
        board->colormap[r][c] = static_cast<unsigned char>(random() % 6);
      }
    }
    board->finish.set(random() % (board->height + 1),
                      random() % (board->width + 1));
    for (const bool holes : {false, true}) {
      std::string text;
      const std::string svg = svgof(*board, holes);
      EXPECT_TRUE(wellformed(svg, text));
      const std::vector<placement> placed = placements(svg);
      ASSERT_EQ(placed.size(), text.size());
      std::vector<std::string> drawn(board->height,
                                     std::string(board->width, ' '));
      for (std::size_t i = 0; i < placed.size(); ++i) {
        const auto [r, c, bold] = placed[i];
        ASSERT_TRUE(r >= 0 && r < board->height && c >= 0 && c < board->width);
        drawn[r][c] = text[i];
        EXPECT_EQ(bold, r == board->finish.y && c == board->finish.x);
      }
      EXPECT_EQ(drawn, glyphs);
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
