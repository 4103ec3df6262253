#include <gtest/gtest.h>
#include <png.h>

#include <cctype>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
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

// A row or column from a baseline or x, -1 where it is not a cell's.
int cellof(int at, int offset, int size) {
  return (at - offset) % size == 0 ? (at - offset) / size : -1;
}

std::vector<placement> placements(const std::string& svg) {
  constexpr std::string_view rowmark = "<g transform=\"translate(0 ";
  constexpr std::string_view textmark = "<text x=\"";
  std::vector<placement> placed;
  int row = -1;
  bool bold = false;
  for (std::size_t at = svg.find('<'); at != std::string::npos;
       at = svg.find('<', at + 1)) {
    const std::string_view tag =
        std::string_view(svg).substr(at, svg.find('>', at) - at);
    const auto number = [&](std::string_view mark) {
      return std::atoi(svg.c_str() + at + mark.size());
    };
    if (tag.starts_with(rowmark)) {
      row = cellof(number(rowmark), 15, 20);
    } else if (tag.starts_with("<g fill=")) {
      bold = tag.find("font-weight=\"bold\"") != std::string_view::npos;
    } else if (tag.starts_with(textmark)) {
      placed.push_back({row, cellof(number(textmark), 5, 10), bold});
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

namespace {

// A PNG as rows of pixels of three bytes; empty when it cannot be read.
struct rgbimage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;

  const unsigned char* at(int x, int y) const {
    return &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
  }
};

rgbimage readpng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  rgbimage read{static_cast<int>(image.width), static_cast<int>(image.height),
                std::vector<unsigned char>(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, read.pixels.data(), 0, nullptr)) {
    return {};
  }
  return read;
}

// The cells of the image as rows of '#' where a cell holds ink and ' ' where
// not. Ink is a pixel far from the color of the cell's top left corner, its
// background; the cell's edges are left out, where a neighbour's glyph may
// reach.
std::vector<std::string> inkedcells(const rgbimage& image, int rows,
                                    int columns) {
  std::vector<std::string> inked(rows, std::string(columns, ' '));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const unsigned char* back = image.at(c * 10, r * 20);
      for (int y = r * 20 + 2; y < r * 20 + 18; ++y) {
        for (int x = c * 10 + 1; x < c * 10 + 9; ++x) {
          const unsigned char* pixel = image.at(x, y);
          const int distance = std::abs(pixel[0] - back[0]) +
                               std::abs(pixel[1] - back[1]) +
                               std::abs(pixel[2] - back[2]);
          if (distance > 120) inked[r][c] = '#';
        }
      }
    }
  }
  return inked;
}

// A program that draws the SVG image $svg into the PNG file $png of $size
// ("width,height"), with the folder $home for its settings.
struct renderer {
  const char* program;
  bool required;  // the tests' dependencies install it
  const char* command;
};

const renderer renderers[] = {
    {"rsvg-convert", true, "rsvg-convert \"$svg\" -o \"$png\""},
    {"chromium", false,
     "chromium --headless --no-sandbox --disable-gpu --no-first-run "
     "--disable-background-networking --disable-component-update "
     "--disable-sync --hide-scrollbars --force-device-scale-factor=1 "
     "--user-data-dir=\"$home\" --window-size=$size --screenshot=\"$png\" "
     "\"file://$svg\""},
    {"firefox", false,
     "firefox --headless --no-remote --profile \"$home\" --window-size=$size "
     "--screenshot \"$png\" \"file://$svg\""},
    {"inkscape", false,
     "inkscape --export-type=png --export-filename=\"$png\" \"$svg\""},
};

void PrintTo(const renderer& drawer, std::ostream* out) {
  *out << drawer.program;
}

class Rendered : public testing::TestWithParam<renderer> {};

}  // namespace

// The three-player board's images, with and without the holes, drawn by each
// renderer at hand: ink stands in every cell that holds a glyph, the labels'
// digits among them, and in no other.
TEST_P(Rendered, EveryGlyphStandsInItsCell) {
  const renderer& drawer = GetParam();
  const std::string which = "command -v " + std::string(drawer.program);
  if (std::system((which + " > /dev/null").c_str()) != 0) {
    if (drawer.required) {
      FAIL() << drawer.program << " is missing: run scripts/install-deps";
    }
    GTEST_SKIP() << drawer.program << " is not installed";
  }
  scratchdir dir;
  ASSERT_EQ(runin(TRACKGEN, dir).status, 0);
  boardtype board;
  ASSERT_TRUE(
      boards::readboardfile((dir / "3player.board").c_str(), board).ok());
  std::vector<std::string> glyphs;
  for (int r = 0; r < board.height; ++r) {
    glyphs.emplace_back(std::as_const(board).picturerow(r));
    for (char& glyph : glyphs.back()) glyph = glyph == ' ' ? ' ' : '#';
  }
  const std::string plain = runin(TRACKDUMP, dir, "--svg 3player.board").output;
  writebytes(dir / "plain.svg", bytes(plain.begin(), plain.end()));
  std::filesystem::create_directory(dir / "home");
  const std::string size = std::to_string(board.width * 10) + "," +
                           std::to_string(board.height * 20);
  for (const std::string& svg :
       {std::string(BOARDS_DIR) + "/3player.svg", dir / "plain.svg"}) {
    const std::string command =
        "svg='" + svg + "' png='" + (dir / "image.png") + "' size=" + size +
        " home='" + (dir / "home") + "'; timeout 50 " + drawer.command;
    ASSERT_EQ(std::system((command + " > /dev/null 2>&1").c_str()), 0)
        << command;
    const rgbimage image = readpng(dir / "image.png");
    ASSERT_GE(image.width, board.width * 10) << command;
    ASSERT_GE(image.height, board.height * 20) << command;
    EXPECT_EQ(inkedcells(image, board.height, board.width), glyphs) << command;
  }
}

INSTANTIATE_TEST_SUITE_P(Writesvg, Rendered, testing::ValuesIn(renderers),
                         [](const testing::TestParamInfo<renderer>& info) {
                           std::string name = info.param.program;
                           std::erase(name, '-');
                           return name;
                         });
