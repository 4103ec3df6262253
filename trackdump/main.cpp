// trackdump [--fills | --svg [--holes]] [--max-size=SIZE] FILE: prints the
// board in FILE as text, which trackbuild makes into the same board file again
// (--fills: its colormap as fill lines where they are shorter), or its picture
// as an SVG image. Exit status: 0 when printed, 1 when the file cannot be read
// or the output not written, 2 for a usage error.

#include <cstdio>
#include <string>
#include <string_view>

#include "board/boardfile.h"
#include "board/boardtext.h"
#include "board/words.h"
#include "tools/arguments.h"
#include "tools/closeout.h"
#include "tools/loadlimit.h"
#include "tools/quote.h"
#include "trackdump/svg.h"

namespace {

constexpr char tool[] = "trackdump";
constexpr char usage[] =
    "usage: trackdump [--fills | --svg [--holes]] [--max-size=SIZE] FILE\n"
    "Prints the board file FILE as text on standard output (syntax in\n"
    "board(5)); --fills writes its colormap as fill lines where they are\n"
    "shorter than its rows. --svg prints its picture as an SVG image instead,\n"
    "--holes with its holes marked.\n"
    "--max-size=SIZE: refuse a board whose file would pass SIZE bytes, or\n"
    "KiB, MiB, GiB or TiB with K, M, G or T after it (1G).\n";

struct outputtype {
  bool svg = false;
  bool holes = false;
  bool fills = false;
  boards::loadoptions loading;
};

bool writeout(std::string_view piece) {
  return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
}

int dump(const char* path, outputtype output) {
  const std::string file = tools::quotename(path);
  boardtype board;
  const boards::loadresulttype loaded =
      boards::readboardfile(path, board, output.loading);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s: %s: %s\n", tool, file.c_str(),
                 tools::loadfault(loaded).c_str());
    return 1;
  }
  if (loaded.found > loaded.needed) {
    const std::string extra = boards::counted(
        static_cast<std::int64_t>(loaded.found - loaded.needed), "byte");
    std::fprintf(stderr, "%s: %s: %s beyond the layout left out\n", tool,
                 file.c_str(), extra.c_str());
  }
  if (output.svg) return writesvg(board, output.holes, writeout) ? 0 : 1;
  const bool written = boards::writeboardtext(
      board,
      [](std::span<const unsigned char> piece) {
        return writeout(std::string_view(
            reinterpret_cast<const char*>(piece.data()), piece.size()));
      },
      {.fills = output.fills});
  return written ? 0 : 1;
}

int run(int argc, char** argv) {
  static constexpr std::string_view known[] = {"--svg", "--holes", "--fills",
                                               "--max-size="};
  tools::commandline line;
  if (const auto done =
          tools::parsecommandline(argc, argv, tool, usage, known, line)) {
    return *done;
  }
  outputtype output;
  for (const std::string_view option : line.options) {
    if (option.starts_with("--max-size=")) {
      if (!tools::maxsizeoption(option.substr(11), output.loading.maxsize)) {
        return tools::usageerror(tool, usage,
                                 "--max-size takes a size above 0: 1G, 512M, "
                                 "4096");
      }
      continue;
    }
    (option == "--svg"     ? output.svg
     : option == "--holes" ? output.holes
                           : output.fills) = true;
  }
  if (output.holes && !output.svg) {
    return tools::usageerror(tool, usage, "--holes marks holes in --svg only");
  }
  if (output.fills && output.svg) {
    return tools::usageerror(tool, usage, "--fills is for the text, not --svg");
  }
  if (line.operands.size() != 1) {
    return tools::usageerror(tool, usage, "expected one board file");
  }
  return dump(line.operands[0], output);
}

}  // namespace

int main(int argc, char** argv) {
  const int status = run(argc, argv);
  return tools::closestdout(tool) ? status : 1;
}
