#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"
#include "trackdump/svg.h"

namespace {

// Checks that the text is well-formed XML as far as SVG uses it: a
// declaration, elements that nest and close, quoted attributes, known
// entities, no control bytes. Returns the character data, entities
// replaced, or says what is wrong in fault.
std::string xmltext(const std::string& xml, std::string& fault) {
  std::string text;
  std::vector<std::string> open;
  const auto entity = [&](std::size_t& at, std::string& into) {
    const std::size_t end = xml.find(';', at);
    const std::string name = xml.substr(at + 1, end - at - 1);
    static const std::string names[] = {"amp", "lt", "gt", "quot", "apos"};
    static const char glyphs[] = "&<>\"'";
    for (int i = 0; i < 5; ++i) {
      if (name == names[i]) {
        into += glyphs[i];
        at = end;
        return true;
      }
    }
    return false;
  };
  for (const unsigned char c : xml) {
    if ((c < ' ' && c != '\n') || c > '~') fault = "a byte that is not text";
  }
  if (xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0) != 0) {
    fault = "no declaration";
  }
  std::size_t at = xml.find('\n');
  for (; at < xml.size() && fault.empty(); ++at) {
    if (xml[at] == '&') {
      if (!entity(at, text)) fault = "an unknown entity";
    } else if (xml[at] == '>') {
      fault = "a stray >";
    } else if (xml[at] != '<') {
      if (!open.empty() && open.back() == "text") text += xml[at];
    } else if (xml[at + 1] == '/') {
      const std::size_t end = xml.find('>', at);
      if (open.empty() || xml.substr(at + 2, end - at - 2) != open.back()) {
        fault = "a closing tag that does not match";
      }
      if (!open.empty()) open.pop_back();
      at = end;
    } else {
      std::size_t end = xml.find_first_of(" />", at);
      const std::string name = xml.substr(at + 1, end - at - 1);
      // Attributes: name="value", values without < and with known entities.
      while (xml[end] == ' ' && fault.empty()) {
        const std::size_t quote = xml.find("=\"", end);
        const std::size_t close = xml.find('"', quote + 2);
        if (quote == std::string::npos || close == std::string::npos) {
          fault = "an attribute without a value";
          break;
        }
        std::string value;
        for (std::size_t v = quote + 2; v < close && fault.empty(); ++v) {
          if (xml[v] == '<' || (xml[v] == '&' && !entity(v, value))) {
            fault = "a bad attribute value";
          }
        }
        end = close + 1;
      }
      if (xml.compare(end, 2, "/>") == 0) {
        at = end + 1;
      } else if (xml[end] == '>') {
        open.push_back(name);
        at = end;
      } else {
        fault = "a tag that does not end";
      }
    }
  }
  if (fault.empty() && !open.empty()) fault = "unclosed " + open.back();
  return text;
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
      std::string fault;
      EXPECT_EQ(xmltext(svgof(*board, holes), fault), glyphs);
      EXPECT_EQ(fault, "");
    }
  }
  std::string fault;
  xmltext("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a b=\"<\"></a>", fault);
  EXPECT_EQ(fault, "a bad attribute value");
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
